#include "MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QIcon>
#include <QKeySequence>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
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
#include "TextBridge.h"
#include "about.h"

namespace orvana {
namespace {

// The node data: the project window the node refers to, held as a
// QPointer<TSiteProject> so that a window that is gone reads as nullptr.
constexpr int kWindowRole = Qt::UserRole;

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

  connect(TreeView1, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { TreeView1Change(current); });
  connect(TreeView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(at)); });

  move(217, 210);
  resize(870, 640);
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
  SaveProjectAs = makeAction(
      QStringLiteral("SaveProjectAs"), QStringLiteral("Сохранить проект как..."),
      QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S),
      QStringLiteral(":/icons/image3.png"), this);
  CloseProject = makeAction(QStringLiteral("CloseProject"), QStringLiteral("Закрыть проект"),
                            QStringLiteral("Project"), QKeySequence(Qt::CTRL | Qt::Key_T),
                            QStringLiteral(":/icons/image1.png"), this);
  About = makeAction(QStringLiteral("About"), QStringLiteral("О программе"),
                     QStringLiteral("Help"), QKeySequence(), QStringLiteral(":/icons/image4.png"),
                     this);
  Quit = makeAction(QStringLiteral("Quit"), QStringLiteral("Выход"), QStringLiteral("Project"),
                    QKeySequence(Qt::CTRL | Qt::Key_Q), QString(), this);

  connect(NewProject, &QAction::triggered, this, [this] { NewProjectExecute(); });
  connect(LoadProject, &QAction::triggered, this, [this] { LoadProjectExecute(); });
  connect(SaveProject, &QAction::triggered, this, [this] { SaveProjectExecute(); });
  connect(SaveProjectAs, &QAction::triggered, this, [this] { SaveProjectAsExecute(); });
  connect(CloseProject, &QAction::triggered, this, [this] { CloseProjectExecute(); });
  connect(About, &QAction::triggered, this, [this] { AboutExecute(); });
  connect(Quit, &QAction::triggered, this, [this] { QuitExecute(); });

  // The shortcuts work wherever the focus is in the window, menus or not.
  addActions({NewProject, LoadProject, SaveProject, SaveProjectAs, CloseProject, About, Quit});
}

void TForm1::createMenus() {
  menuBar()->setObjectName(QStringLiteral("MainMenu1"));

  QMenu* project = menuBar()->addMenu(QStringLiteral("Проект"));
  project->setObjectName(QStringLiteral("ProjectMenu"));
  project->addAction(makeMenuItem(NewProject, QStringLiteral(":/icons/menu-new.png"), this));
  project->addSeparator();
  project->addAction(makeMenuItem(LoadProject, QStringLiteral(":/icons/menu-open.png"), this));
  project->addSeparator();
  project->addAction(makeMenuItem(SaveProject, QStringLiteral(":/icons/menu-save.png"), this));
  project->addAction(makeMenuItem(SaveProjectAs, QStringLiteral(":/icons/menu-saveas.png"), this));
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
  ToolBar1->addAction(About);
  addToolBar(Qt::TopToolBarArea, ToolBar1);
}

void TForm1::createTreeMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  PopupMenu1->addAction(NewProject);
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(SaveProject);
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(CloseProject);
}

// --- Commands ----------------------------------------------------------------

void TForm1::NewProjectExecute() { RunCommand([this] { newProject(); }); }
void TForm1::LoadProjectExecute() { RunCommand([this] { loadProject(); }); }
void TForm1::SaveProjectExecute() { RunCommand([this] { saveProject(); }); }
void TForm1::SaveProjectAsExecute() { RunCommand([this] { saveProjectAs(); }); }
void TForm1::CloseProjectExecute() { RunCommand([this] { closeProject(); }); }

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

void TForm1::loadProject() {
  if (!OpenDialog1->Execute()) return;
  const QString fileName = OpenDialog1->FileName();
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
    return;
  }
  addNode(window);
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
    if (FileExists(path))
      window->SaveToFile(path);
    else
      saveProjectAs();
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
  if (MessageBox::warning(this, QStringLiteral("Сохранить проект ") + target->windowTitle() + u'?',
                          MessageBox::OkCancel) == MessageBox::Ok)
    saveProject();
  // Whatever the answer; a failed save has left by now and keeps the project.
  delete target;
  // The frame has activated another window; the tree must not go on
  // highlighting a node of some other one.
  selectActiveNode();
}

void TForm1::closeEvent(QCloseEvent* event) {
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
  if (allClosed && TreeView1->topLevelItemCount() == 0)
    event->accept();
  else
    event->ignore();
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
    const QObject* window = NodeWindow(TreeView1->topLevelItem(i));
    if (window && window == component) found = i;
  }
  if (found < 0) return;
  // Deleting the node is no choice of the user's: the selection moving on
  // must not activate another window while this one is going.
  const QSignalBlocker quiet(TreeView1);
  QTreeWidgetItem* node = TreeView1->topLevelItem(found);
  node->setData(0, kWindowRole, QVariant());
  delete node;
}

TSiteProject* TForm1::NodeWindow(const QTreeWidgetItem* node) {
  if (!node) return nullptr;
  return node->data(0, kWindowRole).value<QPointer<TSiteProject>>().data();
}

TSiteProject* TForm1::ActiveProject() const {
  return qobject_cast<TSiteProject*>(m_clientArea->currentSubWindow());
}

// --- Project windows -------------------------------------------------------------

TSiteProject* TForm1::createProjectWindow() {
  auto* window = new TSiteProject;
  m_clientArea->addSubWindow(window);
  connect(window, &QObject::destroyed, this, &TForm1::Notification);
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
  node->setData(0, kWindowRole, QVariant::fromValue(QPointer<TSiteProject>(window)));
  TreeView1->addTopLevelItem(node);
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
