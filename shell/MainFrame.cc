#include "MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeySequence>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QTreeWidget>

#include "Design.h"
#include "Dialogs.h"
#include "ErrorHandler.h"
#include "FProject.h"
#include "Resources.h"
#include "Settings.h"
#include "TextBridge.h"
#include "about.h"

namespace orvana {
namespace {

// The node data: the project window the node refers to, held as a
// QPointer<QObject> so that a window that is gone reads as nullptr, and a
// window being destroyed, no longer a TSiteProject, is never cast to one.
constexpr int kWindowRole = Qt::UserRole;

QObject* NodeObject(const QTreeWidgetItem* node) {
  return node->data(0, kWindowRole).value<QPointer<QObject>>().data();
}

// Reports the end of an in-place edit of a node's text: the text is stored,
// then the owner hears of it. An edit cancelled with Escape stores nothing
// and is not reported.
class NodeEditDelegate : public QStyledItemDelegate {
 public:
  NodeEditDelegate(TForm1* owner, QTreeWidget* tree)
      : QStyledItemDelegate(tree), m_owner(owner), m_tree(tree) {}

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    QStyledItemDelegate::setModelData(editor, model, index);
    if (QTreeWidgetItem* node = m_tree->topLevelItem(index.row()))
      m_owner->TreeView1Edited(node, node->text(0));
  }

 private:
  TForm1* m_owner;
  QTreeWidget* m_tree;
};

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

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  InitShellResources();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Генератор мини-сайтов"));
  setFont(DesignFont());

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setHandleWidth(3);
  Splitter1->setChildrenCollapsible(false);

  TreeView1 = new QTreeWidget(Splitter1);
  TreeView1->setObjectName(QStringLiteral("TreeView1"));
  TreeView1->setColumnCount(1);
  TreeView1->header()->hide();
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed);
  TreeView1->setItemDelegate(new NodeEditDelegate(this, TreeView1));
  TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);

  m_clientArea = new QMdiArea(Splitter1);
  m_clientArea->setObjectName(QStringLiteral("ClientArea"));
  m_clientArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_clientArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  Splitter1->addWidget(TreeView1);
  Splitter1->addWidget(m_clientArea);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({185, 870 - 185});
  setCentralWidget(Splitter1);

  OpenDialog1 = new FileDialog(FileDialog::Open, this);
  OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
  SaveDialog1 = new FileDialog(FileDialog::Save, this);
  SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));

  createActions();
  createMenus();
  createToolBar();
  createTreeMenu();
  createPresetCommand();

  connect(TreeView1, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { TreeView1Change(current); });
  connect(TreeView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(at)); });
  // However the frame came to activate a window, the tree follows; when the
  // whole program goes inactive the frame reports no window, and the tree
  // keeps its node.
  connect(m_clientArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
    if (window) selectActiveNode();
    updateActions();
  });

  setAcceptDrops(true);
  move(217, 210);
  resize(870, 640);
  restoreWindowSettings();
  rebuildRecentMenu();
  updateActions();
  // FormCreate: the run's new-project numbering starts at 0.
  m_newProjectCounter = 0;
}

TForm1::~TForm1() {
  // The project windows go first, while the tree that lists them is still
  // there to hear of it.
  const QList<QMdiSubWindow*> windows = m_clientArea->subWindowList();
  for (QMdiSubWindow* window : windows) delete window;
}

void TForm1::SetAboutWindow(TForm2* about) { m_about = about; }

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
  OpenSite = makeAction(QStringLiteral("OpenSite"), QStringLiteral("Открыть сайт в браузере"),
                        QStringLiteral("Project"), QKeySequence(),
                        QStringLiteral(":/icons/image8.png"), this);
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
  connect(ClearRecent, &QAction::triggered, this, [this] {
    ClearRecentProjects();
    rebuildRecentMenu();
  });

  // The shortcuts work wherever the focus is in the window, menus or not.
  addActions({NewProject, LoadProject, SaveProject, SaveProjectAs, CloseProject, About, Quit,
              DuplicateProject, GenerateAll, OpenSite});
}

void TForm1::createMenus() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));

  QMenu* project = menuBar()->addMenu(QStringLiteral("Проект"));
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
  project->addSeparator();
  project->addAction(makeMenuItem(Quit, QString(), this));

  QMenu* info = menuBar()->addMenu(QStringLiteral("Информация"));
  info->setObjectName(QStringLiteral("InfoMenu"));
  info->addAction(makeMenuItem(About, QString(), this));
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

// --- Commands ----------------------------------------------------------------

