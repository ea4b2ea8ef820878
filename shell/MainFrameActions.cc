// The main window's commands as actions, and the menu bar (with the list of
// recent projects), tool bar and tree menu that show them.
#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include "gui/ErrorHandler.h"
#include "shell/MainFrame.h"
#include "shell/PreviewAction.h"
#include "shell/Settings.h"

namespace orvana {
namespace {

QAction* makeAction(const QString& name, const QString& caption, const QString& category,
                    const QKeySequence& shortcut, const QString& picture, QObject* parent) {
  auto* action = new QAction(caption, parent);
  action->setObjectName(name);
  action->setProperty("category", category);
  action->setShortcut(shortcut);
  if (!picture.isEmpty()) action->setIcon(QIcon(picture));
  return action;
}

// A menu bar entry bound to an action: the action's caption and shortcut
// (shown, not registered twice), a picture of its own, and a click that runs
// the action.
QAction* makeMenuItem(QAction* action, const QString& picture, QObject* parent) {
  QString caption = action->text();
  if (!action->shortcut().isEmpty())
    caption += u'\t' + action->shortcut().toString(QKeySequence::NativeText);
  auto* item = new QAction(caption, parent);
  item->setObjectName(action->objectName() + QStringLiteral("Item"));
  item->setEnabled(action->isEnabled());
  if (!picture.isEmpty()) item->setIcon(QIcon(picture));
  QObject::connect(item, &QAction::triggered, action, &QAction::trigger);
  QObject::connect(action, &QAction::changed, item,
                   [item, action] { item->setEnabled(action->isEnabled()); });
  return item;
}

}  // namespace

void TForm1::createActions() {
  // Pictures 0..5 of the image list: open, close, save, save as, about, new.
  NewProject = makeAction(QStringLiteral("NewProject"), QStringLiteral("Создать проект"),
                          QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::Key_N),
                          QStringLiteral(":/icons/image5.png"), this);
  LoadProject = makeAction(QStringLiteral("LoadProject"), QStringLiteral("Открыть проект"),
                           QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::Key_L),
                           QStringLiteral(":/icons/image0.png"), this);
  SaveProject = makeAction(QStringLiteral("SaveProject"), QStringLiteral("Сохранить проект"),
                           QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::Key_S),
                           QStringLiteral(":/icons/image2.png"), this);
  SaveProjectAs =
      makeAction(QStringLiteral("SaveProjectAs"), QStringLiteral("Сохранить проект как..."),
                 QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S),
                 QStringLiteral(":/icons/image3.png"), this);
  CloseProject = makeAction(QStringLiteral("CloseProject"), QStringLiteral("Закрыть проект"),
                            QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::Key_T),
                            QStringLiteral(":/icons/image1.png"), this);
  About = makeAction(QStringLiteral("About"), QStringLiteral("О программе"), QStringLiteral("Help"),
                     QKeySequence(), QStringLiteral(":/icons/image4.png"), this);
  Quit = makeAction(QStringLiteral("Quit"), QStringLiteral("Выход"), QStringLiteral("Project"),
                    QKeySequence(Qt::CTRL | Qt::Key_Q), QString(), this);
  // The keys of other programs work too; menus show the first one.
  LoadProject->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_L), QKeySequence(Qt::CTRL | Qt::Key_O)});
  SaveProjectAs->setShortcuts({QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
  CloseProject->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_T), QKeySequence(Qt::CTRL | Qt::Key_W)});

  DuplicateProject =
      makeAction(QStringLiteral("DuplicateProject"), QStringLiteral("Дублировать проект"),
                 QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::Key_D),
                 QStringLiteral(":/icons/image6.png"), this);
  GenerateAll = makeAction(
      QStringLiteral("GenerateAll"), QStringLiteral("Сгенерировать все"), QStringLiteral("Project"),
      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G), QStringLiteral(":/icons/image7.png"), this);
  // B for the browser.
  OpenSite = makeAction(QStringLiteral("OpenSite"), QStringLiteral("Открыть сайт в браузере"),
                        QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B),
                        QStringLiteral(":/icons/image8.png"), this);
  RestoreClosed = makeAction(
      QStringLiteral("RestoreClosed"), QStringLiteral("Восстановить закрытый проект"),
      QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T), QString(), this);
  ClearRecent = makeAction(QStringLiteral("ClearRecent"), QStringLiteral("Очистить список"),
                           QStringLiteral("Project"), QKeySequence(), QString(), this);

  connect(NewProject, &QAction::triggered, this, [this] { NewProjectExecute(); });
  connect(LoadProject, &QAction::triggered, this, [this] { LoadProjectExecute(); });
  connect(SaveProject, &QAction::triggered, this, [this] { SaveProjectExecute(); });
  connect(SaveProjectAs, &QAction::triggered, this, [this] { SaveProjectAsExecute(); });
  connect(CloseProject, &QAction::triggered, this, [this] { CloseProjectExecute(); });
  connect(About, &QAction::triggered, this, [this] { AboutExecute(); });
  connect(Quit, &QAction::triggered, this, [this] { QuitExecute(); });
  connect(DuplicateProject, &QAction::triggered, this, [this] { DuplicateProjectExecute(); });
  connect(GenerateAll, &QAction::triggered, this, [this] { GenerateAllExecute(); });
  connect(OpenSite, &QAction::triggered, this, [this] { OpenSiteExecute(); });
  connect(RestoreClosed, &QAction::triggered, this, [this] { RestoreClosedExecute(); });
  connect(ClearRecent, &QAction::triggered, this, [this] {
    ClearRecentProjects();
    rebuildRecentMenu();
  });

  // The shortcuts work wherever the focus is in the window, menus or not.
  addActions({NewProject, LoadProject, SaveProject, SaveProjectAs, CloseProject, About, Quit,
              DuplicateProject, GenerateAll, OpenSite, RestoreClosed});
}

