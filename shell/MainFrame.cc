#include "shell/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeySequence>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/Design.h"
#include "gui/Dialogs.h"
#include "gui/ErrorHandler.h"
#include "gui/TextBridge.h"
#include "shell/Application.h"
#include "shell/FileDrop.h"
#include "shell/Navigation.h"
#include "shell/NodeLabel.h"
#include "shell/Resources.h"
#include "shell/Settings.h"
#include "shell/about.h"
#include "window/FProject.h"

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

 protected:
  // The file's own name whole, the folder shortened; a second node of the
  // same file numbered.
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QStyle* style = option->widget ? option->widget->style() : m_tree->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_tree) + 1;
    const int width =
        style->subElementRect(QStyle::SE_ItemViewItemText, option, m_tree).width() - 2 * margin;
    option->text = m_owner->ShownNodeText(index.row(), option->fontMetrics, width);
  }

 private:
  TForm1* m_owner;
  QTreeWidget* m_tree;
};

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

  createTree();

  QWidget* clientColumn = createClientArea();

  new TTabRing(TreeView1, m_clientArea);

  Splitter1->addWidget(TreeView1);
  Splitter1->addWidget(clientColumn);
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({185, 870 - 185});
  setCentralWidget(Splitter1);

  OpenDialog1 = new FileDialog(FileDialog::Open, this);
  OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
  SaveDialog1 = new FileDialog(FileDialog::Save, this);
  SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
  for (FileDialog* dialog : {OpenDialog1, SaveDialog1})
    dialog->SetNameFilters({QStringLiteral("Проекты (*.orvana)"), QStringLiteral("Все файлы (*)")});

  createActions();
  createMenus();
  createToolBar();
  createTreeMenu();
  createPresetCommand();
  createKeys();

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
    CheckActiveProjectFile();
  });
  connect(qApp, &QGuiApplication::applicationStateChanged, this,
          [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive) CheckActiveProjectFile();
          });

  createKeeping();

  // Drops over widgets that take none come to the window itself.
  setAcceptDrops(true);
  new TFileDrop(
      this, [this](const QStringList& files, const QStringList& folders,
                   const QStringList& notProjects) { openDropped(files, folders, notProjects); });
  move(217, 210);
  resize(870, 640);
  restoreWindowSettings();
  m_wantedBounds = geometry();
  fitOnScreen();
  rebuildRecentMenu();
  updateActions();
  // FormCreate: the run's new-project numbering starts at 0.
  m_newProjectCounter = 0;
}

QWidget* TForm1::createClientArea() {
  // The client area, under the notice of a project file changed on disk.
  auto* clientColumn = new QWidget(Splitter1);
  clientColumn->setObjectName(QStringLiteral("ClientColumn"));
  auto* column = new QVBoxLayout(clientColumn);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  createChangeNotice(clientColumn);
  column->addWidget(m_changeNotice);
  m_clientArea = new QMdiArea(clientColumn);
  column->addWidget(m_clientArea);
  m_clientArea->setObjectName(QStringLiteral("ClientArea"));
  m_clientArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_clientArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  return clientColumn;
}

void TForm1::createKeeping() {
  // Edited projects are kept every few seconds for a restart after a crash.
  m_recovery = std::make_unique<TRecoveryStore>();
  m_keepTimer = new QTimer(this);
  m_keepTimer->setObjectName(QStringLiteral("KeepTimer"));
  m_keepTimer->setInterval(kKeepIntervalMs);
  connect(m_keepTimer, &QTimer::timeout, this, [this] {
    // Only from the main loop: inside a command that turns the loop itself,
    // a project may be half taken in, or read on another thread.
    if (TApplication::DispatchDepth() <= 1) KeepEditedProjects();
  });
  m_keepTimer->start();
}

void TForm1::createTree() {
  TreeView1 = new QTreeWidget(Splitter1);
  TreeView1->setObjectName(QStringLiteral("TreeView1"));
  TreeView1->setColumnCount(1);
  TreeView1->header()->hide();
  TreeView1->setIndentation(19);
  TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed);
  TreeView1->setItemDelegate(new NodeEditDelegate(this, TreeView1));
  TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
  // Paths are long and the tree is narrow: the folder is shortened, the
  // file's name stays whole (NodeLabel), and the whole text is the tool tip.
  TreeView1->setTextElideMode(Qt::ElideMiddle);
  connect(TreeView1, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node) {
    node->setToolTip(0, node->text(0));
    // Other nodes of the same text are numbered anew.
    TreeView1->viewport()->update();
  });
}

TForm1::~TForm1() {
  // The project windows go first, while the tree that lists them is still
  // there to hear of it.
  const QList<QMdiSubWindow*> windows = m_clientArea->subWindowList();
  for (QMdiSubWindow* window : windows) delete window;
}

void TForm1::SetAboutWindow(TForm2* about) { m_about = about; }

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
  QStringList folders;
  TFileDrop::Split(data, &files, &folders);
  return files;
}

void TForm1::openDropped(const QStringList& files, const QStringList& folders,
                         const QStringList& notProjects) {
  OpenFiles(files);
  if (!folders.isEmpty())
    MessageBox::warning(
        this, (folders.size() == 1 ? QStringLiteral("Папку нельзя открыть как проект:\n")
                                   : QStringLiteral("Папки нельзя открыть как проекты:\n")) +
                  folders.join(u'\n'));
  // Text is taken by the text boxes only.
  if (!notProjects.isEmpty())
    MessageBox::warning(
        this,
        (notProjects.size() == 1 ? QStringLiteral("Файл не является проектом Orvana:\n")
                                 : QStringLiteral("Файлы не являются проектами Orvana:\n")) +
            notProjects.join(u'\n') +
            QStringLiteral("\n\nТекст из файла можно вставить, перетащив его на поле ввода."));
}

void TForm1::switchPane() {
  TSiteProject* project = ActiveProject();
  QWidget* focus = QApplication::focusWidget();
  const bool inTree = focus && (focus == TreeView1 || TreeView1->isAncestorOf(focus));
  if (!inTree || !project) {
    TreeView1->setFocus(Qt::ShortcutFocusReason);
    return;
  }
  // Back to the control that had the focus in it last, or to its first one.
  QWidget* target = project->widget() ? project->widget()->focusWidget() : nullptr;
  if (!target || !target->isVisible()) target = TabStops(project).value(0);
  if (target)
    target->setFocus(Qt::ShortcutFocusReason);
  else
    project->setFocus(Qt::ShortcutFocusReason);
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
  OpenDialog1->SetStartFolder(activeProjectFolder());
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
  // The frame kept painting while the file was read, and may have been
  // resized meanwhile.
  fitIntoArea(window);
  addNode(window);
  stateOf(window).hasFile = true;
  stateOf(window).stamp = StampOf(fileName);
  // The user looks for the file just opened: its node shows it.
  selectActiveNode();
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
  // What was not saved stays in the recovery store, to be restored.
  if (target->IsModified())
    keepCopy(target, TRecoveryEntry::Closed);
  else
    forgetCopy(target);
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
  m_states.remove(component);
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

void TForm1::addNode(TSiteProject* window) {
  auto* node = new QTreeWidgetItem(QStringList{window->ProjectName()});
  node->setToolTip(0, window->ProjectName());
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
  RestoreClosed->setEnabled(!m_recovery->Entries(TRecoveryEntry::Closed).isEmpty());
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