void TForm1::NewProjectExecute() {
  RunCommand([this] { newProject(); });
}
void TForm1::NewModernProjectExecute() {
  RunCommand([this] { newModernProject(); });
}
void TForm1::LoadProjectExecute() {
  RunCommand([this] { loadProject(); });
}
void TForm1::SaveProjectExecute() {
  RunCommand([this] { saveProject(); });
}
void TForm1::SaveProjectAsExecute() {
  RunCommand([this] { saveProjectAs(); });
}
void TForm1::CloseProjectExecute() {
  RunCommand([this] { closeProject(); });
}
void TForm1::DuplicateProjectExecute() {
  RunCommand([this] { duplicateProject(); });
}
void TForm1::GenerateAllExecute() {
  RunCommand([this] { generateAll(); });
}
void TForm1::OpenSiteExecute() {
  RunCommand([this] { openSite(); });
}

void TForm1::OpenFiles(const QStringList& fileNames) {
  for (const QString& fileName : fileNames)
    RunCommand([&] { openProjectFile(QFileInfo(fileName).absoluteFilePath()); });
}

QStringList TForm1::DroppedFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString file = url.toLocalFile();
    if (!QFileInfo(file).isDir()) files << file;
  }
  return files;
}

void TForm1::AboutExecute() {
  RunCommand([this] {
    if (m_about) m_about->exec();
  });
}

void TForm1::QuitExecute() { close(); }

void TForm1::newProject() {
  TSiteProject* window = createProjectWindow();
  window->SetProjectName(QStringLiteral("Untitled") + QString::number(m_newProjectCounter));
  ++m_newProjectCounter;
  addNode(window);
}

void TForm1::newModernProject() {
  TSiteProject* window = createProjectWindow();
  try {
    window->ApplyModernPreset();
  } catch (...) {
    // As with a failed open: no window is left without its node.
    delete window;
    throw;
  }
  window->SetProjectName(QStringLiteral("Untitled") + QString::number(m_newProjectCounter));
  ++m_newProjectCounter;
  addNode(window);
}

void TForm1::loadProject() {
  if (!OpenDialog1->Execute()) return;
  openProjectFile(OpenDialog1->FileName());
}

void TForm1::openProjectFile(const QString& fileName) {
  const QPointer<TSiteProject> previous = ActiveProject();
  TSiteProject* window = createProjectWindow();
  window->SetProjectName(fileName);
  try {
    window->LoadFromFile(fileName);
  } catch (const std::exception& error) {
    // A window that could not be read would stay open without a node, out of
    // reach of every command: show why, then take it away again.
    ShowCommandError(error);
    delete window;
    // The frame would bring forward whichever window it likes; the user's
    // project stays the current one, as if the open had never begun.
    if (previous) showProjectWindow(previous);
    // A recent entry whose file is gone or broken is of no more use.
    RemoveRecentProject(fileName);
    rebuildRecentMenu();
    return;
  }
  addNode(window);
  AddRecentProject(fileName);
  rebuildRecentMenu();
}

void TForm1::duplicateProject() {
  TSiteProject* source = ActiveProject();
  if (!source) {
    MessageBox::error(this, QStringLiteral("Нет открытых проектов"));
    return;
  }
  const QPointer<TSiteProject> from = source;
  TSiteProject* window = createProjectWindow();
  window->SetProjectName(QStringLiteral("Untitled") + QString::number(m_newProjectCounter));
  ++m_newProjectCounter;
  addNode(window);
  if (from) window->CopyFrom(*from);
}

void TForm1::generateAll() {
  if (reportNoProjects()) return;
  // The list as it stands now; a window closed meanwhile is passed by.
  QList<QPair<QString, QPointer<TSiteProject>>> projects;
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    projects.append({node->text(0), NodeWindow(node)});
  }
  QStringList lines;
  int done = 0;
  for (const auto& [name, window] : projects) {
    if (!window) continue;
    const TSiteProject::TGenerateResult result = window->GenerateAndWrite();
    if (result.ok) {
      ++done;
      QString line = QStringLiteral("%1 — страниц: %2").arg(name).arg(result.pages);
      // The window's report tells what they are.
      if (result.warnings > 0) line += QStringLiteral(", предупреждений: %1").arg(result.warnings);
      lines << line;
    } else {
      lines << QStringLiteral("%1 — ошибка: %2").arg(name, result.error);
    }
  }
  updateActions();
  const QString text =
      QStringLiteral("Сгенерировано проектов: %1 из %2\n\n").arg(done).arg(lines.size()) +
      lines.join(u'\n');
  if (done == lines.size())
    MessageBox::information(this, text);
  else
    MessageBox::warning(this, text);
}

