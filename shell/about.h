// TForm2: the about window.
//
// Names the program and shows its version, its developer and its web site.
// Created hidden at start-up, it lives for the whole run; the About command
// shows it modally, and "Закрыть" (like its close box or Alt+F4) ends the
// modal showing and hides it again, so the next time shows the same window.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace orvana {

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);

  // "Закрыть": closes the window, ending its modal showing with Cancel.
  void Button1Click();

 private:
  QLabel* Label1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* Button1 = nullptr;
};

}  // namespace orvana
