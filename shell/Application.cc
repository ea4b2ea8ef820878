#include "shell/Application.h"

#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QPointer>
#include <QStringList>
#include <QTranslator>

#include "engine/Notify.h"
#include "gui/BackgroundWork.h"
#include "gui/ErrorHandler.h"
#include "gui/FocusRing.h"
#include "shell/LaunchOptions.h"
#include "shell/MainFrame.h"
#include "shell/Resources.h"
#include "shell/about.h"

namespace orvana {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  MapLargeBlocks();
  InitShellResources();
  setApplicationName(QStringLiteral("orvana"));
  setApplicationVersion(QStringLiteral(ORVANA_VERSION));
  setDesktopFileName(QStringLiteral("orvana"));
  setWindowIcon(QIcon(QStringLiteral(":/icons/orvana.png")));
  InstallQtTranslation();
  InstallEngineErrorBox();
  TFocusRing::Install();
}

TApplication::~TApplication() { SetErrorBoxHandler({}); }

namespace {

int g_dispatchDepth = 0;

}  // namespace

int TApplication::DispatchDepth() { return g_dispatchDepth; }

bool TApplication::notify(QObject* receiver, QEvent* event) {
  struct Depth {
    Depth() { ++g_dispatchDepth; }
    ~Depth() { --g_dispatchDepth; }
  } depth;
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowCommandError(error);
  } catch (...) {
    ShowUnknownCommandError();
  }
  return false;
}

bool InstallQtTranslation() {
  // Owned by the application object, so it goes with it.
  static QPointer<QTranslator> installed;
  if (installed) return true;
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_ru"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  installed = translator;
  return true;
}

void StartMainWindow(TForm1& form1, TForm2& form2, int argc, const char* const* argv) {
  form1.SetAboutWindow(&form2);
  form1.show();
  form1.OfferCrashRecovery();
  QStringList files;
  for (const std::string& file : ProjectFileArguments(argc, argv))
    files << QFile::decodeName(QByteArray::fromStdString(file));
  form1.OpenFiles(files);
}

}  // namespace orvana
