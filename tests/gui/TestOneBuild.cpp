// One build, whoever asks for it: random projects typed into project windows,
// with every combination of extras, written by the window's own button, by
// "Сгенерировать все" (with the last edits not yet taken in) and by the real
// orvana-cli from the saved project, give the same files byte for byte; the
// window's report gives the figures of the files; Generate all asks about
// stale pages once for all projects.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>

#include "folderdialog/PFolderDialog.h"
#include "gui/Dialogs.h"
#include "shell/MainFrame.h"
#include "tests/gui/GuiTestBase.h"
#include "window/FProject.h"

using orvana::MessageBox;
using orvana::TSiteProject;

class TestOneBuild : public GuiTestBase {
  Q_OBJECT

 private slots:
  void init() override;
  void cleanup() override;
  void everyRouteWritesTheSameSite();
  void generateAllAsksAboutStalePagesOnce();
  void aSiteNotWrittenIsSaidToBeSo();
  void aNameTheCodePageCannotSpellIsSavedAsGiven();

 private:
  TSiteProject* newProject();
  // Types a random project into the window, extras from the bits of combo.
  void typeProject(TSiteProject* w, QRandomGenerator& rng, unsigned combo, const QString& folder);
  static QMap<QString, QByteArray> folderFiles(const QString& folder);
  template <class T>
  static T* control(QObject* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
  }

  QPointer<orvana::TForm1> m_form1;
};

void TestOneBuild::init() {
  GuiTestBase::init();
  m_form1 = new orvana::TForm1;
  m_form1->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_form1));
}

void TestOneBuild::cleanup() {
  delete m_form1;
  GuiTestBase::cleanup();
}

TSiteProject* TestOneBuild::newProject() {
  triggerAction(m_form1, "NewProject");
  return m_form1->ActiveProject();
}

void TestOneBuild::typeProject(TSiteProject* w, QRandomGenerator& rng, unsigned combo,
                               const QString& folder) {
  static const char* const kWords[] = {"сосна",  "берёза", "Київщина", "світлина", "утром",
                                       "дорога", "слово,", "книгами",  "книга",    "мост."};
  QStringList paragraphs;
  for (int p = 0, n = 1 + rng.bounded(12); p < n; ++p) {
    QStringList words;
    for (int k = 0, m = 3 + rng.bounded(40); k < m; ++k)
      words << QString::fromUtf8(kWords[rng.bounded(int(std::size(kWords)))]);
    paragraphs << words.join(' ');
  }
  QStringList links;
  for (int a = 0, n = rng.bounded(20); a < n; ++a)
    links << (a > 0 && rng.bounded(5) == 0 ? links.value(rng.bounded(a))
                                           : QString("http://h%1.test/").arg(a));
  control<QPlainTextEdit>(w, "Memo2")->setPlainText(paragraphs.join("\n\n"));
  control<QPlainTextEdit>(w, "Memo1")->setPlainText(links.join('\n'));
  control<QLineEdit>(w, "Edit2")->setText(QString::number(60 + rng.bounded(200)));
  control<QLineEdit>(w, "Edit3")->setText(QString::number(300 + rng.bounded(300)));
  orvana::TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  control<QSpinBox>(w, "ExtrasPagerWindow")->setValue(combo & 1 ? 1 : 0);
  control<QSpinBox>(w, "ExtrasMenuWindow")->setValue(combo & 2 ? 2 : 0);
  control<QCheckBox>(w, "ExtrasSafeLinks")->setChecked(combo & 4);
  control<QLineEdit>(w, "ExtrasLinkRel")->setText(combo & 8 ? "nofollow" : "");
  control<QComboBox>(w, "ExtrasOutputEncoding")
      ->setCurrentText(combo & 16 ? "utf-8" : "windows-1251");
  control<QLineEdit>(w, "ExtrasSiteUrl")->setText(combo & 32 ? "https://e.test/s/" : "");
  control<QLineEdit>(w, "ExtrasPageWord")->setText(combo & 64 ? "Глава" : "Раздел");
  // The title last, never left: what the window shows, not what it took in.
  control<QLineEdit>(w, "Edit1")->setText(QString("Сайт %1").arg(combo));
}

QMap<QString, QByteArray> TestOneBuild::folderFiles(const QString& folder) {
  QMap<QString, QByteArray> files;
  for (const QString& name : QDir(folder).entryList(QDir::Files))
    files[name] = readFile(folder + '/' + name);
  return files;
}

