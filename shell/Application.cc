#include "Application.h"

#include <QIcon>

#include "ErrorHandler.h"
#include "Notify.h"
#include "Resources.h"

namespace orvana {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  InitShellResources();
  setApplicationName(QStringLiteral("orvana"));
  setApplicationVersion(QStringLiteral(ORVANA_VERSION));
  setDesktopFileName(QStringLiteral("orvana"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/orvana.png")));
  InstallEngineErrorBox();
}

TApplication::~TApplication() { SetErrorBoxHandler({}); }

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowCommandError(error);
  } catch (...) {
    ShowUnknownCommandError();
  }
  return false;
}

}  // namespace orvana
