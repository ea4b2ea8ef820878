// The application object of the desktop program.
//
// Sets the program up the way every window expects it: the application's
// names and icon, and the engine's error boxes routed to modal boxes. It is
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
};

}  // namespace orvana
