// The program's modal boxes, file dialogs and hand-overs to the desktop,
// behind small seams.
//
// Every message box of the desktop application goes through MessageBox and
// every open or save dialog through FileDialog. Both show the real Qt dialog
// unless a test has queued an answer: then the queued answer is taken and
// nothing is shown. MessageBox also remembers every box it was asked for
// (kind, title, text, buttons), shown or answered, so tests can check the
// exact wording and the order of the questions. Files and addresses handed to
// the desktop's own programs (the browser) go through DesktopOpener, which a
// test can keep from launching anything.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace orvana {

// "Orvana - Generator", the title of the application's error box.
QString ApplicationTitle();

class MessageBox {
 public:
  enum Button { NoButton = 0, Ok = 1, Cancel = 2 };
  enum Buttons { OkOnly, OkCancel };

  // One box as it was asked for.
  struct Shown {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    Buttons buttons;
  };

  // A warning box, titled "Warning". Returns the button the user pressed;
  // closing a box that has Cancel counts as Cancel, otherwise as OK.
  static Button warning(QWidget* parent, const QString& text, Buttons buttons = OkOnly);
  // An error box, titled "Error", one button "OK".
  static Button error(QWidget* parent, const QString& text);
  // An information box, titled "Information", one button "OK".
  static Button information(QWidget* parent, const QString& text);
  // The application's error box: titled with the application title, stop
  // icon, one button "OK". The text is shown as given.
  static Button applicationError(QWidget* parent, const QString& text);

  // The most general form; the four above are made of it.
  static Button show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                     const QString& text, Buttons buttons);

  // --- Test hooks -------------------------------------------------------

  // Queues the answer to one later box. The box is then not shown; whenShown,
  // if set, runs at the moment the box would have been shown. An answer of
  // Cancel to a box that has only OK counts as OK.
  static void setNextAnswer(Button answer, std::function<void()> whenShown = {});
  // Answers not yet taken.
  static int pendingAnswers();
  // Every box asked for since the last reset, oldest first.
  static const QList<Shown>& history();
  // The last box asked for; empty values before the first.
  static QMessageBox::Icon lastIcon();
  static QString lastTitle();
  static QString lastText();
  // Forgets the queued answers and the history.
  static void reset();
};

// An open or save dialog that lives as long as its owner and so opens each
// time with the file name last chosen in it, unless the owner names a start
// folder (SetStartFolder). The system's title; the open dialog accepts names
// of files that do not exist, and the save dialog asks nothing about
// overwriting (the caller asks). The file-type filters are the owner's
// (SetNameFilters), the first one chosen at first. In the save dialog, a
// name typed without an extension while a filter of one extension is chosen
// ("Проекты (*.orvana)") gets that extension; with any other filter the
// name is taken as typed.
class FileDialog : public QObject {
  Q_OBJECT

 public:
  enum Mode { Open, Save };

  FileDialog(Mode mode, QWidget* owner);
  ~FileDialog() override;

  // Runs the dialog modally. Returns true when the user chose a file; its
  // full path is then FileName(). On cancel returns false and FileName()
  // keeps its value.
  bool Execute();

  QString FileName() const { return m_fileName; }
  void SetFileName(const QString& fileName) { m_fileName = fileName; }

  // Filters such as "Проекты (*.orvana)", offered in this order; none by
  // default. A filter only hides files: a typed name is taken as it is.
  void SetNameFilters(const QStringList& filters) { m_filters = filters; }
  QStringList NameFilters() const { return m_filters; }
  // The folder the next Execute opens in; the last chosen name is offered
  // again only when it lies in it. Empty (the default): the folder of the
  // last chosen name.
  void SetStartFolder(const QString& folder) { m_startFolder = folder; }
  QString StartFolder() const { return m_startFolder; }

  Mode mode() const { return m_mode; }

  // The name the save dialog makes of name typed with filter chosen: name
  // with ".ext" appended when the filter offers exactly one pattern "*.ext"
  // and the file name part of name has no extension; otherwise name.
  static QString WithFilterExtension(const QString& name, const QString& filter);

  // --- Test hooks -------------------------------------------------------

  // Queues the outcome of one later Execute of any FileDialog: a file name
  // means the user chose it, std::nullopt that the user cancelled. Nothing
  // is shown for a queued outcome. Without a filter the name is taken
  // exactly as given; with one, as if typed into the dialog with that
  // filter chosen.
  static void setNextFileName(std::optional<QString> fileName, const QString& filter = {});
  // The file name the last Execute offered before it ran (the real dialog
  // shows it selected), whether answered by a queued outcome or not.
  static QString lastOffered();
  // Outcomes not yet taken.
  static int pendingAnswers();
  // How many times any FileDialog was executed since the last reset.
  static int executeCount();
  static void reset();

 private:
  Mode m_mode;
  QWidget* m_owner;
  QString m_fileName;
  QStringList m_filters;
  QString m_startFolder;
  QPointer<QFileDialog> m_dialog;
};

// Hands a file or an address to the program the desktop opens it with (an
// HTML page: the browser).
class DesktopOpener {
 public:
  // Asks the desktop to open url. Returns false when it could not be handed
  // over (no program for it). While intercepted, nothing is launched and the
  // result is the one setIntercepted gave.
  static bool open(const QUrl& url);

  // --- Test hooks -------------------------------------------------------

  // While on, open() records the address and launches nothing; it returns
  // result, as if the desktop had (true) or had not found a program.
  static void setIntercepted(bool intercepted, bool result = true);
  // Every address open() was asked for since the last reset, oldest first.
  static const QList<QUrl>& opened();
  // Forgets the addresses; interception stays as it was.
  static void reset();
};

}  // namespace orvana
