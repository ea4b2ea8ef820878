// TForm1: the main window, a multiple-document frame of project windows.
//
// Every open project is a TSiteProject living as a child window in the frame.
// The tree on the left (TreeView1) lists them, one root node per project
// window in the order they were created or opened; a node's text is the
// project's name or the path it was last saved as, and its data refers to the
// window. The current project is always the frame's active child window; the
// selected node plays no part in choosing it, clicking a node only activates
// its window.
//
// The main window owns the commands: new (plain or from the modern preset),
// duplicate, open (also from the list of recent projects, by dropping files
// on the window, and for the files named on the command line), save, save as
// and close of a project, generate every project, open the active project's
// site in the browser, about, quit.
// Project windows are destroyed only by Close project (also when run for every
// project while the main window closes); the node of a destroyed window goes
// away through the removal notification. A node shows in italics while its
// project has changes that are not saved.
//
// The tree's selection follows the active window however it became active
// (a click on its node or its frame, Ctrl+Tab, a command), except that the
// node of a new project is not selected (an opened project's is). Long node
// texts are shortened in the middle, so the file's name stays in sight; the
// whole text is the node's tool tip. The main window's geometry and the
// tree's width are remembered between runs (see Settings.h).
//
// Files dropped anywhere on the window, on a project's text boxes too, are
// opened as projects (FileDrop.h). The keyboard reaches everything: Alt with
// a menu's first letter or F10 opens the menus, F6 moves between the tree and
// the active project, and Tab goes through every control of a project window
// (Navigation.h). A new project window is made to fit into the frame.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

#include "shell/FileStamp.h"
#include "shell/RecoveryStore.h"

class QAction;
class QFontMetrics;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMimeData;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvana {

class FileDialog;
class TForm2;
class TSiteProject;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // How often the edited projects are copied into the recovery store.
  static constexpr int kKeepIntervalMs = 3000;

  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The about window that the About command shows; it is not owned.
  void SetAboutWindow(TForm2* about);

  // --- Commands, each a complete user action: errors are shown, not thrown.
  void NewProjectExecute();
  // A new project, numbered as New numbers it, started from the modern preset.
  void NewModernProjectExecute();
  void LoadProjectExecute();
  void SaveProjectExecute();
  void SaveProjectAsExecute();
  void CloseProjectExecute();
  void AboutExecute();
  void QuitExecute();
  // A new project (the next Untitled number) holding a copy of the active
  // one's settings and texts.
  void DuplicateProjectExecute();
  // Generates and writes every listed project in tree order, then shows one
  // box naming each project's pages or error.
  void GenerateAllExecute();
  // Opens the active project's first page with the desktop's browser.
  void OpenSiteExecute();
  // "Восстановить закрытый проект": reopens the project closed last without
  // saving, with its edits, marked as changed; it saves to its own file.
  void RestoreClosedExecute();

  // At start: the projects that a run which ended without closing them
  // (a crash, a power cut) kept in the recovery store are offered back.
  void OfferCrashRecovery();
  // Keeps a copy of every project edited since its last copy in the
  // recovery store; a timer runs it every few seconds.
  void KeepEditedProjects();
  // Looks whether the active project's file was changed by another program
  // since the window read or wrote it, and shows or hides the notice that
  // offers to read it again. Runs whenever the program or a project window
  // becomes active.
  void CheckActiveProjectFile();

  // Opens each file as Open project does with a chosen file; a file that
  // fails shows its error and the others are still opened. Relative names
  // resolve against the current folder.
  void OpenFiles(const QStringList& fileNames);

  // The local files a drop or a drag carries, in order; folders left out.
  static QStringList DroppedFiles(const QMimeData* data);
  // The label of the recent list's entry for file: its number (index + 1,
  // underlined as the key that runs it) and the file's path as it is spelled.
  static QString RecentEntryText(int index, const QString& file);

  // --- Tree events ---------------------------------------------------------
  // The selection moved to node: activate its window.
  void TreeView1Change(QTreeWidgetItem* node);
  // An in-place edit of node's text ended with text: rename its window.
  void TreeView1Edited(QTreeWidgetItem* node, const QString& text);

  // The removal notification: a project window is being destroyed; its node
  // (the last one referring to it) is deleted, no other node is touched.
  void Notification(QObject* component);

  // What the node in that row shows in width pixels (NodeLabel): the file's
  // own name whole, a second node of the same text numbered.
  QString ShownNodeText(int row, const QFontMetrics& metrics, int width) const;

  // The window a node refers to; nullptr for no node, a node without a
  // window, or a node whose window has been destroyed.
  static TSiteProject* NodeWindow(const QTreeWidgetItem* node);
  // The frame's current child window, the current project, or nullptr.
  TSiteProject* ActiveProject() const;

 protected:
  // FormClose: asks about every listed project, the last listed first; a
  // failed save stops the closing.
  void closeEvent(QCloseEvent* event) override;
  // The first show fits the window on the screen once its frame is known.
  void showEvent(QShowEvent* event) override;

 private:
  // TreeView1, in Splitter1.
  void createTree();
  // The notice of a changed project file above the MDI area; returns their column.
  QWidget* createClientArea();
  // The recovery store and the timer that keeps edited projects in it.
  void createKeeping();
  void createActions();
  void createMenus();
  void createToolBar();
  void createTreeMenu();
  // F10 and F6.
  void createKeys();
  // The new-from-preset command, placed right after New in the Project menu
  // and on the tool bar.
  void createPresetCommand();

