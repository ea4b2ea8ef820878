// The main window: its commands, the project tree, the closing procedure and
// the application's error box.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QSysInfo>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <sys/resource.h>

#include <csignal>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/Error.h"
#include "folderdialog/PFolderDialog.h"
#include "gui/Dialogs.h"
#include "gui/ErrorHandler.h"
#include "gui/FocusRing.h"
#include "gui/SystemErrors.h"
#include "gui/TextBridge.h"
#include "project/DefaultContent.h"
#include "project/MemoText.h"
#include "project/ModernPreset.h"
#include "shell/Application.h"
#include "shell/MainFrame.h"
#include "shell/Navigation.h"
#include "shell/NodeLabel.h"
#include "shell/RecoveryStore.h"
#include "shell/Settings.h"
#include "shell/about.h"
#include "tests/gui/GuiTestBase.h"
#include "window/FProject.h"
#include "window/MemoLines.h"

using orvana::FileDialog;
using orvana::MessageBox;
using orvana::TForm1;
using orvana::TRecoveryEntry;
using orvana::TRecoveryStore;
using orvana::TSiteProject;

class TestMainWindow : public GuiTestBase {
  Q_OBJECT

 protected slots:
  void initTestCase() override {
    GuiTestBase::initTestCase();
    QVERIFY(orvana::InstallQtTranslation());
  }
  void init() override;
  void cleanup() override;

 private slots:
  void layoutMenusAndActions();
  void newProjectsAreNumberedAndNeverReused();
  void commandsWithoutProjectsSayNoProjects();
  void saveOfANewProjectIsSaveAs();
  void saveWritesAnExistingFileNamedByTheNode();
  void saveAsOntoAnExistingFileAsks();
  void closeWithEachAnswer_data();
  void closeWithEachAnswer();
  void failedSaveKeepsTheProjectOpen();
  void failedSaveIsShownWhole_data();
  void failedSaveIsShownWhole();
  void quitAsksAboutEveryProjectLastFirst();
  void failedSaveStopsTheQuit();
  void clickingANodeActivatesItsWindow();
  void renamingANodeRenamesTheWindow();
  void destroyedWindowRemovesOnlyItsNode();
  void nodeOfAGoneWindowRefersToNothing();
  void openingShowsTheFileEachTimeAnew();
  void failedOpenLeavesNoWindow();
  void failedOpenKeepsTheActiveProjectInFront();
  void closingLeavesTheTreeOnTheActiveWindow_data();
  void closingLeavesTheTreeOnTheActiveWindow();
  void headerNamesAreKeptApartFromWindowsAndControls();
  void closeBoxMinimisesAndTheProjectStaysListed();
  void realBoxesAndFileDialogs();
  void shortcutsRunTheCommands();
  void shortcutsOfOtherProgramsRunTheSameCommands();
  void changedProjectsAreMarkedUntilSaved();
  void recentProjectsAreKeptBetweenRuns();
  void aRecentProjectThatCannotBeOpenedLeavesTheList();
  void droppedFilesOpenAsOpenDoes();
  void filesNamedOnTheCommandLineOpenAtStart();
  void openSiteOpensTheActiveProjectsFirstPage();
  void generateAllWritesEveryProjectAndSumsUp();
  void duplicateCopiesTheActiveProject();
  void treeFollowsWindowsActivatedByTheFrame();
  void geometryAndSplitterAreRemembered();
  void quitWaitsForASiteBeingWritten();
  void errorsOfCommandsAreShownAndTheProgramRunsOn();
  void modernProjectIsNumberedAsNewAndHoldsThePreset();
  void dropsOnTextBoxesOpenFilesAndTakeOnlyText();
  void keysReachMenusTreeAndEveryControl();
  void newWindowsFitTheFrame();
  void filesInRussianDialogsTheTreeAndTheRecentList();
  void saveAsProposesTheProjectsOwnNameAndCompletesIt();
  void aFileChangedByAnotherProgramIsNotOverwrittenUnasked();
  void theNoticeRereadsAChangedFileAndKeepsTheEdits();
  void projectsClosedUnsavedComeBackWithTheirEdits();
  void editedProjectsAreCopiedUntilSavedOrClosed();
  void aCrashedRunsProjectsAreOfferedAtTheNextStart();
  void theStoreKeepsTheNewestClosedProjectsForTwoWeeks();
  void framesAreMovedAndShrunkOntoTheScreen();
  void labelsKeepTheFilesNameWholeAndNumberCopies();
  void theFocusIsShownOnEveryControl();

 private:
  QTreeWidget* tree() const { return m_form1->findChild<QTreeWidget*>("TreeView1"); }
  QStringList nodeTexts() const;
  TSiteProject* nodeWindow(int index) const;
  TSiteProject* active() const { return m_form1->ActiveProject(); }
  void trigger(const char* name) { triggerAction(m_form1, QString::fromLatin1(name)); }
  // Saves the active project as path through the (scripted) save dialog.
  void saveActiveAs(const QString& path);
  void setTitle(TSiteProject* window, const QString& title);
  static QStringList entries(const QList<QAction*>& actions);
  // A project file of its own title at path, written by a window of its own.
  void writeProject(const QString& path, const QString& title);
  // The entries of the recent list (their files), in menu order.
  QStringList recentEntries() const;
  QAction* action(const char* name) const {
    return m_form1->findChild<QAction*>(QString::fromLatin1(name));
  }
  // Gives the active project an output folder (created) and a text of the
  // given number of short paragraphs, each a page of its own.
  QString prepareSite(const QString& folderName, int pages);
  // Replaces the main window by a new one, as the next run of the program.
  void restart();
  static bool nodeMarked(const QTreeWidgetItem* node) { return node->font(0).italic(); }
  QLineEdit* title() const { return active()->findChild<QLineEdit*>("Edit1"); }
  // A project file of that title, opened in the main window.
  void openProject(const QString& path, const QString& title) {
    writeProject(path, title);
    m_form1->OpenFiles({path});
  }
  static void touch(const QString& path, int seconds) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(seconds),
                             QFileDevice::FileModificationTime));
  }
  QList<TRecoveryEntry> entries(TRecoveryEntry::Kind kind) const {
    return TRecoveryStore(TRecoveryStore::DefaultFolder()).Entries(kind);
  }

  QPointer<TForm1> m_form1;
  QPointer<orvana::TForm2> m_form2;
};

void TestMainWindow::init() {
  GuiTestBase::init();
  m_form1 = new TForm1;
  m_form2 = new orvana::TForm2(m_form1);
  m_form1->SetAboutWindow(m_form2);
  m_form1->show();
  m_form1->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(m_form1));
}

void TestMainWindow::cleanup() {
  delete m_form1;
  GuiTestBase::cleanup();
}

QStringList TestMainWindow::nodeTexts() const {
  QStringList texts;
  for (int i = 0; i < tree()->topLevelItemCount(); ++i) texts << tree()->topLevelItem(i)->text(0);
  return texts;
}

TSiteProject* TestMainWindow::nodeWindow(int index) const {
  return TForm1::NodeWindow(tree()->topLevelItem(index));
}

void TestMainWindow::saveActiveAs(const QString& path) {
  FileDialog::setNextFileName(path);
  trigger("SaveProjectAs");
}

void TestMainWindow::setTitle(TSiteProject* window, const QString& title) {
  window->findChild<QLineEdit*>("Edit1")->setText(title);
}

void TestMainWindow::writeProject(const QString& path, const QString& title) {
  TSiteProject window;
  setTitle(&window, title);
  window.SaveToFile(path);
}

QStringList TestMainWindow::recentEntries() const {
  QStringList files;
  for (QAction* entry : m_form1->findChild<QMenu*>("RecentMenu")->actions())
    if (!entry->data().toString().isEmpty()) files << entry->data().toString();
  return files;
}

QString TestMainWindow::prepareSite(const QString& folderName, int pages) {
  TSiteProject* window = active();
  const QString folder = tempPath(folderName);
  QDir().mkpath(folder);
  orvana::TPFolderDialog::ScriptNextResult(folder);
  window->findChild<QPushButton*>("Button2")->click();
  window->findChild<QLineEdit*>("Edit2")->setText("20");
  window->findChild<QLineEdit*>("Edit3")->setText("40");
  window->FormToGenerator();
  QStringList paragraphs;
  for (int i = 0; i < pages; ++i) paragraphs << QString("Абзац номер %1 сайта.").arg(i);
  window->findChild<QPlainTextEdit*>("Memo2")->setPlainText(paragraphs.join("\n\n"));
  return folder;
}

void TestMainWindow::restart() {
  delete m_form1;
  m_form1 = new TForm1;
  m_form2 = new orvana::TForm2(m_form1);
  m_form1->SetAboutWindow(m_form2);
  m_form1->show();
}

QStringList TestMainWindow::entries(const QList<QAction*>& actions) {
  QStringList list;
  for (QAction* a : actions) list << (a->isSeparator() ? QString("-") : a->text());
  return list;
}