void TForm1::createMenus() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));

  // Alt with the first letter opens a menu; the captions read as before.
  QMenu* project = menuBar()->addMenu(QStringLiteral("&Проект"));
  project->setObjectName(QStringLiteral("ProjectMenu"));
  project->addAction(makeMenuItem(NewProject, QStringLiteral(":/icons/menu-new.png"), this));
  project->addAction(makeMenuItem(DuplicateProject, QStringLiteral(":/icons/image6.png"), this));
  project->addSeparator();
  project->addAction(makeMenuItem(LoadProject, QStringLiteral(":/icons/menu-open.png"), this));
  RecentMenu = project->addMenu(QStringLiteral("Недавние проекты"));
  RecentMenu->setObjectName(QStringLiteral("RecentMenu"));
  project->addSeparator();
  project->addAction(makeMenuItem(SaveProject, QStringLiteral(":/icons/menu-save.png"), this));
  project->addAction(makeMenuItem(SaveProjectAs, QStringLiteral(":/icons/menu-saveas.png"), this));
  project->addSeparator();
  project->addAction(makeMenuItem(GenerateAll, QStringLiteral(":/icons/image7.png"), this));
  project->addAction(makeMenuItem(OpenSite, QStringLiteral(":/icons/image8.png"), this));
  project->addSeparator();
  project->addAction(makeMenuItem(CloseProject, QStringLiteral(":/icons/menu-close.png"), this));
  project->addAction(makeMenuItem(RestoreClosed, QString(), this));
  project->addSeparator();
  project->addAction(makeMenuItem(Quit, QString(), this));

  QMenu* info = menuBar()->addMenu(QStringLiteral("&Информация"));
  info->setObjectName(QStringLiteral("InfoMenu"));
  info->addAction(makeMenuItem(About, QString(), this));
}

void TForm1::createKeys() {
  // F10 opens the first menu, as on the desktops this program comes from;
  // the arrow keys go on from there.
  MenuKey = makeAction(QStringLiteral("MenuKey"), QString(), QStringLiteral("Window"),
                       QKeySequence(Qt::Key_F10), QString(), this);
  connect(MenuKey, &QAction::triggered, this, [this] {
    const QList<QAction*> menus = menuBar()->actions();
    if (!menus.isEmpty()) menuBar()->setActiveAction(menus.first());
  });
  // F6 and Shift+F6 move the focus between the tree and the active project.
  SwitchPane = makeAction(QStringLiteral("SwitchPane"), QString(), QStringLiteral("Window"),
                          QKeySequence(Qt::Key_F6), QString(), this);
  SwitchPane->setShortcuts({QKeySequence(Qt::Key_F6), QKeySequence(Qt::SHIFT | Qt::Key_F6)});
  connect(SwitchPane, &QAction::triggered, this, [this] { switchPane(); });
  addActions({MenuKey, SwitchPane});
}

