// The generation tab's report says what happened: a write that failed
// midway, a write stopped, pages an earlier site left, a browser that could
// not be started, numbers with their words, and disk errors in Russian.
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include "folderdialog/PFolderDialog.h"
#include "gui/Dialogs.h"
#include "gui/SystemErrors.h"
#include "tests/gui/GuiTestBase.h"
#include "window/FProject.h"
#include "window/ReportText.h"

using orvana::MessageBox;
using orvana::TSiteProject;

class TestReports : public ProjectWindowTestBase {
  Q_OBJECT

 private slots:
  void numbersTakeTheirWords();
  void diskErrorsAreRussian();
  void aWriteThatFailsMidwaySaysWhatItReplaced();
  void aStoppedWriteCountsAndSizesTheSameFiles();
  void pagesOfAnEarlierSiteAreNamedWithTheirSetting();
  void aBrowserThatCannotStartIsReported();

 private:
  // A site of `pages` one-paragraph pages into folder (made).
  QString prepare(TSiteProject* w, int pages, const QString& folderName = "site");
  QString report(TSiteProject* w) {
    return control<QPlainTextEdit>(w, "ReportView")->toPlainText();
  }
};

QString TestReports::prepare(TSiteProject* w, int pages, const QString& folderName) {
  const QString folder = tempPath(folderName);
  QDir().mkpath(folder);
  orvana::TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  control<QLineEdit>(w, "Edit2")->setText("10");
  control<QLineEdit>(w, "Edit3")->setText("40");
  w->Edit1Exit();
  QStringList text;
  for (int i = 0; i < pages; ++i) text << QString("Paragraph %1 of the site.").arg(i);
  control<QPlainTextEdit>(w, "Memo2")->setPlainText(text.join("\n\n"));
  return folder;
}

void TestReports::numbersTakeTheirWords() {
  const QMap<uint64_t, QString> words{
      {0, "байтов"},  {1, "байт"},    {2, "байта"}, {4, "байта"},  {5, "байтов"},   {11, "байтов"},
      {12, "байтов"}, {14, "байтов"}, {21, "байт"}, {22, "байта"}, {111, "байтов"}, {1001, "байт"}};
  for (auto it = words.begin(); it != words.end(); ++it) {
    QCOMPARE(orvana::BytesWord(it.key()), it.value());
    if (it.key() < 1024)
      QCOMPARE(orvana::ReadableSize(it.key()), QString("%1 %2").arg(it.key()).arg(it.value()));
  }
}

void TestReports::diskErrorsAreRussian() {
  const QRegularExpression latin("[A-Za-z]");
  for (int code : {EPERM, ENOENT, EIO, EACCES, EEXIST, ENOTDIR, EISDIR, EINVAL, EMFILE, ENOSPC,
                   EROFS, ENAMETOOLONG, ELOOP, EDQUOT, EFBIG, 9999}) {
    const QString reason = orvana::RussianSystemError(code);
    QVERIFY2(!reason.contains(latin) && !reason.isEmpty(), qPrintable(reason));
    const QString site = QString("Cannot create file \"/s/page1.html\". %1 (error %2)")
                             .arg(QString::fromLocal8Bit(std::strerror(code)))
                             .arg(code);
    QCOMPARE(orvana::RussianFileError(site, 0),
             std::optional<QString>("Не удалось создать файл «/s/page1.html»: " + reason));
    // A project file keeps its specified words; only the reason changes.
    QCOMPARE(orvana::RussianFileError("Cannot open file \"/p.orvana\". whatever", code),
             std::optional<QString>("Cannot open file \"/p.orvana\". " + reason));
  }
  QCOMPARE(orvana::RussianFileError("Нет открытых проектов", 0), std::nullopt);
}

void TestReports::aWriteThatFailsMidwaySaysWhatItReplaced() {
  TSiteProject* w = newWindow();
  const QString folder = prepare(w, 6);
  // The fourth file cannot replace what stands in its place.
  QDir().mkpath(folder + "/page3.html/inside");
  MessageBox::setNextAnswer(MessageBox::Ok);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  const QString text = report(w);
  QVERIFY2(text.startsWith("Сайт записан не полностью: заменено 3 из 7 файлов; Не удалось "),
           qPrintable(text));
  QVERIFY2(text.contains("«" + folder + "/page3.html»: "), qPrintable(text));
  // Russian but for the file's name.
  QVERIFY(!QString(text).remove(folder + "/page3.html").contains(QRegularExpression("[A-Za-z]")));
  QCOMPARE(QDir(folder).entryList({"*.html"}, QDir::Files).size(), 3);
  QVERIFY(control<QPushButton>(w, "OpenSiteButton")->isVisibleTo(w));
  // The application's box says the same.
  QCOMPARE(MessageBox::lastText().left(20), text.section("; ", 1).left(20));
}

void TestReports::aStoppedWriteCountsAndSizesTheSameFiles() {
  TSiteProject* w = newWindow();
  const int pages = TSiteProject::kProgressPages + 10;
  const QString folder = prepare(w, pages);
  // Stopped once the write has begun, as its Cancel button stops it.
  MessageBox::setNextAnswer(MessageBox::Ok,
                            [w] { QTimer::singleShot(0, w, [w] { w->CancelGeneration(); }); });
  control<QPushButton>(w, "Button1")->click();
  const QStringList files = QDir(folder).entryList(QDir::Files);
  qint64 bytes = 0;
  for (const QString& file : files) bytes += QFileInfo(folder + '/' + file).size();
  QVERIFY(!files.isEmpty() && files.size() < pages);
  QCOMPARE(report(w).split('\n').value(1), QString("Записано страниц: %1 из %2, их объём: %3")
                                               .arg(files.size())
                                               .arg(pages)
                                               .arg(orvana::ReadableSize(bytes)));
}

void TestReports::pagesOfAnEarlierSiteAreNamedWithTheirSetting() {
  TSiteProject* w = newWindow();
  const QString folder = prepare(w, 5);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QVERIFY(!report(w).contains("прежней, более длинной"));
  prepare(w, 2);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QVERIFY2(report(w).contains("• в папке остались страницы прежней, более длинной выгрузки (3): "
                              "page2.html, page3.html, page4.html;"),
           qPrintable(report(w)));
  QVERIFY(report(w).contains("«Удалять лишние страницы"));
  QCOMPARE(QDir(folder).entryList({"page*.html"}).size(), 4);
}

void TestReports::aBrowserThatCannotStartIsReported() {
  TSiteProject* w = newWindow();
  prepare(w, 2);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  orvana::DesktopOpener::setIntercepted(true, false);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "OpenSiteButton")->click();
  orvana::DesktopOpener::setIntercepted(true, true);
  QCOMPARE(MessageBox::lastText(), "Не удалось открыть " + w->SiteIndexFile() + " в браузере.");
  QCOMPARE(orvana::DesktopOpener::opened().size(), 1);
}

QTEST_MAIN(TestReports)
#include "TestReports.moc"