void TestMainWindow::layoutMenusAndActions() {
  QCOMPARE(m_form1->objectName(), QString("Form1"));
  QCOMPARE(m_form1->windowTitle(), QString("Генератор мини-сайтов"));
  // The specified bounds, moved and shrunk onto the screen where they would
  // leave it (the offscreen screen has 800 x 600 pixels).
  const QRect frame = m_form1->frameGeometry(), inner = m_form1->geometry();
  const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                         frame.right() - inner.right(), frame.bottom() - inner.bottom());
  const QRect available = m_form1->screen()->availableGeometry();
  QVERIFY(available.contains(frame));
  QCOMPARE(inner.size(), QSize(870, 640).boundedTo(available.marginsRemoved(margins).size()));
  QCOMPARE(tree()->width(), 185);
  QCOMPARE(tree()->indentation(), 19);
  QVERIFY(m_form1->findChild<QMdiArea*>());

  struct Expected {
    const char* name;
    const char* caption;
    QList<QKeySequence> shortcuts;  // the first is the one menus show
    bool picture;
  };
  const Expected actions[] = {
      {"NewProject", "Создать проект", {QKeySequence("Ctrl+N")}, true},
      {"NewModernProject", "Создать проект (современный)", {QKeySequence("Ctrl+Shift+N")}, true},
      {"LoadProject", "Открыть проект", {QKeySequence("Ctrl+L"), QKeySequence("Ctrl+O")}, true},
      {"SaveProject", "Сохранить проект", {QKeySequence("Ctrl+S")}, true},
      {"SaveProjectAs",
       "Сохранить проект как...",
       {QKeySequence("Ctrl+Alt+S"), QKeySequence("Ctrl+Shift+S")},
       true},
      {"CloseProject", "Закрыть проект", {QKeySequence("Ctrl+T"), QKeySequence("Ctrl+W")}, true},
      {"About", "О программе", {}, true},
      {"Quit", "Выход", {QKeySequence("Ctrl+Q")}, false},
      {"DuplicateProject", "Дублировать проект", {QKeySequence("Ctrl+D")}, true},
      {"GenerateAll", "Сгенерировать все", {QKeySequence("Ctrl+Shift+G")}, true},
      {"OpenSite", "Открыть сайт в браузере", {QKeySequence("Ctrl+Shift+B")}, true},
      {"RestoreClosed", "Восстановить закрытый проект", {QKeySequence("Ctrl+Shift+T")}, false},
  };
  for (const Expected& e : actions) {
    auto* action = m_form1->findChild<QAction*>(e.name);
    QVERIFY2(action, e.name);
    QCOMPARE(action->text(), QString(e.caption));
    QCOMPARE(action->shortcuts(), e.shortcuts);
    QCOMPARE(!action->icon().isNull(), e.picture);
    if (e.picture) QCOMPARE(action->icon().pixmap(16, 16).size(), QSize(16, 16));
  }

  const QList<QAction*> menus = m_form1->menuBar()->actions();
  // Alt with the underlined letter opens each; the captions are as before.
  QCOMPARE(entries(menus), (QStringList{"&Проект", "&Информация"}));
  QCOMPARE(menus[0]->iconText(), QString("Проект"));
  const QStringList projectMenu = entries(menus[0]->menu()->actions());
  QCOMPARE(
      projectMenu,
      (QStringList{"Создать проект\tCtrl+N", "Создать проект (современный)\tCtrl+Shift+N",
                   "Дублировать проект\tCtrl+D", "-", "Открыть проект\tCtrl+L", "Недавние проекты",
                   "-", "Сохранить проект\tCtrl+S", "Сохранить проект как...\tCtrl+Alt+S", "-",
                   "Сгенерировать все\tCtrl+Shift+G", "Открыть сайт в браузере\tCtrl+Shift+B", "-",
                   "Закрыть проект\tCtrl+T", "Восстановить закрытый проект\tCtrl+Shift+T", "-",
                   "Выход\tCtrl+Q"}));
  QCOMPARE(entries(menus[1]->menu()->actions()), QStringList{"О программе"});
  // Pictures of their own on the project entries; none on the recent list,
  // About and Quit.
  for (QAction* item : menus[0]->menu()->actions())
    if (!item->isSeparator())
      QCOMPARE(item->icon().isNull(), item->text().startsWith("Выход") ||
                                          item->text() == "Недавние проекты" ||
                                          item->text().startsWith("Восстановить"));
  QVERIFY(menus[1]->menu()->actions()[0]->icon().isNull());

  auto* toolBar = m_form1->findChild<QToolBar*>("ToolBar1");
  QVERIFY(toolBar);
  QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
  QCOMPARE(entries(toolBar->actions()),
           (QStringList{"Создать проект", "Создать проект (современный)", "-", "Открыть проект",
                        "-", "Сохранить проект", "Сохранить проект как...", "-", "Закрыть проект",
                        "-", "Сгенерировать все", "Открыть сайт в браузере", "-", "О программе"}));
  auto* popup = m_form1->findChild<QMenu*>("PopupMenu1");
  QVERIFY(popup);
  QCOMPARE(entries(popup->actions()),
           (QStringList{"Создать проект", "Дублировать проект", "-", "Сохранить проект", "Просмотр",
                        "-", "Закрыть проект"}));

  // A menu entry runs its action.
  menus[0]->menu()->actions()[0]->trigger();
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
}

void TestMainWindow::newProjectsAreNumberedAndNeverReused() {
  trigger("NewProject");
  trigger("NewProject");
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", "Untitled1"}));
  QCOMPARE(nodeWindow(0)->windowTitle(), QString("Untitled0"));
  QCOMPARE(nodeWindow(1)->ProjectName(), QString("Untitled1"));
  QCOMPARE(active(), nodeWindow(1));
  QVERIFY(tree()->selectedItems().isEmpty());

  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("CloseProject");
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});

  // Opening a file takes no number.
  const QString file = tempPath("opened.orvana");
  nodeWindow(0)->SaveToFile(file);
  FileDialog::setNextFileName(file);
  trigger("LoadProject");
  trigger("NewProject");
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", file, "Untitled2"}));
  QCOMPARE(MessageBox::history().size(), 1);
}

void TestMainWindow::commandsWithoutProjectsSayNoProjects() {
  for (const char* command : {"SaveProject", "SaveProjectAs", "CloseProject"}) {
    MessageBox::reset();
    MessageBox::setNextAnswer(MessageBox::Ok);
    trigger(command);
    QCOMPARE(boxTexts(), QStringList{"Нет открытых проектов"});
    QCOMPARE(MessageBox::lastTitle(), QString("Error"));
    QCOMPARE(MessageBox::lastIcon(), QMessageBox::Critical);
    QCOMPARE(MessageBox::history().last().buttons, MessageBox::OkOnly);
  }
  QCOMPARE(FileDialog::executeCount(), 0);
}

void TestMainWindow::saveOfANewProjectIsSaveAs() {
  trigger("NewProject");
  const QString path = tempPath("first.orvana");
  FileDialog::setNextFileName(path);
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 1);
  QVERIFY(readFile(path).startsWith("object TSiteGenerator\r\n"));
  QCOMPARE(nodeTexts(), QStringList{path});
  QCOMPARE(nodeWindow(0)->windowTitle(), QString("Untitled0"));
  QCOMPARE(MessageBox::history().size(), 0);

  // From now on Save writes that file without a dialog or a question.
  setTitle(nodeWindow(0), "Second title");
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 1);
  QVERIFY(readFile(path).contains("SiteTitle = 'Second title'"));
  QCOMPARE(MessageBox::history().size(), 0);

  // Close asks about the name, not about the file.
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("CloseProject");
  QCOMPARE(boxTexts(), QStringList{"Сохранить проект Untitled0?"});
  QCOMPARE(MessageBox::lastTitle(), QString("Warning"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Warning);
  QCOMPARE(MessageBox::history().last().buttons, MessageBox::OkCancel);
}

void TestMainWindow::saveWritesAnExistingFileNamedByTheNode() {
  // A file named as a new project's node, in the current folder, is not the
  // project's: Save asks where to write, and leaves that file alone.
  writeFile(tempPath("Untitled0"), "old content");
  trigger("NewProject");
  FileDialog::setNextFileName(std::nullopt);
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 1);
  QCOMPARE(FileDialog::lastOffered(), tempPath("Untitled0.orvana"));
  QCOMPARE(MessageBox::history().size(), 0);
  QCOMPARE(readFile(tempPath("Untitled0")), QByteArray("old content"));
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});

  // A project that has a file of its own: Save writes it without a word.
  const QString own = tempPath("own.orvana");
  saveActiveAs(own);
  setTitle(active(), "changed");
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 2);
  QVERIFY(readFile(own).contains("SiteTitle = 'changed'"));
  QCOMPARE(MessageBox::history().size(), 0);
}

void TestMainWindow::saveAsOntoAnExistingFileAsks() {
  trigger("NewProject");
  const QString path = tempPath("taken.orvana");
  writeFile(path, "keep me");

  MessageBox::setNextAnswer(MessageBox::Cancel);
  saveActiveAs(path);
  QCOMPARE(boxTexts(), QStringList{"Перезаписать указанный файл?\n\n" + path});
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Warning);
  QCOMPARE(MessageBox::history().last().buttons, MessageBox::OkCancel);
  QCOMPARE(readFile(path), QByteArray("keep me"));
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});

  // The dialog cancelled: nothing happens at all.
  FileDialog::setNextFileName(std::nullopt);
  trigger("SaveProjectAs");
  QCOMPARE(MessageBox::history().size(), 1);
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});

  MessageBox::setNextAnswer(MessageBox::Ok);
  saveActiveAs(path);
  QVERIFY(readFile(path).startsWith("object TSiteGenerator"));
  QCOMPARE(nodeTexts(), QStringList{path});
  QCOMPARE(nodeWindow(0)->windowTitle(), QString("Untitled0"));
}

void TestMainWindow::closeWithEachAnswer_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<bool>("dialogChoosesFile");
  QTest::addColumn<bool>("written");
  // clang-format off
  QTest::newRow("Cancel: closed unsaved") << int(MessageBox::Cancel) << false << false;
  QTest::newRow("OK, dialog cancelled: closed unsaved") << int(MessageBox::Ok) << false << false;
  QTest::newRow("OK, file chosen: saved and closed") << int(MessageBox::Ok) << true << true;
  // clang-format on
}

void TestMainWindow::closeWithEachAnswer() {
  QFETCH(int, answer);
  QFETCH(bool, dialogChoosesFile);
  QFETCH(bool, written);
  trigger("NewProject");
  trigger("NewProject");
  QPointer<TSiteProject> second = nodeWindow(1);
  const QString path = tempPath("closed.orvana");
  MessageBox::setNextAnswer(static_cast<MessageBox::Button>(answer));
  if (answer == MessageBox::Ok)
    FileDialog::setNextFileName(dialogChoosesFile ? std::optional<QString>(path) : std::nullopt);
  trigger("CloseProject");

  QCOMPARE(boxTexts(), QStringList{"Сохранить проект Untitled1?"});
  QVERIFY(!second);
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
  QCOMPARE(m_form1->findChild<QMdiArea*>()->subWindowList().size(), 1);
  QCOMPARE(QFileInfo::exists(path), written);
  if (!written) QVERIFY(QDir(tempDir()).isEmpty());
}

void TestMainWindow::failedSaveKeepsTheProjectOpen() {
  trigger("NewProject");
  MessageBox::setNextAnswer(MessageBox::Ok);
  FileDialog::setNextFileName(tempPath("no/such/folder/p.orvana"));
  MessageBox::setNextAnswer(MessageBox::Ok);  // the error box
  trigger("CloseProject");

  QCOMPARE(MessageBox::history().size(), 2);
  QCOMPARE(MessageBox::lastTitle(), QString("Orvana - Generator"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Critical);
  QVERIFY2(MessageBox::lastText().startsWith("Cannot create file \"" +
                                             tempPath("no/such/folder/p.orvana")),
           qPrintable(MessageBox::lastText()));
  QVERIFY(MessageBox::lastText().endsWith('.'));
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
  QVERIFY(nodeWindow(0));
  QCOMPARE(active(), nodeWindow(0));
}

namespace {

// While it lives, files of this process cannot grow beyond a few bytes: a
// write past that fails with EFBIG, the way a full disk fails one.
class SmallFileLimit {
 public:
  SmallFileLimit() {
    m_set = ::getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
    if (!m_set) return;
    rlimit small = m_previous;
    small.rlim_cur = 16;
    m_previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    m_set = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
  }
  ~SmallFileLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_previous);
    std::signal(SIGXFSZ, m_previousSignal);
  }
  bool isSet() const { return m_set; }

 private:
  rlimit m_previous{};
  void (*m_previousSignal)(int) = SIG_DFL;
  bool m_set = false;
};

}  // namespace