void TestOneBuild::everyRouteWritesTheSameSite() {
  QRandomGenerator rng(20261208);
  for (unsigned round = 0; round < 16; ++round) {
    const unsigned combo = (round * 37u) % 128u;
    const quint64 seed = rng.generate64() >> 1;
    const QString own = tempPath(QString("own%1").arg(round));
    const QString all = tempPath(QString("all%1").arg(round));
    const QString cli = tempPath(QString("cli%1").arg(round));
    for (const QString& folder : {own, all, cli}) QVERIFY(QDir().mkpath(folder));
    QRandomGenerator copy = rng;
    TSiteProject* a = newProject();
    typeProject(a, rng, combo, own);
    TSiteProject* b = newProject();
    typeProject(b, copy, combo, all);
    a->Generator().SetRandomSeed(seed);
    b->Generator().SetRandomSeed(seed);

    // The window's own button, its boxes answered.
    for (int i = 0; i < 8; ++i) MessageBox::setNextAnswer(MessageBox::Ok);
    control<QPushButton>(a, "Button1")->click();
    const auto report = a->LastReport();
    QVERIFY(report);
    // Generate all: b's title was typed and never taken in by leaving it.
    for (TSiteProject* w : {a, b}) w->Generator().SetRandomSeed(seed);
    triggerAction(m_form1, "GenerateAll");
    QCOMPARE(folderFiles(all), folderFiles(own));
    QVERIFY(b->LastReport());
    QCOMPARE(b->LastReport()->bytes, report->bytes);
    QCOMPARE(b->LastReport()->placed, report->placed);

    // The other program, from the saved project, with the same seed.
    const QString project = tempPath(QString("p%1.orvana").arg(round));
    a->SaveToFile(project);
    QProcess tool;
    tool.start(ORVANA_CLI_PATH, {"build", project, "--out", cli, "--seed", QString::number(seed)});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(folderFiles(cli), folderFiles(own));

    // The report's figures are those of the files.
    qint64 bytes = 0;
    for (const QByteArray& file : folderFiles(own)) bytes += file.size();
    QCOMPARE(qint64(report->bytes), bytes);
    // Closed without saving.
    MessageBox::reset();
    for (int i = 0; i < 2; ++i) {
      MessageBox::setNextAnswer(MessageBox::Cancel);
      triggerAction(m_form1, "CloseProject");
    }
  }
}

void TestOneBuild::generateAllAsksAboutStalePagesOnce() {
  QList<TSiteProject*> windows;
  QStringList folders;
  QRandomGenerator rng(5);
  for (int i = 0; i < 2; ++i) {
    folders << tempPath(QString("site%1").arg(i));
    QVERIFY(QDir().mkpath(folders.back()));
    writeFile(folders.back() + "/page90.html", "old");
    windows << newProject();
    typeProject(windows.back(), rng, 0, folders.back());
    control<QCheckBox>(windows.back(), "ExtrasPruneStale")->setChecked(true);
  }
  // The question once, then the summary.
  MessageBox::setNextAnswer(MessageBox::Ok);
  MessageBox::setNextAnswer(MessageBox::Ok);
  triggerAction(m_form1, "GenerateAll");
  const QStringList boxes = boxTexts();
  QCOMPARE(boxes.size(), 2);
  QVERIFY2(boxes[0].contains("page90.html") && boxes[0].count("page90.html") == 2,
           qPrintable(boxes[0]));
  for (int i = 0; i < 2; ++i) {
    QVERIFY(!QFile::exists(folders[i] + "/page90.html"));
    QCOMPARE(windows[i]->LastReport()->pruned, std::vector<std::string>{"page90.html"});
  }
}

void TestOneBuild::aSiteNotWrittenIsSaidToBeSo() {
  QRandomGenerator rng(9);
  TSiteProject* w = newProject();
  const QString folder = tempPath("gone");
  QVERIFY(QDir().mkpath(folder));
  typeProject(w, rng, 16, folder);
  QVERIFY(QDir(folder).removeRecursively());
  MessageBox::setNextAnswer(MessageBox::Ok);  // "Генерация завершена"
  MessageBox::setNextAnswer(MessageBox::Ok);  // the folder's box
  control<QPushButton>(w, "Button1")->click();
  QCOMPARE(boxTexts().value(1), QString("Указанный каталог не существует"));
  QVERIFY(!w->LastReport());
  QCOMPARE(control<QPlainTextEdit>(w, "ReportView")->toPlainText(),
           QString("Сайт не записан: Указанный каталог не существует"));
}

// Project files are named as the platform names them: the project is saved
// under the name as given.
void TestOneBuild::aNameTheCodePageCannotSpellIsSavedAsGiven() {
  newProject();
  const QString name = tempPath("проект-中文.orvana");
  orvana::FileDialog::setNextFileName(name);
  triggerAction(m_form1, "SaveProjectAs");
  QVERIFY(boxTexts().isEmpty());
  QFile saved(name);
  QVERIFY(saved.open(QIODevice::ReadOnly));
  QVERIFY(saved.readAll().startsWith("object TSiteGenerator"));
}

QTEST_MAIN(TestOneBuild)
#include "TestOneBuild.moc"