void TForm1::openSite() {
  TSiteProject* project = ActiveProject();
  if (!project) return;
  const QString index = project->SiteIndexFile();
  if (index.isEmpty() || !QFileInfo(index).isFile()) {
    updateActions();
    MessageBox::error(this, QStringLiteral("Сайт ещё не выгружен: нет файла ") +
                                (index.isEmpty() ? QStringLiteral("index.html") : index));
    return;
  }
  if (!DesktopOpener::open(QUrl::fromLocalFile(index)))
    ShowCommandErrorText(QStringLiteral("Не удалось открыть %1 в браузере").arg(index));
}

bool TForm1::reportNoProjects() {
  if (TreeView1->topLevelItemCount() > 0) return false;
  MessageBox::error(this, QStringLiteral("Нет открытых проектов"));
  return true;
}

void TForm1::saveProject() {
  if (reportNoProjects()) return;
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    TSiteProject* window = NodeWindow(node);
    if (!window || !isActive(window)) continue;
    const QString path = node->text(0);
    if (FileExists(path)) {
      window->SaveToFile(path);
      AddRecentProject(path);
      rebuildRecentMenu();
    } else {
      saveProjectAs();
    }
  }
}

void TForm1::saveProjectAs() {
  if (reportNoProjects()) return;
  if (!SaveDialog1->Execute()) return;
  const QString path = SaveDialog1->FileName();
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    TSiteProject* window = NodeWindow(node);
    if (!window || !isActive(window)) continue;
    if (FileExists(path) &&
        MessageBox::warning(this, QStringLiteral("Перезаписать указанный файл?"),
                            MessageBox::OkCancel) != MessageBox::Ok)
      continue;
    window->SaveToFile(path);
    node->setText(0, path);
    AddRecentProject(path);
    rebuildRecentMenu();
  }
}

void TForm1::closeProject() {
  if (reportNoProjects()) return;
  TSiteProject* target = nullptr;
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    TSiteProject* window = NodeWindow(TreeView1->topLevelItem(i));
    if (window && isActive(window)) target = window;
  }
  if (!target) return;
  // The caption without the mark of unsaved changes: the project's name.
  if (MessageBox::warning(this, QStringLiteral("Сохранить проект ") + target->ProjectName() + u'?',
                          MessageBox::OkCancel) == MessageBox::Ok)
    saveProject();
  // Whatever the answer; a failed save has left by now and keeps the project.
  delete target;
  // The frame has activated another window; the tree must not go on
  // highlighting a node of some other one.
  selectActiveNode();
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A project writing its site cannot be closed under its feet; the window
  // takes no input meanwhile, but the system may still ask it to close.
  const QList<QMdiSubWindow*> windows = m_clientArea->subWindowList();
  for (QMdiSubWindow* window : windows) {
    const auto* project = qobject_cast<TSiteProject*>(window);
    if (project && project->IsGenerating()) {
      event->ignore();
      return;
    }
  }
  const bool allClosed = RunCommand([this] {
    while (TreeView1->topLevelItemCount() > 0) {
      const int before = TreeView1->topLevelItemCount();
      if (TSiteProject* window = NodeWindow(TreeView1->topLevelItem(before - 1)))
        showProjectWindow(window);
      closeProject();
      // A window that could not be made the active one is not closed; asking
      // again would never end.
      if (TreeView1->topLevelItemCount() >= before) break;
    }
  });
  if (allClosed && TreeView1->topLevelItemCount() == 0) {
    saveWindowSettings();
    event->accept();
  } else {
    event->ignore();
  }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
  if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QStringList files = DroppedFiles(event->mimeData());
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  // The drag's source waits for the drop to end; the files open after it.
  QMetaObject::invokeMethod(
      this, [this, files] { OpenFiles(files); }, Qt::QueuedConnection);
}

// --- Tree ----------------------------------------------------------------------

void TForm1::TreeView1Change(QTreeWidgetItem* node) {
  if (!node) return;
  if (TSiteProject* window = NodeWindow(node)) showProjectWindow(window);
}

void TForm1::TreeView1Edited(QTreeWidgetItem* node, const QString& text) {
  TSiteProject* window = NodeWindow(node);
  if (!window) return;
  window->SetProjectName(text);
  window->update();
}