void TestMainWindow::failedSaveIsShownWhole_data() {
  QTest::addColumn<bool>("writeFails");  // else the file cannot be created
  // clang-format off
  QTest::newRow("the write fails") << true;
  QTest::newRow("the folder is missing") << false;
  // clang-format on
}

void TestMainWindow::failedSaveIsShownWhole() {
  QFETCH(bool, writeFails);
  trigger("NewProject");
  const QString path = writeFails ? tempPath("big.orvana") : tempPath("missing/p.orvana");
  std::string thrown;
  int code = 0;
  {
    std::optional<SmallFileLimit> limit;
    if (writeFails) {
      limit.emplace();
      QVERIFY(limit->isSet());
    }
    // The message the save itself throws ...
    try {
      nodeWindow(0)->SaveToFile(path);
    } catch (const orvana::EOrvanaError& error) {
      thrown = error.what();
      code = error.ErrorCode();
    }
    // ... and the same save run as the user's command.
    FileDialog::setNextFileName(path);
    MessageBox::setNextAnswer(MessageBox::Ok);
    trigger("SaveProjectAs");
  }
  QVERIFY2(!thrown.empty(), "the save did not fail");
  QCOMPARE(QString::fromStdString(thrown).startsWith("Stream write error"), writeFails);

  QCOMPARE(MessageBox::history().size(), 1);
  QCOMPARE(MessageBox::lastTitle(), QString("Orvana - Generator"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Critical);
  const QString shown = MessageBox::lastText();
  // The message's own words, the system's reason in Russian.
  const QString frame = QString::fromStdString(thrown).section(". ", 0, 0) + ". ";
  QVERIFY2(shown.startsWith(frame), qPrintable(shown));
  QCOMPARE(shown.mid(frame.size()).section(" (error", 0, 0).remove(QChar('.')),
           orvana::RussianSystemError(code));
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
  QVERIFY(!QFileInfo::exists(path));
}

void TestMainWindow::quitAsksAboutEveryProjectLastFirst() {
  trigger("NewProject");
  trigger("NewProject");
  trigger("NewProject");
  // Whichever window is active, the last listed is asked about first.
  tree()->setCurrentItem(tree()->topLevelItem(0));
  QCOMPARE(active(), nodeWindow(0));
  QStringList activeWhenAsked;
  for (int i = 0; i < 3; ++i)
    MessageBox::setNextAnswer(MessageBox::Cancel,
                              [&] { activeWhenAsked << m_form1->ActiveProject()->windowTitle(); });
  trigger("Quit");
  QCOMPARE(boxTexts(), (QStringList{"Сохранить проект Untitled2?", "Сохранить проект Untitled1?",
                                    "Сохранить проект Untitled0?"}));
  QCOMPARE(activeWhenAsked, (QStringList{"Untitled2", "Untitled1", "Untitled0"}));
  QCOMPARE(tree()->topLevelItemCount(), 0);
  QVERIFY(!m_form1->isVisible());
}

void TestMainWindow::failedSaveStopsTheQuit() {
  trigger("NewProject");
  trigger("NewProject");
  MessageBox::setNextAnswer(MessageBox::Ok);
  FileDialog::setNextFileName(tempPath("missing/p.orvana"));
  MessageBox::setNextAnswer(MessageBox::Ok);  // the error box
  QVERIFY(!m_form1->close());
  QCOMPARE(MessageBox::history().size(), 2);
  QVERIFY(MessageBox::lastText().startsWith("Cannot create file"));
  QVERIFY(m_form1->isVisible());
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", "Untitled1"}));

  // Asked again, the user lets them go.
  MessageBox::setNextAnswer(MessageBox::Cancel);
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("Quit");
  QCOMPARE(tree()->topLevelItemCount(), 0);
  QVERIFY(!m_form1->isVisible());
}

void TestMainWindow::clickingANodeActivatesItsWindow() {
  const QString a = tempPath("a.orvana");
  const QString b = tempPath("b.orvana");
  trigger("NewProject");
  saveActiveAs(a);
  trigger("NewProject");
  saveActiveAs(b);
  QCOMPARE(nodeTexts(), (QStringList{a, b}));
  const QByteArray bBefore = readFile(b);

  tree()->setCurrentItem(tree()->topLevelItem(0));
  QCOMPARE(active(), nodeWindow(0));
  setTitle(nodeWindow(0), "A");
  setTitle(nodeWindow(1), "B");
  trigger("SaveProject");
  QVERIFY(readFile(a).contains("SiteTitle = 'A'"));
  QCOMPARE(readFile(b), bBefore);

  // A minimised window is activated by its node as well.
  nodeWindow(1)->showMinimized();
  tree()->setCurrentItem(tree()->topLevelItem(1));
  QCOMPARE(active(), nodeWindow(1));
}

void TestMainWindow::renamingANodeRenamesTheWindow() {
  trigger("NewProject");
  const QString path = tempPath("renamed.orvana");
  writeFile(path, "");
  QTreeWidgetItem* node = tree()->topLevelItem(0);

  // An edit cancelled with Escape renames nothing.
  tree()->editItem(node);
  auto* editor = tree()->viewport()->findChild<QLineEdit*>();
  QVERIFY(editor);
  editor->setText("ignored");
  QTest::keyClick(editor, Qt::Key_Escape);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QVERIFY(tree()->viewport()->findChildren<QLineEdit*>().isEmpty());
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
  QCOMPARE(nodeWindow(0)->windowTitle(), QString("Untitled0"));

  tree()->editItem(node);
  editor = tree()->viewport()->findChild<QLineEdit*>();
  QVERIFY(editor);
  editor->setText(path);
  QTest::keyClick(editor, Qt::Key_Return);
  // The delegate commits the edit from the event loop.
  QTRY_COMPARE(nodeTexts(), QStringList{path});
  QCOMPARE(nodeWindow(0)->windowTitle(), path);
  QCOMPARE(nodeWindow(0)->ProjectName(), path);

  // A project never saved goes through Save as, which proposes the path
  // its node names; that file exists, so it asks.
  FileDialog::setNextFileName(path);
  MessageBox::setNextAnswer(MessageBox::Ok);
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 1);
  QCOMPARE(FileDialog::lastOffered(), path);
  QCOMPARE(boxTexts(), QStringList{"Перезаписать указанный файл?\n\n" + path});
  QVERIFY(readFile(path).startsWith("object TSiteGenerator"));
  // From then on it is the project's file.
  MessageBox::reset();
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 1);
  QCOMPARE(MessageBox::history().size(), 0);
}

void TestMainWindow::destroyedWindowRemovesOnlyItsNode() {
  trigger("NewProject");
  trigger("NewProject");
  trigger("NewProject");
  TSiteProject* first = nodeWindow(0);
  TSiteProject* third = nodeWindow(2);
  delete nodeWindow(1);
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", "Untitled2"}));
  QCOMPARE(nodeWindow(0), first);
  QCOMPARE(nodeWindow(1), third);

  // Close takes the active one only, and its node only.
  tree()->setCurrentItem(tree()->topLevelItem(0));
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("CloseProject");
  QCOMPARE(nodeTexts(), QStringList{"Untitled2"});
  QCOMPARE(nodeWindow(0), third);
  // The frame activates the window that is left, so Save has a project.
  QCOMPARE(active(), third);
}

void TestMainWindow::nodeOfAGoneWindowRefersToNothing() {
  trigger("NewProject");
  trigger("NewProject");
  TSiteProject* first = nodeWindow(0);
  QPointer<TSiteProject> second = nodeWindow(1);
  // Without the removal notification the node outlives its window: it must
  // then refer to no window at all, not to the memory the window had.
  QVERIFY(second->disconnect(m_form1));
  delete second;
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", "Untitled1"}));
  QCOMPARE(nodeWindow(0), first);
  QCOMPARE(nodeWindow(1), static_cast<TSiteProject*>(nullptr));

  // The commands pass such a node by: choosing it activates nothing, a
  // notification about another object leaves it, and closing the active
  // project takes only that project's node.
  m_form1->TreeView1Change(tree()->topLevelItem(1));
  QCOMPARE(active(), first);
  m_form1->Notification(m_form2);
  QCOMPARE(tree()->topLevelItemCount(), 2);
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("CloseProject");
  QCOMPARE(nodeTexts(), QStringList{"Untitled1"});
  QCOMPARE(nodeWindow(0), static_cast<TSiteProject*>(nullptr));
}

void TestMainWindow::openingShowsTheFileEachTimeAnew() {
  trigger("NewProject");
  setTitle(nodeWindow(0), "Сад");
  const QString file = tempPath("garden.orvana");
  saveActiveAs(file);

  FileDialog::setNextFileName(file);
  trigger("LoadProject");
  FileDialog::setNextFileName(file);
  trigger("LoadProject");
  QCOMPARE(nodeTexts(), (QStringList{file, file, file}));
  QVERIFY(nodeWindow(1) != nodeWindow(2));
  for (int i = 1; i < 3; ++i) {
    QCOMPARE(nodeWindow(i)->windowTitle(), file);
    QCOMPARE(nodeWindow(i)->findChild<QLineEdit*>("Edit1")->text(), QString("Сад"));
  }
  QCOMPARE(active(), nodeWindow(2));
  QCOMPARE(MessageBox::history().size(), 0);
}

