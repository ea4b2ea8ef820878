// Grabs the desktop program's windows into PNG files for the documentation:
// the main window with two projects (one with unsaved changes), its
// "Проект" menu, each of the six tabs of a project window (the generation
// tab with the report of a site generated into a temporary folder), and the
// about window. Runs offscreen; nothing is shown, and the user's settings are
// neither read nor written.
//
//   orvana_screenshots OUTPUT_FOLDER
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <iterator>

#include "gui/Dialogs.h"
#include "shell/Application.h"
#include "shell/MainFrame.h"
#include "shell/Settings.h"
#include "shell/about.h"
#include "window/FProject.h"

namespace {

bool save(QWidget* widget, const QDir& folder, const QString& name) {
  QApplication::processEvents();
  const QString path = folder.filePath(name);
  if (!widget->grab().save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

void fillSample(orvana::TSiteProject* project, const QString& folder) {
  project->findChild<QLineEdit*>("Edit1")->setText(QStringLiteral("Сады и огороды"));
  project->findChild<QLineEdit*>("Edit4")->setText(folder);
  project->findChild<QPlainTextEdit*>("Memo1")->setPlainText(
      QStringLiteral("https://garden.example.org/roses\n"
                     "https://garden.example.org/tomatoes\n"
                     "https://garden.example.org/tools\n"));
  project->findChild<QPlainTextEdit*>("Memo2")->setPlainText(QStringLiteral(
      "Весной сад просыпается раньше, чем кажется. Первые почки набухают ещё под снегом, "
      "и садовнику пора браться за обрезку.\n\n"
      "Томаты любят солнце и тёплую землю. Рассаду высаживают, когда минует угроза "
      "заморозков, и поливают под корень.\n\n"
      "Хороший инструмент служит годами: секатор точат каждую осень, лопату очищают от "
      "земли и смазывают маслом."));
  // A few extras turned on, so that their tab shows what they look like in use.
  project->findChild<QSpinBox*>("ExtrasPagerWindow")->setValue(2);
  project->findChild<QCheckBox*>("ExtrasSafeLinks")->setChecked(true);
  project->findChild<QLineEdit*>("ExtrasSiteUrl")
      ->setText(QStringLiteral("https://garden.example.org/"));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  orvana::TApplication app(argc, argv);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  if (!folder.exists() && !QDir().mkpath(folder.path())) return 1;

  // Nothing remembered from the user's runs, nothing left for them.
  QTemporaryDir scratch;
  if (!scratch.isValid()) return 1;
  orvana::SetSettingsFileName(scratch.filePath(QStringLiteral("orvana.conf")));
  const QString site = scratch.filePath(QStringLiteral("garden"));
  if (!QDir().mkpath(site)) return 1;

  orvana::TForm1 form1;
  orvana::TForm2 form2(&form1);
  form1.SetAboutWindow(&form2);
  form1.show();
  form1.findChild<QAction*>("NewProject")->trigger();
  form1.findChild<QAction*>("NewProject")->trigger();
  auto* area = form1.findChild<QMdiArea*>();
  const auto windows = area->subWindowList();
  auto* first = qobject_cast<orvana::TSiteProject*>(windows.value(0));
  auto* second = qobject_cast<orvana::TSiteProject*>(windows.value(1));
  if (!first || !second) return 1;
  fillSample(second, site);
  // Generated once, so that the generation tab shows a report and the site
  // can be opened; the completion box is answered without being shown.
  orvana::MessageBox::setNextAnswer(orvana::MessageBox::Ok);
  second->Button1Click();
  bool ok = save(&form1, folder, QStringLiteral("main-window.png"));

  // The project menu with the commands beside the original ones.
  QMenu* menu = form1.findChild<QMenu*>("ProjectMenu");
  menu->popup(form1.mapToGlobal(QPoint(0, form1.menuBar()->height())));
  ok = save(menu, folder, QStringLiteral("project-menu.png")) && ok;
  menu->hide();
  // The tabs show the folder a user would have chosen.
  second->findChild<QLineEdit*>("Edit4")->setText(QStringLiteral("/home/user/sites/garden"));

  // Each tab of one project window, at its design size.
  auto* tabs = second->findChild<QTabWidget*>("PageControl1");
  const char* names[] = {"project-settings.png", "project-template.png",   "project-links.png",
                         "project-text.png",     "project-generation.png", "project-extras.png"};
  if (tabs->count() != static_cast<int>(std::size(names))) {
    std::fprintf(stderr, "%d tabs, %zu picture names\n", tabs->count(), std::size(names));
    return 1;
  }
  second->showNormal();
  second->resize(695, 517);
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    ok = save(second, folder, QString::fromLatin1(names[i])) && ok;
  }

  form2.show();
  ok = save(&form2, folder, QStringLiteral("about.png")) && ok;
  form2.hide();
  return ok ? 0 : 1;
}