void TForm1::createToolBar() {
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->addAction(NewProject);
  ToolBar1->addSeparator();
  ToolBar1->addAction(LoadProject);
  ToolBar1->addSeparator();
  ToolBar1->addAction(SaveProject);
  ToolBar1->addAction(SaveProjectAs);
  ToolBar1->addSeparator();
  ToolBar1->addAction(CloseProject);
  ToolBar1->addSeparator();
  ToolBar1->addAction(GenerateAll);
  ToolBar1->addAction(OpenSite);
  ToolBar1->addSeparator();
  ToolBar1->addAction(About);
  addToolBar(Qt::TopToolBarArea, ToolBar1);
}

void TForm1::createTreeMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  PopupMenu1->addAction(NewProject);
  PopupMenu1->addAction(DuplicateProject);
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(SaveProject);
  PopupMenu1->addAction(makePreviewAction(this));
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(CloseProject);
}

void TForm1::createPresetCommand() {
  NewModernProject =
      makeAction(QStringLiteral("NewModernProject"), QStringLiteral("Создать проект (современный)"),
                 QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                 QStringLiteral(":/icons/image9.png"), this);
  NewModernProject->setStatusTip(
      QStringLiteral("Новый проект с современным шаблоном: для телефонов, UTF-8, короткая "
                     "панель страниц, ссылки только на целых словах"));
  connect(NewModernProject, &QAction::triggered, this, [this] { NewModernProjectExecute(); });
  addAction(NewModernProject);

  // Each goes right after its plain New.
  auto after = [](const QList<QAction*>& actions, const QString& name) -> QAction* {
    for (qsizetype i = 0; i < actions.size(); ++i)
      if (actions[i]->objectName() == name) return actions.value(i + 1);
    return nullptr;
  };
  if (auto* project = menuBar()->findChild<QMenu*>(QStringLiteral("ProjectMenu")))
    project->insertAction(
        after(project->actions(), QStringLiteral("NewProjectItem")),
        makeMenuItem(NewModernProject, QStringLiteral(":/icons/menu-new-modern.png"), this));
  ToolBar1->insertAction(after(ToolBar1->actions(), QStringLiteral("NewProject")),
                         NewModernProject);
}

QString TForm1::RecentEntryText(int index, const QString& file) {
  // A "&" of the path would underline the letter after it and vanish.
  return QStringLiteral("&%1 %2").arg(QString::number(index + 1),
                                      QString(file).replace(u'&', QStringLiteral("&&")));
}

void TForm1::rebuildRecentMenu() {
  // The entry being run may be among the old ones: they go once the event
  // loop is back.
  const QList<QAction*> old = RecentMenu->actions();
  for (QAction* action : old) {
    RecentMenu->removeAction(action);
    if (action != ClearRecent) action->deleteLater();
  }
  const QStringList recent = RecentProjects();
  for (int i = 0; i < recent.size(); ++i) {
    const QString file = recent[i];
    auto* entry = new QAction(RecentEntryText(i, file), RecentMenu);
    RecentMenu->addAction(entry);
    entry->setObjectName(QStringLiteral("RecentProject%1").arg(i));
    entry->setData(file);
    connect(entry, &QAction::triggered, this,
            [this, file] { RunCommand([&] { openProjectFile(file); }); });
  }
  auto* separator = new QAction(RecentMenu);
  separator->setSeparator(true);
  RecentMenu->addAction(separator);
  RecentMenu->addAction(ClearRecent);
  ClearRecent->setEnabled(!recent.isEmpty());
  RecentMenu->setEnabled(!recent.isEmpty());
}

}  // namespace orvana