void TestMainWindow::failedOpenLeavesNoWindow() {
  trigger("NewProject");
  const QString bad = tempPath("not-a-project.txt");
  writeFile(bad, "hello\r\n");
  FileDialog::setNextFileName(bad);
  bool windowShownWhenReported = false;
  MessageBox::setNextAnswer(MessageBox::Ok, [&] {
    windowShownWhenReported = m_form1->findChild<QMdiArea*>()->subWindowList().size() == 2;
  });
  trigger("LoadProject");
  QCOMPARE(MessageBox::history().size(), 1);
  QCOMPARE(MessageBox::lastTitle(), QString("Orvana - Generator"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Critical);
  QVERIFY2(MessageBox::lastText().contains("line 1"), qPrintable(MessageBox::lastText()));
  QVERIFY(windowShownWhenReported);
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
  QCOMPARE(m_form1->findChild<QMdiArea*>()->subWindowList().size(), 1);

  FileDialog::setNextFileName(tempPath("absent.orvana"));
  MessageBox::setNextAnswer(MessageBox::Ok);
  trigger("LoadProject");
  QVERIFY(MessageBox::lastText().startsWith("Cannot open file \"" + tempPath("absent.orvana")));
  QCOMPARE(m_form1->findChild<QMdiArea*>()->subWindowList().size(), 1);
}

void TestMainWindow::failedOpenKeepsTheActiveProjectInFront() {
  for (int i = 0; i < 3; ++i) trigger("NewProject");
  tree()->setCurrentItem(tree()->topLevelItem(1));
  TSiteProject* before = nodeWindow(1);
  auto* area = m_form1->findChild<QMdiArea*>();
  const QString bad = tempPath("broken.orvana");
  writeFile(bad, "object TSiteGenerator\r\n  Nonsense\r\n");
  // A file that cannot be parsed, then one that cannot be opened at all.
  for (const QString& file : {bad, tempPath("absent.orvana")}) {
    FileDialog::setNextFileName(file);
    MessageBox::setNextAnswer(MessageBox::Ok);
    trigger("LoadProject");
    QCOMPARE(MessageBox::lastTitle(), QString("Orvana - Generator"));
    QCOMPARE(area->subWindowList().size(), 3);
    QCOMPARE(active(), before);
    QCOMPARE(area->subWindowList(QMdiArea::StackingOrder).last(), before);
    QCOMPARE(TForm1::NodeWindow(tree()->currentItem()), before);
  }
  QCOMPARE(MessageBox::history().size(), 2);
}

void TestMainWindow::closingLeavesTheTreeOnTheActiveWindow_data() {
  QTest::addColumn<int>("picked");  // the node clicked before the close; -1: none
  QTest::addColumn<int>("answer");
  // clang-format off
  QTest::newRow("last, Cancel") << 2 << int(MessageBox::Cancel);
  QTest::newRow("last, OK and saved") << 2 << int(MessageBox::Ok);
  QTest::newRow("middle, Cancel") << 1 << int(MessageBox::Cancel);
  QTest::newRow("first, Cancel") << 0 << int(MessageBox::Cancel);
  QTest::newRow("none clicked, Cancel") << -1 << int(MessageBox::Cancel);
  // clang-format on
}

void TestMainWindow::closingLeavesTheTreeOnTheActiveWindow() {
  QFETCH(int, picked);
  QFETCH(int, answer);
  const QStringList files{tempPath("a.orvana"), tempPath("b.orvana"), tempPath("c.orvana")};
  for (const QString& file : files) {
    trigger("NewProject");
    saveActiveAs(file);
  }
  if (picked >= 0) tree()->setCurrentItem(tree()->topLevelItem(picked));
  const QString closed = picked >= 0 ? files[picked] : files[2];

  // On OK the project is saved into its own file first: no dialog.
  MessageBox::setNextAnswer(static_cast<MessageBox::Button>(answer));
  trigger("CloseProject");
  QCOMPARE(tree()->topLevelItemCount(), 2);
  QVERIFY(!nodeTexts().contains(closed));
  QVERIFY(active());

  // The highlighted node is the active window's, and it is the only one.
  QTreeWidgetItem* current = tree()->currentItem();
  QVERIFY(current);
  QCOMPARE(TForm1::NodeWindow(current), active());
  QCOMPARE(tree()->selectedItems(), QList<QTreeWidgetItem*>{current});

  // Save writes the highlighted project and no other.
  QMap<QString, QByteArray> before;
  for (const QString& file : files) before[file] = readFile(file);
  for (int i = 0; i < tree()->topLevelItemCount(); ++i) setTitle(nodeWindow(i), "changed");
  trigger("SaveProject");
  for (const QString& file : files) {
    const bool written = file == current->text(0);
    QCOMPARE(readFile(file).contains("SiteTitle = 'changed'"), written);
    if (!written) QCOMPARE(readFile(file), before[file]);
  }

  // Closing again leaves the tree on the window that is then active.
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("CloseProject");
  QCOMPARE(tree()->topLevelItemCount(), 1);
  QCOMPARE(TForm1::NodeWindow(tree()->currentItem()), active());
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("CloseProject");
  QCOMPARE(tree()->topLevelItemCount(), 0);
  QVERIFY(!tree()->currentItem());
}

void TestMainWindow::headerNamesAreKeptApartFromWindowsAndControls() {
  const QString file = tempPath("named.orvana");
  auto openNamed = [&](const QByteArray& name) {
    writeFile(file, "object " + name + ": TSiteGenerator\r\n  MaxCharsPerPage = 10\r\nend\r\n");
    FileDialog::setNextFileName(file);
    trigger("LoadProject");
  };
  // The names of the application's windows are taken: a suffix follows.
  openNamed("Form1");
  openNamed("Form2");
  openNamed("Garden");
  QCOMPARE(tree()->topLevelItemCount(), 3);
  QCOMPARE(nodeWindow(0)->Generator().Name(), std::string("Form1_1"));
  QCOMPARE(nodeWindow(1)->Generator().Name(), std::string("Form2_1"));
  QCOMPARE(nodeWindow(2)->Generator().Name(), std::string("Garden"));
  QCOMPARE(nodeWindow(2)->Generator().MaxCharsPerPage(), 10);

  // The names of the project window's own controls are refused.
  MessageBox::setNextAnswer(MessageBox::Ok);
  openNamed("Memo4");
  QCOMPARE(MessageBox::lastText(), QString("A component named Memo4 already exists."));
  QCOMPARE(tree()->topLevelItemCount(), 3);
}

void TestMainWindow::closeBoxMinimisesAndTheProjectStaysListed() {
  trigger("NewProject");
  QPointer<TSiteProject> window = nodeWindow(0);
  QVERIFY(!window->close());
  QVERIFY(window);
  QVERIFY(window->isMinimized());
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
}

void TestMainWindow::realBoxesAndFileDialogs() {
  trigger("NewProject");
  const QString path = tempPath("real.orvana");

  // The save dialog, for real: the name typed and accepted.
  whenModal([path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(dialog);
    QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    // Typed into the name field, as the user does.
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(name);
    name->setText(path);
    static_cast<QDialog*>(dialog)->accept();
  });
  trigger("SaveProjectAs");
  QVERIFY(QFile::exists(path));
  QCOMPARE(nodeTexts(), QStringList{path});

  // The same dialog opens again with that name; cancelled, nothing happens.
  QString offered;
  whenModal([&offered](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY(dialog);
    offered = dialog->selectedFiles().value(0);
    dialog->reject();
  });
  trigger("SaveProjectAs");
  QCOMPARE(offered, path);
  QCOMPARE(MessageBox::history().size(), 0);

  // The close question, for real: a warning with "OK" and "Cancel".
  QStringList buttons;
  QString title;
  whenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY(box);
    title = box->windowTitle();
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QCOMPARE(box->text(), QString("Сохранить проект Untitled0?"));
    for (QAbstractButton* button : box->buttons()) buttons << button->text();
    box->button(QMessageBox::Cancel)->click();
  });
  trigger("CloseProject");
  QCOMPARE(title, QString("Warning"));
  buttons.sort();
  QCOMPARE(buttons, (QStringList{"Cancel", "OK"}));
  QCOMPARE(tree()->topLevelItemCount(), 0);
}

void TestMainWindow::shortcutsRunTheCommands() {
  QTest::keySequence(m_form1, QKeySequence("Ctrl+N"));
  QTest::keySequence(m_form1, QKeySequence("Ctrl+N"));
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", "Untitled1"}));
  const QString path = tempPath("keys.orvana");
  FileDialog::setNextFileName(path);
  QTest::keySequence(m_form1, QKeySequence("Ctrl+Alt+S"));
  QVERIFY(QFile::exists(path));
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", path}));
  MessageBox::setNextAnswer(MessageBox::Cancel);
  QTest::keySequence(m_form1, QKeySequence("Ctrl+T"));
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
}

