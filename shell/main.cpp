// The desktop program: the main window, the hidden about window, the project
// files named on the command line, the event loop until the main window has
// closed. --version and --help are answered before the application object
// exists, so they need no display.
#include <cstdio>

#include "shell/Application.h"
#include "shell/LaunchOptions.h"
#include "shell/MainFrame.h"
#include "shell/about.h"

int main(int argc, char** argv) {
  if (const auto status = orvana::AnswerCommandLine(argc, argv, stdout, stderr)) return *status;
  orvana::TApplication app(argc, argv);
  orvana::TForm1 form1;
  orvana::TForm2 form2(&form1);
  orvana::StartMainWindow(form1, form2, argc, argv);
  return app.exec();
}