void TForm1::Notification(QObject* component) {
  const int count = TreeView1->topLevelItemCount();
  int found = -1;
  // The window still answers to its pointer here: the notification comes
  // while it is being destroyed, before the pointers to it are cleared.
  for (int i = 0; i < count; ++i) {
    const QObject* window = NodeObject(TreeView1->topLevelItem(i));
    if (window && window == component) found = i;
  }
  if (found < 0) return;
  // Deleting the node is no choice of the user's: the selection moving on
  // must not activate another window while this one is going.
  const QSignalBlocker quiet(TreeView1);
  QTreeWidgetItem* node = TreeView1->topLevelItem(found);
  node->setData(0, kWindowRole, QVariant());
  delete node;
  updateActions();
}

TSiteProject* TForm1::NodeWindow(const QTreeWidgetItem* node) {
  if (!node) return nullptr;
  return qobject_cast<TSiteProject*>(NodeObject(node));
}

TSiteProject* TForm1::ActiveProject() const {
  return qobject_cast<TSiteProject*>(m_clientArea->currentSubWindow());
}

// --- Project windows -------------------------------------------------------------

TSiteProject* TForm1::createProjectWindow() {
  auto* window = new TSiteProject;
  m_clientArea->addSubWindow(window);
  connect(window, &QObject::destroyed, this, &TForm1::Notification);
  const QPointer<TSiteProject> watched = window;
  connect(window, &TSiteProject::ModifiedChanged, this, [this, watched] {
    if (watched) showModified(watched);
  });
  connect(window, &TSiteProject::SiteChanged, this, [this] { updateActions(); });
  // Default placement: cascaded from the top left, one title bar further for
  // each window, starting over when the cascade would leave the area.
  const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window) + 4;
  const int rows = qMax(1, (m_clientArea->viewport()->height() - window->height()) / step + 1);
  const int place = static_cast<int>(m_clientArea->subWindowList().size() - 1) % qMin(rows, 8);
  window->move(place * step, place * step);
  window->show();
  m_clientArea->setActiveSubWindow(window);
  return window;
}

void TForm1::addNode(TSiteProject* window) {
  auto* node = new QTreeWidgetItem(QStringList{window->ProjectName()});
  node->setFlags(node->flags() | Qt::ItemIsEditable);
  node->setData(0, kWindowRole, QVariant::fromValue(QPointer<QObject>(window)));
  TreeView1->addTopLevelItem(node);
  showModified(window);
  updateActions();
}

QTreeWidgetItem* TForm1::nodeOf(const TSiteProject* window) const {
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    if (window && NodeWindow(node) == window) return node;
  }
  return nullptr;
}

void TForm1::showModified(TSiteProject* window) {
  QTreeWidgetItem* node = nodeOf(window);
  if (!node) return;
  QFont font = TreeView1->font();
  font.setItalic(window->IsModified());
  node->setFont(0, font);
}

void TForm1::updateActions() {
  const TSiteProject* project = ActiveProject();
  DuplicateProject->setEnabled(project != nullptr);
  GenerateAll->setEnabled(TreeView1->topLevelItemCount() > 0);
  const QString index = project ? project->SiteIndexFile() : QString();
  OpenSite->setEnabled(!index.isEmpty() && QFileInfo(index).isFile());
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
    auto* entry = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(file), RecentMenu);
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

void TForm1::restoreWindowSettings() {
  const auto settings = OpenSettings();
  const QByteArray geometry = settings->value(QStringLiteral("MainWindow/Geometry")).toByteArray();
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  const QByteArray splitter = settings->value(QStringLiteral("MainWindow/Splitter")).toByteArray();
  if (!splitter.isEmpty()) Splitter1->restoreState(splitter);
}

void TForm1::saveWindowSettings() {
  const auto settings = OpenSettings();
  settings->setValue(QStringLiteral("MainWindow/Geometry"), saveGeometry());
  settings->setValue(QStringLiteral("MainWindow/Splitter"), Splitter1->saveState());
}

void TForm1::selectActiveNode() {
  const TSiteProject* current = ActiveProject();
  QTreeWidgetItem* found = nullptr;
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count && !found; ++i) {
    QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    if (current && NodeWindow(node) == current) found = node;
  }
  // The window is active already: the selection only follows it.
  const QSignalBlocker quiet(TreeView1);
  TreeView1->setCurrentItem(found);
  if (!found) TreeView1->clearSelection();
}

void TForm1::showProjectWindow(TSiteProject* window) {
  window->show();
  window->raise();
  m_clientArea->setActiveSubWindow(window);
}

bool TForm1::isActive(const TSiteProject* window) const { return window == ActiveProject(); }

}  // namespace orvana