void TestMainWindow::errorsOfCommandsAreShownAndTheProgramRunsOn() {
  using orvana::RunCommand;
  for (int i = 0; i < 4; ++i) MessageBox::setNextAnswer(MessageBox::Ok);
  QVERIFY(!RunCommand([] { throw orvana::EOrvanaError("Stream write error"); }));
  QCOMPARE(MessageBox::lastText(), QString("Stream write error."));
  QCOMPARE(MessageBox::lastTitle(), QString("Orvana - Generator"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Critical);
  QCOMPARE(MessageBox::history().last().buttons, MessageBox::OkOnly);

  // No second full stop; a message shown whole, whatever its letters.
  QVERIFY(!RunCommand([] { throw orvana::EOrvanaError("Done."); }));
  QCOMPARE(MessageBox::lastText(), QString("Done."));
  QVERIFY(!RunCommand([] { throw orvana::EOrvanaError("Ошибка в «中文»"); }));
  QCOMPARE(MessageBox::lastText(), QString("Ошибка в «中文»."));
  QVERIFY(!RunCommand([] { throw std::runtime_error("bad thing"); }));
  QCOMPARE(MessageBox::lastText(), QString("bad thing."));
  QVERIFY(RunCommand([] {}));
  QCOMPARE(MessageBox::history().size(), 4);

  // The windows' own messages keep every character and take the same stop.
  MessageBox::setNextAnswer(MessageBox::Ok);
  orvana::ShowCommandErrorText("Нет «café»");
  QCOMPARE(MessageBox::lastText(), QString("Нет «café»."));
  QCOMPARE(MessageBox::lastTitle(), QString("Orvana - Generator"));
  MessageBox::setNextAnswer(MessageBox::Ok);
  orvana::ShowCommandErrorText("Done.");
  QCOMPARE(MessageBox::lastText(), QString("Done."));
}

void TestMainWindow::shortcutsOfOtherProgramsRunTheSameCommands() {
  const QString file = tempPath("keys.orvana");
  writeProject(file, "Keys");
  FileDialog::setNextFileName(file);
  QTest::keySequence(m_form1, QKeySequence("Ctrl+O"));
  QCOMPARE(nodeTexts(), QStringList{file});

  const QString copy = tempPath("copy.orvana");
  FileDialog::setNextFileName(copy);
  QTest::keySequence(m_form1, QKeySequence("Ctrl+Shift+S"));
  QVERIFY(readFile(copy).contains("SiteTitle = 'Keys'"));
  QCOMPARE(nodeTexts(), QStringList{copy});

  MessageBox::setNextAnswer(MessageBox::Cancel);
  QTest::keySequence(m_form1, QKeySequence("Ctrl+W"));
  QCOMPARE(boxTexts(), QStringList{"Сохранить проект " + file + "?"});
  QCOMPARE(tree()->topLevelItemCount(), 0);
}

void TestMainWindow::changedProjectsAreMarkedUntilSaved() {
  trigger("NewProject");
  TSiteProject* window = nodeWindow(0);
  QTreeWidgetItem* node = tree()->topLevelItem(0);
  QVERIFY(!window->IsModified());
  QVERIFY(!nodeMarked(node));
  QVERIFY(!window->isWindowModified());

  // An edit marks the node by its look, never its text, and the caption.
  setTitle(window, "Сад");
  QVERIFY(window->IsModified());
  QVERIFY(nodeMarked(node));
  QCOMPARE(node->text(0), QString("Untitled0"));
  QVERIFY(window->isWindowModified());
  QCOMPARE(window->windowTitle(), QString("Untitled0[*]"));
  QCOMPARE(window->ProjectName(), QString("Untitled0"));

  // Saving clears the mark; the node's text still names the file to save.
  const QString file = tempPath("garden.orvana");
  saveActiveAs(file);
  QVERIFY(!nodeMarked(node));
  QCOMPARE(window->windowTitle(), QString("Untitled0"));
  QVERIFY(!window->isWindowModified());

  // A memo edit marks it again; the close question names the project as
  // before, without the mark.
  window->findChild<QPlainTextEdit*>("Memo1")->setPlainText("https://example.org/");
  QVERIFY(nodeMarked(node));
  MessageBox::setNextAnswer(MessageBox::Ok);
  trigger("CloseProject");
  QCOMPARE(boxTexts(), QStringList{"Сохранить проект Untitled0?"});
  QVERIFY(readFile(file).contains("https://example.org/"));

  // A project read from its file starts unmarked; a name holding the mark's
  // own placeholder keeps it as text.
  FileDialog::setNextFileName(file);
  trigger("LoadProject");
  QVERIFY(!active()->IsModified());
  QVERIFY(!nodeMarked(tree()->topLevelItem(0)));
  active()->SetProjectName("a[*]b");
  QCOMPARE(active()->windowTitle(), QString("a[*][*]b"));
  setTitle(active(), "changed");
  QCOMPARE(active()->windowTitle(), QString("a[*][*]b[*]"));
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("CloseProject");
  QCOMPARE(MessageBox::lastText(), QString("Сохранить проект a[*]b?"));
}

void TestMainWindow::recentProjectsAreKeptBetweenRuns() {
  QVERIFY(!m_form1->findChild<QMenu*>("RecentMenu")->isEnabled());
  QStringList files;
  for (int i = 0; i < 10; ++i) {
    files << tempPath(QString("p%1.orvana").arg(i));
    if (i < 9) writeProject(files.last(), QString("P%1").arg(i));
  }
  // Opened ones, newest first, each once, eight at most.
  for (int i = 0; i < 9; ++i) {
    FileDialog::setNextFileName(files[i]);
    trigger("LoadProject");
  }
  FileDialog::setNextFileName(files[3]);
  trigger("LoadProject");
  QCOMPARE(recentEntries(), (QStringList{files[3], files[8], files[7], files[6], files[5], files[4],
                                         files[2], files[1]}));
  QVERIFY(m_form1->findChild<QMenu*>("RecentMenu")->isEnabled());
  // Saved ones as well, under their full path.
  trigger("NewProject");
  saveActiveAs(files[9]);
  QCOMPARE(recentEntries().first(), files[9]);
  QCOMPARE(recentEntries().size(), 8);

  // The next run offers the same list, and an entry opens its file.
  for (int i = 0; i < 11; ++i) MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("Quit");
  restart();
  QCOMPARE(recentEntries(), (QStringList{files[9], files[3], files[8], files[7], files[6], files[5],
                                         files[4], files[2]}));
  QCOMPARE(m_form1->findChild<QAction*>("RecentProject1")->text(), "&2 " + files[3]);
  m_form1->findChild<QAction*>("RecentProject1")->trigger();
  QCOMPARE(nodeTexts(), QStringList{files[3]});
  QCOMPARE(nodeWindow(0)->findChild<QLineEdit*>("Edit1")->text(), QString("P3"));
  QCOMPARE(recentEntries().first(), files[3]);

  // Emptied on request, for this run and the next.
  triggerAction(m_form1, "ClearRecent");
  QVERIFY(recentEntries().isEmpty());
  QVERIFY(!m_form1->findChild<QMenu*>("RecentMenu")->isEnabled());
  QVERIFY(orvana::RecentProjects().isEmpty());
  QCOMPARE(MessageBox::history().size(), 11);
}

void TestMainWindow::aRecentProjectThatCannotBeOpenedLeavesTheList() {
  const QString kept = tempPath("kept.orvana");
  const QString gone = tempPath("gone.orvana");
  writeProject(kept, "Kept");
  writeProject(gone, "Gone");
  orvana::AddRecentProject(kept);
  orvana::AddRecentProject(gone);
  restart();
  QCOMPARE(recentEntries(), (QStringList{gone, kept}));
  QVERIFY(QFile::remove(gone));
  MessageBox::setNextAnswer(MessageBox::Ok);
  m_form1->findChild<QAction*>("RecentProject0")->trigger();
  QVERIFY(MessageBox::lastText().startsWith("Cannot open file \"" + gone));
  QCOMPARE(tree()->topLevelItemCount(), 0);
  QCOMPARE(recentEntries(), QStringList{kept});
}

void TestMainWindow::droppedFilesOpenAsOpenDoes() {
  const QString a = tempPath("a.orvana");
  const QString b = tempPath("b.orvana");
  writeProject(a, "A");
  writeProject(b, "B");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(tempDir()),
                QUrl("https://example.org/c.orvana"), QUrl::fromLocalFile(b)});
  QCOMPARE(TForm1::DroppedFiles(&data), (QStringList{a, b}));

  // Dragged over the frame's area and dropped, as the window system
  // delivers it.
  QWidget* target = m_form1->findChild<QMdiArea*>()->viewport();
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  MessageBox::setNextAnswer(MessageBox::Ok);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  QVERIFY(drop.isAccepted());
  QTRY_COMPARE(nodeTexts(), (QStringList{a, b}));
  QTRY_COMPARE(boxTexts(), QStringList{"Папку нельзя открыть как проект:\n" + tempDir()});
  QCOMPARE(nodeWindow(1)->findChild<QLineEdit*>("Edit1")->text(), QString("B"));
  QCOMPARE(recentEntries(), (QStringList{b, a}));

  // Nothing to open in a drag of text: the window does not take it.
  QMimeData text;
  text.setText("a.orvana");
  QDragEnterEvent refused(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &refused);
  QVERIFY(!refused.isAccepted());
}

void TestMainWindow::filesNamedOnTheCommandLineOpenAtStart() {
  const QString a = tempPath("a.orvana");
  const QString dashed = tempPath("-dashed.orvana");
  writeProject(a, "A");
  writeProject(dashed, "Dashed");
  delete m_form1;
  m_form1 = new TForm1;
  m_form2 = new orvana::TForm2(m_form1);
  // Relative names resolve against the current folder; options are passed
  // by; after "--" every argument is a file. A file that fails is shown and
  // the next is still opened.
  const QByteArray dashedName = QFile::encodeName(dashed);
  const char* argv[] = {"orvana",        "a.orvana", "--unknown",
                        "absent.orvana", "--",       dashedName.constData()};
  MessageBox::setNextAnswer(MessageBox::Ok);
  orvana::StartMainWindow(*m_form1, *m_form2, 6, argv);
  QVERIFY(m_form1->isVisible());
  QCOMPARE(nodeTexts(), (QStringList{a, dashed}));
  QCOMPARE(boxTexts().size(), 1);
  QVERIFY(boxTexts()[0].startsWith("Cannot open file \"" + tempPath("absent.orvana")));

  const char* none[] = {"orvana"};
  restart();
  orvana::StartMainWindow(*m_form1, *m_form2, 1, none);
  QCOMPARE(tree()->topLevelItemCount(), 0);
}

void TestMainWindow::openSiteOpensTheActiveProjectsFirstPage() {
  QAction* openSite = action("OpenSite");
  QVERIFY(!openSite->isEnabled());
  trigger("NewProject");
  const QString folder = prepareSite("site", 3);
  // A folder, but no site in it yet.
  QVERIFY(!openSite->isEnabled());
  MessageBox::setNextAnswer(MessageBox::Ok);
  active()->findChild<QPushButton*>("Button1")->click();
  QVERIFY(QFile::exists(folder + "/index.html"));
  QVERIFY(openSite->isEnabled());
  trigger("OpenSite");
  QCOMPARE(orvana::DesktopOpener::opened(),
           QList<QUrl>{QUrl::fromLocalFile(QDir(folder).absoluteFilePath("index.html"))});

  // Another project without a site: off; back to the first: on.
  TSiteProject* first = active();
  trigger("NewProject");
  QVERIFY(!openSite->isEnabled());
  tree()->setCurrentItem(tree()->topLevelItem(0));
  QCOMPARE(active(), first);
  QVERIFY(openSite->isEnabled());

  // A site removed behind the program's back is said to be missing.
  QVERIFY(QFile::remove(folder + "/index.html"));
  MessageBox::setNextAnswer(MessageBox::Ok);
  trigger("OpenSite");
  QCOMPARE(MessageBox::lastText(), "Сайт ещё не выгружен: нет файла " + folder + "/index.html");
  QCOMPARE(orvana::DesktopOpener::opened().size(), 1);
  QVERIFY(!openSite->isEnabled());
}

void TestMainWindow::generateAllWritesEveryProjectAndSumsUp() {
  QVERIFY(!action("GenerateAll")->isEnabled());
  trigger("NewProject");
  const QString first = prepareSite("first", 2);
  trigger("NewProject");  // no folder
  trigger("NewProject");
  const QString third = prepareSite("third", 4);
  saveActiveAs(tempPath("third.orvana"));
  tree()->setCurrentItem(tree()->topLevelItem(1));
  TSiteProject* activeBefore = active();

  // One box at the end, none per project.
  MessageBox::setNextAnswer(MessageBox::Ok);
  trigger("GenerateAll");
  QCOMPARE(MessageBox::history().size(), 1);
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Warning);
  // The pages declare no charset: one warning each, told in the windows.
  for (int i : {0, 2}) {
    QVERIFY(nodeWindow(i)->LastReport());
    QCOMPARE(nodeWindow(i)->LastReport()->warnings.size(), size_t{1});
  }
  QCOMPARE(MessageBox::lastText(),
           "Сгенерировано проектов: 2 из 3\n\n"
           "Untitled0 — страниц: 2, предупреждений: 1\n"
           "Untitled1 — ошибка: Указанный каталог не существует\n" +
               tempPath("third.orvana") + " — страниц: 4, предупреждений: 1");
  QVERIFY(QFile::exists(first + "/page1.html"));
  QVERIFY(QFile::exists(third + "/page3.html"));
  QVERIFY(QFile::exists(third + "/style.css"));
  QCOMPARE(active(), activeBefore);
  // Generated pages are part of the project: all three count as changed.
  for (int i = 0; i < 3; ++i) QVERIFY(nodeMarked(tree()->topLevelItem(i)));

  // All written: an information box.
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("CloseProject");
  MessageBox::setNextAnswer(MessageBox::Ok);
  trigger("GenerateAll");
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Information);
  QVERIFY(MessageBox::lastText().startsWith("Сгенерировано проектов: 2 из 2\n\n"));
}

