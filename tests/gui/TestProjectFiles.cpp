// The main window keeps what the user typed: Save as proposes and completes
// names, a file changed by another program is not overwritten unasked, and
// projects closed unsaved or left by a crash come back from the recovery
// store.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>
#include <QTreeWidget>

#include "gui/Dialogs.h"
#include "shell/MainFrame.h"
#include "shell/RecoveryStore.h"
#include "tests/gui/GuiTestBase.h"
#include "window/FProject.h"

using orvana::FileDialog;
using orvana::MessageBox;
using orvana::TForm1;
using orvana::TRecoveryEntry;
using orvana::TRecoveryStore;
using orvana::TSiteProject;

class TestProjectFiles : public GuiTestBase {
  Q_OBJECT

 protected slots:
  void init() override {
    GuiTestBase::init();
    m_form1 = new TForm1;
    m_form1->show();
  }
  void cleanup() override {
    delete m_form1;
    GuiTestBase::cleanup();
  }

 private slots:
  void saveAsProposesTheProjectsOwnNameAndCompletesIt();
  void aFileChangedByAnotherProgramIsNotOverwrittenUnasked();
  void theNoticeRereadsAChangedFileAndKeepsTheEdits();
  void projectsClosedUnsavedComeBackWithTheirEdits();
  void editedProjectsAreCopiedUntilSavedOrClosed();
  void aCrashedRunsProjectsAreOfferedAtTheNextStart();
  void theStoreKeepsTheNewestClosedProjectsForTwoWeeks();

 private:
  void trigger(const char* name) { triggerAction(m_form1, QString::fromLatin1(name)); }
  TSiteProject* active() const { return m_form1->ActiveProject(); }
  QLineEdit* title() const { return active()->findChild<QLineEdit*>("Edit1"); }
  QString nodeText(int i) const {
    return m_form1->findChild<QTreeWidget*>("TreeView1")->topLevelItem(i)->text(0);
  }
  static void touch(const QString& path, int seconds) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(seconds),
                             QFileDevice::FileModificationTime));
  }
  // A project file of that title, opened in the main window.
  void openProject(const QString& path, const QString& title);
  QList<TRecoveryEntry> entries(TRecoveryEntry::Kind kind) const {
    return TRecoveryStore(TRecoveryStore::DefaultFolder()).Entries(kind);
  }

  QPointer<TForm1> m_form1;
};

void TestProjectFiles::openProject(const QString& path, const QString& title) {
  TSiteProject window;
  window.findChild<QLineEdit*>("Edit1")->setText(title);
  window.SaveToFile(path);
  m_form1->OpenFiles({path});
}

void TestProjectFiles::saveAsProposesTheProjectsOwnNameAndCompletesIt() {
  // Every name with every filter: the projects' filter completes a name
  // without an extension, and only that.
  const QString projects = "Проекты (*.orvana)", all = "Все файлы (*)";
  for (const QString& name : {"/a/site", "/a/site.orvana", "/a.b/site", "/a/site.txt", "/a/.x"}) {
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
  QCOMPARE(nodeText(1), tempPath("typed.orvana"));
  // The opened project is offered its own file, not the name chosen last.
  m_form1->findChild<QTreeWidget*>("TreeView1")
      ->setCurrentItem(m_form1->findChild<QTreeWidget*>("TreeView1")->topLevelItem(0));
  FileDialog::setNextFileName(tempPath("as typed"), all);
  trigger("SaveProjectAs");
  QCOMPARE(FileDialog::lastOffered(), tempPath("first.orvana"));
  QVERIFY(QFile::exists(tempPath("as typed")));
}

void TestProjectFiles::aFileChangedByAnotherProgramIsNotOverwrittenUnasked() {
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

void TestProjectFiles::theNoticeRereadsAChangedFileAndKeepsTheEdits() {
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

void TestProjectFiles::projectsClosedUnsavedComeBackWithTheirEdits() {
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
  QCOMPARE(nodeText(0), path);
  trigger("SaveProject");
  QVERIFY(readFile(path).contains("'edited'"));
  QCOMPARE(FileDialog::executeCount(), 0);
  // The new project has no file: Save asks for one.
  QTest::keySequence(m_form1, QKeySequence("Ctrl+Shift+T"));
  QCOMPARE(title()->text(), QString("new project"));
  QCOMPARE(nodeText(1), QString("Untitled0"));
  FileDialog::setNextFileName(std::nullopt);
  trigger("SaveProject");
  QCOMPARE(FileDialog::executeCount(), 1);
  QVERIFY(entries(TRecoveryEntry::Closed).isEmpty());
  QVERIFY(!m_form1->findChild<QAction*>("RestoreClosed")->isEnabled());
}

void TestProjectFiles::editedProjectsAreCopiedUntilSavedOrClosed() {
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

void TestProjectFiles::aCrashedRunsProjectsAreOfferedAtTheNextStart() {
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

void TestProjectFiles::theStoreKeepsTheNewestClosedProjectsForTwoWeeks() {
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

QTEST_MAIN(TestProjectFiles)
#include "TestProjectFiles.moc"
