// The application object of the desktop program.
//
// Sets the program up the way every window expects it: the application's
// names and icon, Qt's own texts in Russian (InstallQtTranslation), and the
// engine's error boxes routed to modal boxes. It is
// also the last line of the application's error handler: every command and
// event handler of the program catches its own errors (RunCommand), and an
// error that still reaches the event dispatch is shown the same way there
// instead of ending the program.
#pragma once

#include <QApplication>

namespace orvana {

class TApplication : public QApplication {
  Q_OBJECT

 public:
  TApplication(int& argc, char** argv);
  ~TApplication() override;

  bool notify(QObject* receiver, QEvent* event) override;

  // How many events are being delivered at this moment, one inside another:
  // 1 for an event straight from the main loop, more inside a command that
  // turns the event loop itself (a modal box, long work with the windows
  // kept painted); 0 without a TApplication.
  static int DispatchDepth();
};

class TForm1;
class TForm2;

// Makes Qt's own texts Russian, as the program's are: the file dialogs, the
// folder chooser, the context menus of the text boxes, key names. Loads
// qtbase_ru from Qt's translations folder (Debian: qt6-translations-l10n)
// once per run; returns false when it is not installed, and Qt then speaks
// English. The program's message boxes set their titles and button texts
// themselves, so this changes none of them.
bool InstallQtTranslation();

// Start-up once the application object exists: the main window gets the
// about window and is shown, offers what a run that ended without closing
// its projects kept for them, then the project files named on the command
// line (ProjectFileArguments of argv, which the application object has
// already rid of Qt's options) are opened in order, as Open project does.
void StartMainWindow(TForm1& form1, TForm2& form2, int argc, const char* const* argv);

}  // namespace orvana