void TestMainWindow::duplicateCopiesTheActiveProject() {
  QVERIFY(!action("DuplicateProject")->isEnabled());
  trigger("NewProject");
  trigger("NewProject");
  TSiteProject* source = active();
  setTitle(source, "Копия");
  source->findChild<QLineEdit*>("Edit2")->setText("100");  // not yet left
  const QString folder = prepareSite("dup", 2);
  source->findChild<QPlainTextEdit*>("Memo1")->setPlainText(
      "https://a.example/\nhttps://b.example/");
  source->findChild<QPlainTextEdit*>("Memo4")->setPlainText(
      "<html>SiteGeneratorChange.Text</html>");
  source->Generator().SetSiteHeader("header without a control");
  MessageBox::setNextAnswer(MessageBox::Ok);
  source->findChild<QPushButton*>("Button1")->click();

  trigger("DuplicateProject");
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", "Untitled1", "Untitled2"}));
  TSiteProject* copy = active();
  QCOMPARE(copy, nodeWindow(2));
  QVERIFY(copy != source);
  QCOMPARE(copy->ProjectName(), QString("Untitled2"));
  for (const char* edit : {"Edit1", "Edit2", "Edit3", "Edit4"})
    QCOMPARE(copy->findChild<QLineEdit*>(edit)->text(),
             source->findChild<QLineEdit*>(edit)->text());
  for (const char* memo : {"Memo1", "Memo2", "Memo4", "Memo5", "Memo6"})
    QCOMPARE(copy->findChild<QPlainTextEdit*>(memo)->toPlainText(),
             source->findChild<QPlainTextEdit*>(memo)->toPlainText());
  const orvana::TSiteGenerator& g = copy->Generator();
  QCOMPARE(orvana::FromEngine(g.SiteTitle()), QString("Копия"));
  QCOMPARE(g.MaxCharsPerPage(), 40);
  QCOMPARE(g.SiteUrlsToLink(), (orvana::TStringList{"https://a.example/", "https://b.example/"}));
  QCOMPARE(g.SiteTemplate(), std::string("<html>SiteGeneratorChange.Text</html>\r"));
  QCOMPARE(g.SiteHeader(), std::string("header without a control"));
  QCOMPARE(orvana::FromEngine(g.SavePath()), folder);
  // The pages stay with the source; the copy is new and unsaved.
  QCOMPARE(g.Pages().Count(), 0);
  QVERIFY(source->Generator().Pages().Count() > 0);
  QVERIFY(copy->IsModified());
  QCOMPARE(MessageBox::history().size(), 1);

  // Editing the copy leaves the source alone; numbering goes on.
  setTitle(copy, "Другой");
  QCOMPARE(source->findChild<QLineEdit*>("Edit1")->text(), QString("Копия"));
  trigger("NewProject");
  QCOMPARE(nodeTexts().last(), QString("Untitled3"));
}

void TestMainWindow::treeFollowsWindowsActivatedByTheFrame() {
  trigger("NewProject");
  trigger("NewProject");
  trigger("NewProject");
  tree()->setCurrentItem(tree()->topLevelItem(0));
  QCOMPARE(active(), nodeWindow(0));

  // The frame moves on by itself (Ctrl+Tab, a click on a window's frame):
  // the tree follows.
  auto* area = m_form1->findChild<QMdiArea*>();
  area->activateNextSubWindow();
  QVERIFY(active() != nodeWindow(0));
  QCOMPARE(TForm1::NodeWindow(tree()->currentItem()), active());
  QCOMPARE(tree()->selectedItems(), QList<QTreeWidgetItem*>{tree()->currentItem()});
  area->setActiveSubWindow(nodeWindow(1));
  QCOMPARE(tree()->currentItem(), tree()->topLevelItem(1));

  // So a click on the first node activates its window again instead of
  // starting to rename it.
  QTreeWidgetItem* node = tree()->topLevelItem(0);
  const QPoint at = tree()->visualItemRect(node).center();
  QTest::mouseClick(tree()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QCOMPARE(active(), nodeWindow(0));
  QTest::qWait(QApplication::doubleClickInterval() + 100);
  QVERIFY(!tree()->isPersistentEditorOpen(node));
  QVERIFY(tree()->viewport()->findChildren<QLineEdit*>().isEmpty());
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", "Untitled1", "Untitled2"}));
}

void TestMainWindow::geometryAndSplitterAreRemembered() {
  // Bounds that fit the offscreen screen of 800 x 600.
  m_form1->move(60, 50);
  m_form1->resize(700, 480);
  auto* splitter = m_form1->findChild<QSplitter*>("Splitter1");
  splitter->setSizes({260, 700 - 260 - splitter->handleWidth()});
  QCOMPARE(tree()->width(), 260);
  trigger("Quit");
  restart();
  QCOMPARE(m_form1->pos(), QPoint(60, 50));
  QCOMPARE(m_form1->size(), QSize(700, 480));
  QCOMPARE(tree()->width(), 260);

  // A main window that is not closed (the program killed) leaves the
  // remembered geometry as it was.
  m_form1->resize(600, 400);
  restart();
  QCOMPARE(m_form1->size(), QSize(700, 480));
}

void TestMainWindow::quitWaitsForASiteBeingWritten() {
  trigger("NewProject");
  const QString folder = prepareSite("big", TSiteProject::kProgressPages + 10);
  auto* bar = active()->findChild<QProgressBar*>("ProgressBar1");
  int closeRefused = 0;
  QPointer<TSiteProject> window = active();
  // The system asks the window to close while pages are written.
  connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
    if (value == 5 && !m_form1->close()) ++closeRefused;
  });
  MessageBox::setNextAnswer(MessageBox::Ok);
  window->findChild<QPushButton*>("Button1")->click();
  QCOMPARE(closeRefused, 1);
  QVERIFY(window);
  QVERIFY(m_form1->isVisible());
  QCOMPARE(QDir(folder).entryList(QDir::Files).size(), TSiteProject::kProgressPages + 11);
  QCOMPARE(MessageBox::history().size(), 1);
}

void TestMainWindow::modernProjectIsNumberedAsNewAndHoldsThePreset() {
  trigger("NewProject");
  // The menu entry and the tool bar button run the command; so does its key.
  QAction* item = m_form1->findChild<QAction*>("NewModernProjectItem");
  QVERIFY(item);
  item->trigger();
  QTest::keySequence(m_form1, QKeySequence("Ctrl+Shift+N"));
  QCOMPARE(nodeTexts(), (QStringList{"Untitled0", "Untitled1", "Untitled2"}));
  QCOMPARE(active(), nodeWindow(2));
  QCOMPARE(MessageBox::history().size(), 0);

  auto memo = [](TSiteProject* w, const char* name) {
    return orvana::MemoLinesOf(*w->findChild<QPlainTextEdit*>(name));
  };
  for (int i : {1, 2}) {
    TSiteProject* w = nodeWindow(i);
    QCOMPARE(w->windowTitle(), QString("Untitled%1").arg(i));
    QCOMPARE(w->findChild<QTabWidget*>("PageControl1")->currentWidget()->objectName(),
             QString("TabSheet5"));
    QVERIFY(!w->IsModified());
    QCOMPARE(memo(w, "Memo4"), orvana::ModernTemplateLines());
    QCOMPARE(memo(w, "Memo6"), orvana::ModernCssLines());
    QVERIFY(memo(w, "Memo5").empty());
    QVERIFY(memo(w, "Memo2").empty());
    QCOMPARE(w->findChild<QLineEdit*>("Edit2")->text(), QString("4000"));
    QCOMPARE(w->findChild<QSpinBox*>("ExtrasPagerWindow")->value(), 2);
    QCOMPARE(w->findChild<QSpinBox*>("ExtrasMenuWindow")->value(), 0);
    QVERIFY(w->findChild<QCheckBox*>("ExtrasSafeLinks")->isChecked());
    QCOMPARE(w->findChild<QComboBox*>("ExtrasOutputEncoding")->currentText(), QString("utf-8"));
    QVERIFY(!w->findChild<QCheckBox*>("ExtrasPruneStale")->isChecked());
  }
  // The plain project beside them keeps the classic content.
  QCOMPARE(memo(nodeWindow(0), "Memo4"), orvana::DefaultTemplateLines());
  QCOMPARE(nodeWindow(0)->findChild<QSpinBox*>("ExtrasPagerWindow")->value(), 0);

  // Saved, the preset is what the generator holds, and the next plain New
  // goes on with the numbering.
  saveActiveAs(tempPath("modern.orvana"));
  const orvana::TSiteGenerator& generator = nodeWindow(2)->Generator();
  QCOMPARE(generator.SiteTemplate(), orvana::MemoToStrings(orvana::ModernTemplateLines()));
  QCOMPARE(generator.CssCode(), orvana::MemoToStrings(orvana::ModernCssLines()));
  QVERIFY(generator.AdsenseCode().empty());
  orvana::TOrvanaExtras expected;
  expected.PagerWindow = 2;
  expected.SafeLinks = true;
  expected.OutputEncoding = orvana::TOutputEncoding::kUtf8;
  QVERIFY(generator.Extras() == expected);
  trigger("NewProject");
  QCOMPARE(nodeTexts().last(), QString("Untitled3"));

  // Opened again, the file gives the preset back: template and extras.
  FileDialog::setNextFileName(tempPath("modern.orvana"));
  trigger("LoadProject");
  TSiteProject* reopened = active();
  QCOMPARE(memo(reopened, "Memo4"), orvana::ModernTemplateLines());
  QCOMPARE(memo(reopened, "Memo6"), orvana::ModernCssLines());
  QVERIFY(reopened->Generator().Extras() == expected);
  QCOMPARE(reopened->findChild<QSpinBox*>("ExtrasPagerWindow")->value(), 2);
  QCOMPARE(MessageBox::history().size(), 0);
}

