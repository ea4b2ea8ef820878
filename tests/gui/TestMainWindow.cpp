// The main window: its commands, the project tree, the closing procedure and
// the application's error box.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <sys/resource.h>

#include <csignal>
#include <optional>
#include <stdexcept>
#include <string>

#include "Dialogs.h"
#include "Error.h"
#include "ErrorHandler.h"
#include "FProject.h"
#include "GuiTestBase.h"
#include "MainFrame.h"
#include "TextBridge.h"
#include "about.h"

using orvana::FileDialog;
using orvana::MessageBox;
using orvana::TForm1;
using orvana::TSiteProject;

class TestMainWindow : public GuiTestBase {
  Q_OBJECT

 protected slots:
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
  void errorsOfCommandsAreShownAndTheProgramRunsOn();

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

QStringList TestMainWindow::entries(const QList<QAction*>& actions) {
  QStringList list;
  for (QAction* a : actions) list << (a->isSeparator() ? QString("-") : a->text());
  return list;
}

void TestMainWindow::layoutMenusAndActions() {
  QCOMPARE(m_form1->objectName(), QString("Form1"));
  QCOMPARE(m_form1->windowTitle(), QString("Генератор мини-сайтов"));
  QCOMPARE(m_form1->pos(), QPoint(217, 210));
  QCOMPARE(m_form1->size(), QSize(870, 640));
  QCOMPARE(tree()->width(), 185);
  QCOMPARE(tree()->indentation(), 19);
  QVERIFY(m_form1->findChild<QMdiArea*>());

  struct Expected {
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    bool picture;
  };
  const Expected actions[] = {
      {"NewProject", "Создать проект", QKeySequence("Ctrl+N"), true},
      {"LoadProject", "Открыть проект", QKeySequence("Ctrl+L"), true},
      {"SaveProject", "Сохранить проект", QKeySequence("Ctrl+S"), true},
      {"SaveProjectAs", "Сохранить проект как...", QKeySequence("Ctrl+Alt+S"), true},
      {"CloseProject", "Закрыть проект", QKeySequence("Ctrl+T"), true},
      {"About", "О программе", QKeySequence(), true},
      {"Quit", "Выход", QKeySequence("Ctrl+Q"), false},
  };
  for (const Expected& e : actions) {
    auto* action = m_form1->findChild<QAction*>(e.name);
    QVERIFY2(action, e.name);
    QCOMPARE(action->text(), QString(e.caption));
    QCOMPARE(action->shortcut(), e.shortcut);
    QCOMPARE(!action->icon().isNull(), e.picture);
    if (e.picture) QCOMPARE(action->icon().pixmap(16, 16).size(), QSize(16, 16));
  }

  const QList<QAction*> menus = m_form1->menuBar()->actions();
  QCOMPARE(entries(menus), (QStringList{"Проект", "Информация"}));
  const QStringList projectMenu = entries(menus[0]->menu()->actions());
  QCOMPARE(projectMenu,
           (QStringList{"Создать проект\tCtrl+N", "-", "Открыть проект\tCtrl+L", "-",
                        "Сохранить проект\tCtrl+S", "Сохранить проект как...\tCtrl+Alt+S", "-",
                        "Закрыть проект\tCtrl+T", "-", "Выход\tCtrl+Q"}));
  QCOMPARE(entries(menus[1]->menu()->actions()), QStringList{"О программе"});
  // Pictures of their own on the five project entries; none on About and Quit.
  for (QAction* item : menus[0]->menu()->actions())
    if (!item->isSeparator()) QCOMPARE(item->icon().isNull(), item->text().startsWith("Выход"));
  QVERIFY(menus[1]->menu()->actions()[0]->icon().isNull());

  auto* toolBar = m_form1->findChild<QToolBar*>("ToolBar1");
  QVERIFY(toolBar);
  QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
  QCOMPARE(entries(toolBar->actions()),
           (QStringList{"Создать проект", "-", "Открыть проект", "-", "Сохранить проект",
                        "Сохранить проект как...", "-", "Закрыть проект", "-", "О программе"}));
  auto* popup = m_form1->findChild<QMenu*>("PopupMenu1");
  QVERIFY(popup);
  QCOMPARE(entries(popup->actions()),
           (QStringList{"Создать проект", "-", "Сохранить проект", "-", "Закрыть проект"}));

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
  // The node text Untitled0 is a path relative to the current folder.
  writeFile(tempPath("Untitled0"), "old content");
  trigger("NewProject");
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 0);
  QCOMPARE(MessageBox::history().size(), 0);
  QVERIFY(readFile(tempPath("Untitled0")).startsWith("object TSiteGenerator"));
  QCOMPARE(nodeTexts(), QStringList{"Untitled0"});
}

void TestMainWindow::saveAsOntoAnExistingFileAsks() {
  trigger("NewProject");
  const QString path = tempPath("taken.orvana");
  writeFile(path, "keep me");

  MessageBox::setNextAnswer(MessageBox::Cancel);
  saveActiveAs(path);
  QCOMPARE(boxTexts(), QStringList{"Перезаписать указанный файл?"});
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
  QTest::newRow("Cancel: closed unsaved") << int(MessageBox::Cancel) << false << false;
  QTest::newRow("OK, dialog cancelled: closed unsaved") << int(MessageBox::Ok) << false << false;
  QTest::newRow("OK, file chosen: saved and closed") << int(MessageBox::Ok) << true << true;
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
  QVERIFY2(MessageBox::lastText().startsWith("Cannot create file \"" + tempPath("no/such/folder/p.orvana")),
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
  QTest::newRow("the write fails") << true;
  QTest::newRow("the folder is missing") << false;
}

void TestMainWindow::failedSaveIsShownWhole() {
  QFETCH(bool, writeFails);
  trigger("NewProject");
  const QString path = writeFails ? tempPath("big.orvana") : tempPath("missing/p.orvana");
  std::string thrown;
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
  QVERIFY2(shown.startsWith(orvana::FromEngine(thrown)), qPrintable(shown));
  QCOMPARE(shown, orvana::FromEngine(orvana::WithFullStop(thrown)));
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

  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 0);
  QVERIFY(readFile(path).startsWith("object TSiteGenerator"));
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
  QTest::newRow("last, Cancel") << 2 << int(MessageBox::Cancel);
  QTest::newRow("last, OK and saved") << 2 << int(MessageBox::Ok);
  QTest::newRow("middle, Cancel") << 1 << int(MessageBox::Cancel);
  QTest::newRow("first, Cancel") << 0 << int(MessageBox::Cancel);
  QTest::newRow("none clicked, Cancel") << -1 << int(MessageBox::Cancel);
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

  // No second full stop; a Windows-1251 message shown as Cyrillic.
  QVERIFY(!RunCommand([] { throw orvana::EOrvanaError("Done."); }));
  QCOMPARE(MessageBox::lastText(), QString("Done."));
  QVERIFY(!RunCommand([] { throw orvana::EOrvanaError(orvana::ToEngine("Ошибка")); }));
  QCOMPARE(MessageBox::lastText(), QString("Ошибка."));
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

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
