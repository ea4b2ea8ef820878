// The desktop program: the main window, the hidden about window, the event
// loop until the main window has closed. No command line of its own.
#include "Application.h"
#include "MainFrame.h"
#include "about.h"

int main(int argc, char** argv) {
  orvana::TApplication app(argc, argv);
  orvana::TForm1 form1;
  orvana::TForm2 form2(&form1);
  form1.SetAboutWindow(&form2);
  form1.show();
  return app.exec();
}