void TestMainWindow::dropsOnTextBoxesOpenFilesAndTakeOnlyText() {
  trigger("NewProject");
  TSiteProject* first = active();
  auto* memo = first->findChild<QPlainTextEdit*>("Memo2");
  auto* edit = first->findChild<QLineEdit*>("Edit1");
  const QString file = tempPath("dropped.orvana"), word = "слово";
  const QStringList box{"Папку нельзя открыть как проект:\n" + tempDir()};
  writeProject(file, "D");
  // A text file that is no project: its text where a text box takes it.
  const QString notes = tempPath("notes.txt"), noted = "Текст заметки";
  writeFile(notes, noted.toUtf8());
  const QStringList notProject{"Файл не является проектом Orvana:\n" + notes +
                               "\n\nТекст из файла можно вставить, перетащив его на поле ввода."};
  for (QWidget* target : {memo->viewport(), static_cast<QWidget*>(edit), tree()->viewport()}) {
    for (const QString& dropped : {file, tempDir(), word, notes}) {
      MessageBox::reset();
      const bool inTextBox = target != tree()->viewport();
      if (dropped == tempDir() || (dropped == notes && !inTextBox))
        MessageBox::setNextAnswer(MessageBox::Ok);
      const int nodes = tree()->topLevelItemCount();
      const QString before = memo->toPlainText() + edit->text();
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(dropped)});
      if (dropped == word) data.setText(word), data.setUrls({});
      const QPoint at = target->rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(target, &enter);
      QApplication::sendEvent(target, &drop);
      QTRY_COMPARE(tree()->topLevelItemCount(), nodes + (dropped == file ? 1 : 0));
      QTRY_COMPARE(boxTexts(), dropped == tempDir()             ? box
                               : dropped == notes && !inTextBox ? notProject
                                                                : QStringList());
      // Only plain text and the texts of text files go into the text box
      // they are dropped on.
      const qsizetype typed = !inTextBox         ? 0
                              : dropped == word  ? word.size()
                              : dropped == notes ? noted.size()
                                                 : 0;
      QCOMPARE((memo->toPlainText() + edit->text()).size(), before.size() + typed);
    }
  }
}

void TestMainWindow::keysReachMenusTreeAndEveryControl() {
  // Alt with a menu's letter as a Russian keyboard sends it, and F10.
  for (const auto& [key, text, name] :
       {std::tuple(0x41F, "п", "ProjectMenu"), std::tuple(0x418, "и", "InfoMenu"),
        std::tuple(int(Qt::Key_F10), "", "ProjectMenu")}) {
    QTest::sendKeyEvent(QTest::Click, m_form1, Qt::Key(key), text,
                        key == Qt::Key_F10 ? Qt::NoModifier : Qt::AltModifier);
    QTRY_VERIFY2(m_form1->findChild<QMenu*>(name)->isVisible(), name);
    m_form1->findChild<QMenu*>(name)->close();
  }
  // F6 and Shift+F6 go to the tree and back to where the project had the focus.
  trigger("NewProject");
  QWidget* edit = active()->findChild<QPushButton*>("Button1");
  edit->setFocus();
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6,
                    Qt::KeyboardModifiers(i / 2 * Qt::SHIFT));
    QTRY_COMPARE(QApplication::focusWidget(), i % 2 ? edit : tree());
  }
  auto* pages = active()->findChild<QTabWidget*>("PageControl1");
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    QSet<QWidget*> missed{tree()};
    for (QWidget* control : active()->findChildren<QWidget*>())
      if (control->isVisible() && control->isEnabled() && control->focusPolicy() & Qt::TabFocus &&
          !control->focusProxy())
        missed << control;
    tree()->setFocus();
    for (qsizetype i = 2 * missed.size() + 2; i > 0; --i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      missed.remove(QApplication::focusWidget());
    }
    QVERIFY2(missed.isEmpty(), qPrintable(pages->tabText(page)));
  }
}

void TestMainWindow::newWindowsFitTheFrame() {
  auto* area = m_form1->findChild<QMdiArea*>();
  writeProject(tempPath("fit.orvana"), "F");
  for (const QSize size : {QSize(800, 600), QSize(640, 480), QSize(1280, 1024)}) {
    m_form1->resize(size);
    for (int i = 0; i < 3; ++i) {
      i < 2 ? trigger("NewProject") : m_form1->OpenFiles({tempPath("fit.orvana")});
      QVERIFY(area->viewport()->rect().contains(active()->geometry()));
      QCOMPARE(active()->size(), QSize(695, 517).boundedTo(area->viewport()->size()));
    }
  }
  QRandomGenerator random(7);
  for (int i = 0; i < 5000; ++i) {
    const QRect wanted(random.bounded(-50, 900), random.bounded(-50, 900), random.bounded(1, 1200),
                       random.bounded(1, 1000));
    const QSize room(random.bounded(1, 1100), random.bounded(1, 900));
    const QRect fitted = orvana::FitInto(wanted, room);
    QCOMPARE(fitted.size(), wanted.size().boundedTo(room));
    QCOMPARE(fitted.topLeft(),
             QPoint(qMin(qMax(wanted.left(), 0), room.width() - fitted.width()),
                    qMin(qMax(wanted.top(), 0), room.height() - fitted.height())));
  }
}

void TestMainWindow::filesInRussianDialogsTheTreeAndTheRecentList() {
  QDir().mkpath(tempPath("here"));
  writeProject(tempPath("here/first.orvana"), "H");
  m_form1->OpenFiles({tempPath("here/first.orvana")});
  for (const char* command : {"LoadProject", "SaveProjectAs"}) {
    whenModal([this](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QCOMPARE(dialog->directory().absolutePath(), tempPath("here"));
      QCOMPARE(dialog->nameFilters(), (QStringList{"Проекты (*.orvana)", "Все файлы (*)"}));
      QStringList texts{dialog->windowTitle()};
      for (auto* button : dialog->findChildren<QPushButton*>())
        if (button->isVisible()) texts << button->text();
      QVERIFY2(texts.filter(QRegularExpression("^[^а-яА-Я]*$")).isEmpty(),
               qPrintable(texts.join('|')));
      dialog->reject();
    });
    trigger(command);
  }
  QCOMPARE(tree()->textElideMode(), Qt::ElideMiddle);
  const QString path = tempPath("R&D site.orvana");
  writeProject(path, "R");
  trigger("NewProject");
  m_form1->OpenFiles({path});
  QCOMPARE(tree()->selectedItems(), QList<QTreeWidgetItem*>{tree()->topLevelItem(2)});
  tree()->topLevelItem(1)->setText(0, tempPath("renamed.orvana"));
  QCOMPARE(tree()->topLevelItem(1)->toolTip(0), tempPath("renamed.orvana"));
  QTRY_COMPARE(action("RecentProject0")->iconText(), "1 " + path);
  // Any name, read as Qt's menus read an entry's label.
  QRandomGenerator random(11);
  for (int i = 0; i < 1000; ++i) {
    QString name;
    for (int n = random.bounded(1, 12); n > 0; --n) name += QString("a&&Д_/")[random.bounded(6)];
    const QAction entry(TForm1::RecentEntryText(i % 8, name));
    QCOMPARE(entry.iconText(), QString::number(i % 8 + 1) + ' ' + name);
  }
}

void TestMainWindow::saveAsProposesTheProjectsOwnNameAndCompletesIt() {
  // Every name with every filter: the projects' filter completes a name
  // without an extension, and only that.
  const QString projects = "Проекты (*.orvana)", all = "Все файлы (*)";
  for (const QString& name :
       QStringList{"/a/site", "/a/site.orvana", "/a.b/site", "/a/site.txt", "/a/.x"}) {
    const bool bare = !QFileInfo(name).fileName().contains('.');
    QCOMPARE(FileDialog::WithFilterExtension(name, projects), bare ? name + ".orvana" : name);
    QCOMPARE(FileDialog::WithFilterExtension(name, all), name);
    QCOMPARE(FileDialog::WithFilterExtension(name, "Pages (*.htm *.html)"), name);
  }
  openProject(tempPath("first.orvana"), "first");
  trigger("NewProject");
  FileDialog::setNextFileName(tempPath("typed"), projects);
  trigger("SaveProjectAs");
  QCOMPARE(FileDialog::lastOffered(), tempPath("Untitled0.orvana"));
  QVERIFY(QFile::exists(tempPath("typed.orvana")) && !QFile::exists(tempPath("typed")));
  QCOMPARE(nodeTexts().value(1), tempPath("typed.orvana"));
  // The opened project is offered its own file, not the name chosen last.
  m_form1->TreeView1Change(m_form1->findChild<QTreeWidget*>("TreeView1")->topLevelItem(0));
  FileDialog::setNextFileName(tempPath("as typed"), all);
  trigger("SaveProjectAs");
  QCOMPARE(FileDialog::lastOffered(), tempPath("first.orvana"));
  QVERIFY(QFile::exists(tempPath("as typed")));
}

void TestMainWindow::aFileChangedByAnotherProgramIsNotOverwrittenUnasked() {
  const QString path = tempPath("shared.orvana");
  openProject(path, "mine");
  const QByteArray theirs = readFile(path).replace("'mine'", "'they'");
  writeFile(path, theirs);
  const QString question = "Файл " + path + " изменён другой программой. Перезаписать?";
  MessageBox::setNextAnswer(MessageBox::Cancel);
  trigger("SaveProject");
  QCOMPARE(boxTexts(), QStringList{question});
  QCOMPARE(readFile(path), theirs);
  // The same bytes written anew (a new time) are no change.
  writeFile(path, readFile(path));
  touch(path, 60);
  MessageBox::reset();
  MessageBox::setNextAnswer(MessageBox::Ok);
  trigger("SaveProject");
  QCOMPARE(boxTexts(), QStringList{question});
  QVERIFY(readFile(path).contains("'mine'"));
  // Written by the window itself: Save asks nothing.
  MessageBox::reset();
  touch(path, 120);
  trigger("SaveProject");
  QCOMPARE(boxTexts(), QStringList{});
}