  // The command bodies; errors of the engine leave them as exceptions.
  void newProject();
  void newModernProject();
  void loadProject();
  void saveProject();
  void saveProjectAs();
  void closeProject();
  void duplicateProject();
  void generateAll();
  void openSite();
  // Open project once its file is known; the file then heads the recent
  // list, and a recent entry that fails to open leaves the list.
  void openProjectFile(const QString& fileName);
  // The message of Save, Save as and Close when no project is listed; true
  // when it was shown.
  bool reportNoProjects();
  // Projects dropped on the window open once the drop has ended; folders and
  // other files that no text box took are named in a box.
  void openDropped(const QStringList& files, const QStringList& folders,
                   const QStringList& notProjects);
  // Where the file dialogs start: the active project's folder, when its node
  // names a file in an existing folder; otherwise empty.
  QString activeProjectFolder() const;
  // F6: from the tree into the active project window, from anywhere else
  // into the tree.
  void switchPane();

  // Creates a project window in the frame, shown and active.
  TSiteProject* createProjectWindow();
  // Sizes and places a new window so that it fits into the frame's area.
  void fitIntoArea(TSiteProject* window);
  // Moves and shrinks the main window so that its frame lies on the screen's
  // available area.
  void fitOnScreen();
  void addNode(TSiteProject* window);
  // Moves the tree's selection to the active window's node, or clears it
  // when no listed window is active; no window is activated by it.
  void selectActiveNode();
  // Makes window visible, brings it to the front and activates it.
  void showProjectWindow(TSiteProject* window);
  bool isActive(const TSiteProject* window) const;
  QTreeWidgetItem* nodeOf(const TSiteProject* window) const;
  // The node's font tells whether its project has unsaved changes.
  void showModified(TSiteProject* window);
  // Enables the commands that need a project, or a generated site.
  void updateActions();
  void rebuildRecentMenu();
  void restoreWindowSettings();
  void saveWindowSettings();

  // What the main window knows of each listed project's file and copies.
  struct ProjectState {
    // Opened from a file, saved to one or restored from a copy of one: only
    // then may Save write the file its node names.
    bool hasFile = false;
    // The file as the window last read or wrote it.
    TFileStamp stamp;
    // The bytes of the changed file the user chose to leave as they are.
    QByteArray dismissedDigest;
    // The project's entry in the recovery store, if any.
    QString recoveryId;
    // Edited since its last copy; the next copy not before this moment.
    bool edited = false;
    qint64 nextCopyMs = 0;
  };
  ProjectState& stateOf(const TSiteProject* window);
  // Writes the project to path, then remembers the file as its own.
  void writeProjectFile(TSiteProject* window, const QString& path);
  // When the project's file changed on disk since the window read or wrote
  // it, asks before overwriting; true when writing may go on.
  bool confirmOverwriteOfChanged(TSiteProject* window, const QString& path);
  // The name Save as proposes for the project.
  QString proposedFileName(const TSiteProject* window, const QTreeWidgetItem* node) const;
  void createChangeNotice(QWidget* parent);
  // "Перечитать": reads the project's file again; unsaved edits stay in the
  // recovery store as a closed project.
  void rereadProjectFile();
  // Keeps a copy of the project in the recovery store; true when kept.
  bool keepCopy(TSiteProject* window, TRecoveryEntry::Kind kind);
  // Removes the project's copy: its edits are saved.
  void forgetCopy(TSiteProject* window);
  // Opens a recovery entry as a changed project; the entry then goes.
  void openCopy(const TRecoveryEntry& entry);

  QMdiArea* m_clientArea = nullptr;
  QTreeWidget* TreeView1 = nullptr;
  QSplitter* Splitter1 = nullptr;
  QToolBar* ToolBar1 = nullptr;
  QMenu* PopupMenu1 = nullptr;

  QAction* NewProject = nullptr;
  QAction* NewModernProject = nullptr;
  QAction* LoadProject = nullptr;
  QAction* SaveProject = nullptr;
  QAction* SaveProjectAs = nullptr;
  QAction* CloseProject = nullptr;
  QAction* About = nullptr;
  QAction* Quit = nullptr;
  QAction* DuplicateProject = nullptr;
  QAction* GenerateAll = nullptr;
  QAction* OpenSite = nullptr;
  QAction* ClearRecent = nullptr;
  QAction* RestoreClosed = nullptr;
  QAction* MenuKey = nullptr;
  QAction* SwitchPane = nullptr;
  QMenu* RecentMenu = nullptr;

  FileDialog* OpenDialog1 = nullptr;
  FileDialog* SaveDialog1 = nullptr;
  QPointer<TForm2> m_about;

  QHash<const QObject*, ProjectState> m_states;
  std::unique_ptr<TRecoveryStore> m_recovery;
  QTimer* m_keepTimer = nullptr;
  QWidget* m_changeNotice = nullptr;
  QLabel* m_changeNoticeText = nullptr;
  QPointer<TSiteProject> m_noticeFor;
  bool m_shownOnce = false;
  // The bounds specified or remembered, until the first show has fitted them.
  QRect m_wantedBounds;

  // Numbers the new projects of this run: Untitled0, Untitled1, ...; never
  // lowered, so numbers are not reused.
  int m_newProjectCounter = 0;
};

}  // namespace orvana
