// Files dropped on a window open as projects wherever they land.
//
// The text boxes of a project window take drops themselves: left alone, a
// file dropped on one would be pasted into it as its address. TFileDrop
// watches every drag event of the application and takes those that carry
// local files or folders over any widget of its window, before the widget
// sees them. What a drag of anything else carries (plain text, web
// addresses) goes on to the widget as before.
//
// A file that is no project (it does not begin with "object") is text to be
// inserted when it is dropped on a text box that takes input: its text goes
// in where it was dropped (UTF-8, or Windows-1251 when it is not UTF-8).
// Dropped anywhere else, or holding no text, it is handed on as no project.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

class QMimeData;
class QWidget;

namespace orvana {

class TFileDrop : public QObject {
 public:
  // Runs when a drop has ended: the local project files, folders and other
  // files (not inserted into a text box) it carried, each in the order of
  // the drop.
  using Handler = std::function<void(const QStringList& files, const QStringList& folders,
                                     const QStringList& notProjects)>;

  // Watches the drags over window and its children; owned by window.
  TFileDrop(QWidget* window, Handler handler);

  // The local files and folders data carries; addresses of other kinds are
  // left out.
  static void Split(const QMimeData* data, QStringList* files, QStringList* folders);

  // True when the file begins as a project file does: "object" (in any
  // case) after blanks, as the first word.
  static bool LooksLikeProject(const QString& file);
  // The file's text when it holds text (no NUL byte): UTF-8, or Windows-1251
  // when it is not valid UTF-8; nullopt otherwise or when it cannot be read.
  static std::optional<QString> TextOf(const QString& file);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Inserts the texts of files into the text box under widget at point;
  // returns the files that were not inserted.
  static QStringList insertTexts(QWidget* widget, const QPoint& at, const QStringList& files);

  QWidget* m_window;
  Handler m_handler;
};

}  // namespace orvana