void TestMainWindow::theNoticeRereadsAChangedFileAndKeepsTheEdits() {
  const QString path = tempPath("notice.orvana");
  openProject(path, "old");
  auto* notice = m_form1->findChild<QWidget*>("ChangeNotice");
  m_form1->CheckActiveProjectFile();
  QVERIFY(notice->isHidden());
  title()->setText("typed");
  writeFile(path, readFile(path).replace("'old'", "'new'"));
  m_form1->CheckActiveProjectFile();
  QVERIFY(!notice->isHidden());
  QVERIFY(m_form1->findChild<QLabel*>("ChangeNoticeText")->text().contains(path));
  m_form1->findChild<QPushButton*>("RereadButton")->click();
  QVERIFY(notice->isHidden());
  QCOMPARE(title()->text(), QString("new"));
  QVERIFY(!active()->IsModified());
  // What was typed went where closed projects go.
  trigger("RestoreClosed");
  QCOMPARE(title()->text(), QString("typed"));
  QVERIFY(active()->IsModified());
}

void TestMainWindow::projectsClosedUnsavedComeBackWithTheirEdits() {
  const QString path = tempPath("closed.orvana");
  openProject(path, "saved");
  const QByteArray onDisk = readFile(path);
  trigger("NewProject");
  title()->setText("new project");
  for (int i = 0; i < 2; ++i) {
    MessageBox::setNextAnswer(MessageBox::Cancel);
    if (i == 1) title()->setText("edited");
    trigger("CloseProject");
  }
  QCOMPARE(entries(TRecoveryEntry::Closed).size(), 2);
  QCOMPARE(readFile(path), onDisk);
  // The last closed first, marked changed, saving to its own file.
  trigger("RestoreClosed");
  QCOMPARE(title()->text(), QString("edited"));
  QVERIFY(active()->IsModified());
  QCOMPARE(nodeTexts().value(0), path);
  trigger("SaveProject");
  QVERIFY(readFile(path).contains("'edited'"));
  QCOMPARE(FileDialog::executeCount(), 0);
  // The new project has no file: Save asks for one.
  QTest::keySequence(m_form1, QKeySequence("Ctrl+Shift+T"));
  QCOMPARE(title()->text(), QString("new project"));
  QCOMPARE(nodeTexts().value(1), QString("Untitled0"));
  FileDialog::setNextFileName(std::nullopt);
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 1);
  QVERIFY(entries(TRecoveryEntry::Closed).isEmpty());
  QVERIFY(!m_form1->findChild<QAction*>("RestoreClosed")->isEnabled());
}

void TestMainWindow::editedProjectsAreCopiedUntilSavedOrClosed() {
  const QString path = tempPath("edited.orvana");
  openProject(path, "a");
  m_form1->KeepEditedProjects();
  QVERIFY(entries(TRecoveryEntry::Session).isEmpty());
  title()->setText("b");
  m_form1->KeepEditedProjects();
  QCOMPARE(entries(TRecoveryEntry::Session).size(), 1);
  trigger("SaveProject");
  QVERIFY(entries(TRecoveryEntry::Session).isEmpty());
  title()->setText("c");
  QTRY_COMPARE_WITH_TIMEOUT(entries(TRecoveryEntry::Session).size(), 1,
                            2 * TForm1::kKeepIntervalMs);
  MessageBox::setNextAnswer(MessageBox::Ok);
  trigger("CloseProject");
  const QDir store(TRecoveryStore::DefaultFolder());
  QCOMPARE(store.entryList({"*.json", "*.orvana"}, QDir::Files), QStringList{});
}

void TestMainWindow::aCrashedRunsProjectsAreOfferedAtTheNextStart() {
  // A run that has ended: a process of its own that is gone.
  QProcess gone;
  gone.start("true");
  QVERIFY(gone.waitForFinished());
  for (const bool restore : {false, true}) {
    {
      TRecoveryStore crashed(TRecoveryStore::DefaultFolder(), gone.processId());
      TRecoveryEntry entry;
      entry.id = crashed.NewId();
      entry.name = "Untitled7";
      entry.pid = gone.processId();
      TSiteProject window;
      window.findChild<QLineEdit*>("Edit1")->setText("unsaved");
      crashed.Keep(entry, [&](const QString& file) { window.WriteRecoveryCopy(file); });
    }
    MessageBox::setNextAnswer(restore ? MessageBox::Ok : MessageBox::Cancel);
    m_form1->OfferCrashRecovery();
    QVERIFY(boxTexts().last().contains("Untitled7"));
    // Either way nothing is lost: restored, or kept as a closed project.
    QCOMPARE(entries(TRecoveryEntry::Closed).size(), 1);
    QCOMPARE(m_form1->findChild<QTreeWidget*>("TreeView1")->topLevelItemCount(), restore ? 1 : 0);
    if (restore) QCOMPARE(title()->text(), QString("unsaved"));
  }
  MessageBox::reset();
  m_form1->OfferCrashRecovery();
  QCOMPARE(boxTexts(), QStringList{});
}

void TestMainWindow::theStoreKeepsTheNewestClosedProjectsForTwoWeeks() {
  TRecoveryStore store(tempPath("store"));
  const QDateTime now = QDateTime::currentDateTimeUtc();
  // Ages in hours, the oldest beyond two weeks.
  for (int i = 0; i < 30; ++i) {
    TRecoveryEntry entry;
    entry.id = store.NewId();
    entry.kind = TRecoveryEntry::Closed;
    entry.kept = now.addSecs(-3600 * (i % 3 == 0 ? 24 * 15 + i : i));
    store.Keep(entry, [](const QString& file) { writeFile(file, "object X\r\nend\r\n"); });
  }
  store.Prune();
  const QList<TRecoveryEntry> kept = store.Entries(TRecoveryEntry::Closed);
  QCOMPARE(kept.size(), TRecoveryStore::kMaxClosed);
  for (qsizetype i = 0; i < kept.size(); ++i) {
    QVERIFY(kept[i].kept >= now.addDays(-TRecoveryStore::kKeepDays));
    if (i > 0) QVERIFY(kept[i - 1].kept >= kept[i].kept);
  }
  QCOMPARE(QDir(store.Folder()).entryList({"*.orvana"}).size(), TRecoveryStore::kMaxClosed);
  // The lock of a run that has ended goes; this run's stays.
  writeFile(store.Folder() + "/run-999999999.lock",
            "999999999\norvana\n" + QSysInfo::machineHostName().toUtf8() + "\n");
  store.Prune();
  QCOMPARE(QDir(store.Folder()).entryList({"run-*.lock"}),
           QStringList{QString("run-%1.lock").arg(QCoreApplication::applicationPid())});
}

void TestMainWindow::framesAreMovedAndShrunkOntoTheScreen() {
  QRandomGenerator random(30);
  for (int i = 0; i < 2000; ++i) {
    const QRect available(random.bounded(-500, 500), random.bounded(-500, 500),
                          random.bounded(1, 2000), random.bounded(1, 2000));
    const QRect wanted(random.bounded(-3000, 3000), random.bounded(-3000, 3000),
                       random.bounded(1, 3000), random.bounded(1, 3000));
    const QRect fitted = orvana::FitOnto(wanted, available);
    QVERIFY(available.contains(fitted));
    QCOMPARE(fitted.size(), wanted.size().boundedTo(available.size()));
    // Bounds that lie on the screen stay exactly as they are.
    if (available.contains(wanted)) QCOMPARE(fitted, wanted);
  }
}

void TestMainWindow::labelsKeepTheFilesNameWholeAndNumberCopies() {
  const QFontMetrics metrics(QApplication::font());
  QRandomGenerator random(7);
  const QString letters = "abcdefghijklmnopqrstuvwxyzабвгд ";
  auto word = [&](int length) {
    QString text;
    for (int i = 0; i < length; ++i) text += letters[random.bounded(int(letters.size()))];
    return text;
  };
  for (int i = 0; i < 1000; ++i) {
    QString path;
    for (int depth = random.bounded(4); depth > 0; --depth)
      path += "/" + word(random.bounded(1, 30));
    const QString name = word(random.bounded(1, 20)) + ".orvana";
    path += (path.isEmpty() ? "" : "/") + name;
    const int copy = random.bounded(3), width = random.bounded(20, 400);
    const QString number = copy ? QString(" (%1)").arg(copy + 1) : QString();
    const QString label = orvana::NodeLabel(path, copy, metrics, width);
    QVERIFY2(label.endsWith(name + number), qPrintable(label));
    if (metrics.horizontalAdvance(path + number) <= width) QCOMPARE(label, path + number);
    if (metrics.horizontalAdvance(name + number) < width)
      QVERIFY(metrics.horizontalAdvance(label) <= width);
  }
  // Two nodes of one file in the real tree: told apart.
  const QString file = tempPath("twice.orvana");
  orvana::TSiteProject().SaveToFile(file);
  m_form1->OpenFiles({file, file});
  QCOMPARE(m_form1->ShownNodeText(0, metrics, 1000), file);
  QCOMPARE(m_form1->ShownNodeText(1, metrics, 1000), file + " (2)");
  QCOMPARE(m_form1->ShownNodeText(1, metrics, 60), "twice.orvana (2)");
}

void TestMainWindow::theFocusIsShownOnEveryControl() {
  orvana::TFocusRing* ring = orvana::TFocusRing::Install();
  m_form1->NewProjectExecute();
  orvana::TSiteProject* project = m_form1->ActiveProject();
  // The report box too, as a generation shows it.
  project->findChild<QPlainTextEdit*>("ReportView")->show();
  auto* tabs = project->findChild<QTabWidget*>("PageControl1");
  QList<QWidget*> controls{m_form1->findChild<QTreeWidget*>("TreeView1")};
  for (int tab = 0; tab < tabs->count(); ++tab) {
    tabs->setCurrentIndex(tab);
    controls += orvana::TabStops(project);
  }
  QVERIFY(controls.size() > 20);
  for (QWidget* control : controls) {
    if (auto* owner = control->parentWidget(); owner && owner->inherits("QTabWidget")) continue;
    tabs->setCurrentWidget(tabs->widget(0));
    for (int tab = 0; tab < tabs->count(); ++tab)
      if (tabs->widget(tab)->isAncestorOf(control)) tabs->setCurrentIndex(tab);
    control->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(ring->Target(), orvana::TFocusRing::RingTarget(control));
    QCOMPARE(ring->Ring()->parentWidget(), ring->Target());
    QTRY_COMPARE(ring->Ring()->geometry(), ring->Target()->rect());
    QVERIFY(ring->Ring()->isVisible());
  }
  // A control that goes takes its ring along; the next one gets a new one.
  tabs->setCurrentIndex(0);
  auto* edit = project->findChild<QLineEdit*>("Edit1");
  edit->setFocus();
  QTRY_COMPARE(ring->Target(), edit);
  delete project;
  auto* tree = m_form1->findChild<QTreeWidget*>("TreeView1");
  tree->setFocus();
  QTRY_COMPARE(ring->Target(), tree);
  QCOMPARE(ring->Ring()->parentWidget(), tree);
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
