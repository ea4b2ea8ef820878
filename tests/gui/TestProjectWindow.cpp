// The project window: its content, the settings rule, the memos and the
// generator, the counter, generating, choosing the folder.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/Error.h"
#include "engine/UrlSafety.h"
#include "folderdialog/PFolderDialog.h"
#include "gui/Dialogs.h"
#include "gui/SystemErrors.h"
#include "gui/TextBridge.h"
#include "project/DefaultContent.h"
#include "project/MemoText.h"
#include "tests/gui/GuiTestBase.h"
#include "window/FProject.h"
#include "window/MemoLines.h"
#include "window/ReportText.h"

using orvana::MessageBox;
using orvana::TPFolderDialog;
using orvana::TSiteProject;
using orvana::TStringList;

class TestProjectWindow : public ProjectWindowTestBase {
  Q_OBJECT

 private slots:
  void newWindowShowsTheDefaultProject();
  void badNumberIsReportedAtEveryLeave();
  void leavingAnEditRunsTheSettingsOnce();
  void numberRule_data();
  void numberRule();
  void boundsAreNotCheckedAgainstEachOther();
  void templateLinesBecomeCrTerminatedString();
  void savingAndLoadingKeepsEveryMemoLine();
  void blanksAroundAddressesAreTrimmedAsTheListIsTaken();
  void loadedProjectIsShownAndFailedLoadRefreshesNothing();
  void counterSumsTheBytesOfTheLines();
  void counterStaysExactWhileEditing();
  void generatingReportsBeforeAnyFileIsWritten();
  void addressesThatRunScriptAreNamedAfterTheGenerationBox();
  void missingOutputFolderIsReportedAndNothingWritten();
  void choosingAFolderTakesItAtOnce();
  void folderOutsideWindows1251IsRefused_data();
  void folderOutsideWindows1251IsRefused();
  void closeBoxMinimises();
  void generationTabShowsTheReport_data();
  void generationTabShowsTheReport();
  void largeSitesShowTheirProgress_data();
  void largeSitesShowTheirProgress();
  void aLongGenerationCanBeCancelled();
  void editsGenerationAndSavingMoveTheModifiedMark();
  void numbersTakeTheirWords();
  void diskErrorsAreRussian();
  void aWriteThatFailsMidwaySaysWhatItReplaced();
  void aStoppedWriteCountsAndSizesTheSameFiles();
  void pagesOfAnEarlierSiteAreNamedWithTheirSetting();
  void aBrowserThatCannotStartIsReported();

 private:
  // Types text into an edit (replacing its text), as the user does.
  void typeInto(QLineEdit* edit, const QString& text);
  // Moves the focus from one widget to another, as a click would.
  void moveFocus(QWidget* to);
  static qint64 referenceCount(const QPlainTextEdit& memo);
  // Sets the window up for a site of the given paragraphs in a new folder
  // and returns the folder.
  QString prepareSite(TSiteProject* w, const QString& min, const QString& max,
                      const QStringList& paragraphs, const QStringList& addresses);
  // The same for `pages` one-paragraph pages of 10 to 40 characters.
  QString sitePages(TSiteProject* w, int pages) {
    QStringList text;
    for (int i = 0; i < pages; ++i) text << QString("Paragraph %1 of the site.").arg(i);
    return prepareSite(w, "10", "40", text, {});
  }
};

void TestProjectWindow::typeInto(QLineEdit* edit, const QString& text) {
  moveFocus(edit);
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  typeText(edit, text);
}

void TestProjectWindow::moveFocus(QWidget* to) {
  // The tab holding the widget must be shown for it to take the focus.
  for (QWidget* w = to; w; w = w->parentWidget()) {
    if (auto* pages = qobject_cast<QStackedWidget*>(w->parentWidget()))
      if (auto* tabs = qobject_cast<QTabWidget*>(pages->parentWidget())) tabs->setCurrentWidget(w);
  }
  to->setFocus(Qt::MouseFocusReason);
  QTRY_VERIFY(to->hasFocus());
}

qint64 TestProjectWindow::referenceCount(const QPlainTextEdit& memo) {
  qint64 sum = 0;
  for (const std::string& line : orvana::MemoLinesOf(memo)) sum += static_cast<qint64>(line.size());
  return sum;
}

void TestProjectWindow::newWindowShowsTheDefaultProject() {
  TSiteProject* w = newWindow();
  QCOMPARE(w->windowTitle(), QString("Проект"));
  QCOMPARE(w->size(), QSize(695, 517));

  // Every component the project file reader must not let a header name take.
  for (const std::string& name : orvana::ProjectWindowComponentNames())
    QVERIFY2(w->findChild<QObject*>(QString::fromStdString(name)), name.c_str());

  auto* tabs = control<QTabWidget>(w, "PageControl1");
  QStringList captions;
  for (int i = 0; i < tabs->count(); ++i) captions << tabs->tabText(i);
  QCOMPARE(captions,
           (QStringList{"Настройки", "Шаблон", "Линки", "Текст", "Генерация", "Дополнительно"}));
  QCOMPARE(tabs->currentWidget()->objectName(), QString("TabSheet5"));

  QCOMPARE(control<QLineEdit>(w, "Edit1")->text(), QString());
  QCOMPARE(control<QLineEdit>(w, "Edit2")->text(), QString("4000"));
  QCOMPARE(control<QLineEdit>(w, "Edit3")->text(), QString("5000"));
  QCOMPARE(control<QLineEdit>(w, "Edit4")->text(), QString());
  QVERIFY(control<QLineEdit>(w, "Edit4")->isReadOnly());
  QCOMPARE(control<QLabel>(w, "Panel10")->text(), QString("Знаков: "));
  QCOMPARE(control<QLabel>(w, "Panel1")->text().left(4), QString("   С"));
  QCOMPARE(control<QPushButton>(w, "Button1")->text(), QString("Сгенерировать и выгрузить"));
  QCOMPARE(control<QPushButton>(w, "Button2")->text(), QString("выбрать"));

  // The settings are in the generator before anything is touched; the memos
  // are not.
  QCOMPARE(w->Generator().MinCharsPerPage(), 4000);
  QCOMPARE(w->Generator().MaxCharsPerPage(), 5000);
  QVERIFY(w->Generator().SiteTitle().empty());
  QVERIFY(w->Generator().SavePath().empty());
  QVERIFY(w->Generator().SiteTemplate().empty());

  QCOMPARE(orvana::MemoLinesOf(*control<QPlainTextEdit>(w, "Memo4")),
           orvana::DefaultTemplateLines());
  QCOMPARE(orvana::MemoLinesOf(*control<QPlainTextEdit>(w, "Memo5")),
           orvana::DefaultAdsenseLines());
  QCOMPARE(orvana::MemoLinesOf(*control<QPlainTextEdit>(w, "Memo6")), orvana::DefaultCssLines());
  QVERIFY(orvana::MemoLinesOf(*control<QPlainTextEdit>(w, "Memo1")).empty());
  QVERIFY(orvana::MemoLinesOf(*control<QPlainTextEdit>(w, "Memo2")).empty());

  for (const char* name : {"Memo1", "Memo2", "Memo4", "Memo5", "Memo6"}) {
    auto* memo = control<QPlainTextEdit>(w, name);
    QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(memo->lineWrapMode() == QPlainTextEdit::NoWrap, QByteArray(name) != "Memo2");
  }
  QCOMPARE(MessageBox::history().size(), 0);
}

void TestProjectWindow::badNumberIsReportedAtEveryLeave() {
  TSiteProject* w = newWindow();
  auto* edit1 = control<QLineEdit>(w, "Edit1");
  auto* edit2 = control<QLineEdit>(w, "Edit2");
  auto* edit3 = control<QLineEdit>(w, "Edit3");

  typeInto(edit2, "abc");
  MessageBox::setNextAnswer(MessageBox::Ok);
  moveFocus(edit1);
  QCOMPARE(MessageBox::history().size(), 1);
  QCOMPARE(MessageBox::lastText(), QString("'abc' is not a valid integer value"));
  QCOMPARE(MessageBox::lastTitle(), QString("Error"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Critical);
  QCOMPARE(MessageBox::history().last().buttons, MessageBox::OkOnly);
  QCOMPARE(edit2->text(), QString("abc"));
  QCOMPARE(w->Generator().MinCharsPerPage(), 4000);

  // Leaving the title field converts both numbers again.
  typeText(edit1, "Сад");
  MessageBox::setNextAnswer(MessageBox::Ok);
  moveFocus(edit3);
  QCOMPARE(boxTexts(), (QStringList{"'abc' is not a valid integer value",
                                    "'abc' is not a valid integer value"}));
  // The rest of the settings went on regardless.
  QCOMPARE(orvana::FromEngine(w->Generator().SiteTitle()), QString("Сад"));

  // Leaving Edit3 for Edit2 reports it a third time; corrected, the number
  // is taken without a word.
  MessageBox::setNextAnswer(MessageBox::Ok);
  typeInto(edit2, "300");
  QCOMPARE(MessageBox::history().size(), 3);
  moveFocus(edit1);
  QCOMPARE(MessageBox::history().size(), 3);
  QCOMPARE(w->Generator().MinCharsPerPage(), 300);
}

void TestProjectWindow::leavingAnEditRunsTheSettingsOnce() {
  TSiteProject* w = newWindow();
  auto* edit2 = control<QLineEdit>(w, "Edit2");
  typeInto(edit2, "1x");
  // Return is no leaving; neither is the window losing the focus to a box.
  QTest::keyClick(edit2, Qt::Key_Return);
  QCOMPARE(MessageBox::history().size(), 0);
  MessageBox::setNextAnswer(MessageBox::Ok);
  moveFocus(control<QLineEdit>(w, "Edit3"));
  QCOMPARE(MessageBox::history().size(), 1);

  // A real box takes the focus away from the window while it is up; that
  // must not count as leaving the edit the focus went to.
  whenModal([](QWidget* box) {
    QCOMPARE(qobject_cast<QMessageBox*>(box)->text(), QString("'1x' is not a valid integer value"));
    QTest::keyClick(box, Qt::Key_Return);
  });
  control<QLineEdit>(w, "Edit1")->setFocus(Qt::MouseFocusReason);
  QTRY_COMPARE(MessageBox::history().size(), 2);
  QTest::qWait(100);
  QCOMPARE(MessageBox::history().size(), 2);
}

void TestProjectWindow::numberRule_data() {
  QTest::addColumn<QString>("edit");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("expected");  // -1: refused
  // clang-format off
  QTest::newRow("leading blank") << "Edit3" << " 12" << 12;
  QTest::newRow("trailing blank") << "Edit3" << "12 " << -1;
  QTest::newRow("dollar hex") << "Edit3" << "$10" << 16;
  QTest::newRow("0x hex") << "Edit3" << "0x1F" << 31;
  QTest::newRow("negative") << "Edit2" << "-7" << -7;
  QTest::newRow("beyond 32 bits") << "Edit2" << "2147483648" << -1;
  QTest::newRow("empty") << "Edit2" << "" << -1;
  // clang-format on
}

void TestProjectWindow::numberRule() {
  QFETCH(QString, edit);
  QFETCH(QString, text);
  QFETCH(int, expected);
  TSiteProject* w = newWindow();
  auto* field = control<QLineEdit>(w, edit.toLatin1().constData());
  typeInto(field, text);
  if (expected == -1) MessageBox::setNextAnswer(MessageBox::Ok);
  moveFocus(control<QLineEdit>(w, "Edit1"));

  const int32_t value =
      edit == "Edit2" ? w->Generator().MinCharsPerPage() : w->Generator().MaxCharsPerPage();
  if (expected == -1) {
    QCOMPARE(boxTexts(), QStringList{"'" + text + "' is not a valid integer value"});
    QCOMPARE(value, edit == "Edit2" ? 4000 : 5000);
    QCOMPARE(field->text(), text);
  } else {
    QCOMPARE(MessageBox::history().size(), 0);
    QCOMPARE(value, expected);
  }
}

void TestProjectWindow::boundsAreNotCheckedAgainstEachOther() {
  TSiteProject* w = newWindow();
  typeInto(control<QLineEdit>(w, "Edit2"), "5000");
  typeInto(control<QLineEdit>(w, "Edit3"), "100");
  moveFocus(control<QLineEdit>(w, "Edit1"));
  QCOMPARE(MessageBox::history().size(), 0);
  QCOMPARE(w->Generator().MinCharsPerPage(), 5000);
  QCOMPARE(w->Generator().MaxCharsPerPage(), 100);
}

void TestProjectWindow::templateLinesBecomeCrTerminatedString() {
  TSiteProject* w = newWindow();
  auto* memo4 = control<QPlainTextEdit>(w, "Memo4");
  memo4->setPlainText("a\n\nb");
  w->MemosToGenerator();
  QCOMPARE(w->Generator().SiteTemplate(), std::string("a\r\rb\r"));
  memo4->clear();
  w->GeneratorToForm();
  QCOMPARE(orvana::MemoLinesOf(*memo4), (TStringList{"a", "", "b"}));

  // A final empty line survives the trip as well.
  memo4->setPlainText("x\n\n");
  w->MemosToGenerator();
  QCOMPARE(w->Generator().SiteTemplate(), std::string("x\r\r"));
  w->GeneratorToForm();
  QCOMPARE(orvana::MemoLinesOf(*memo4), (TStringList{"x", ""}));

  // Lines come from the generator whole, the long ones included.
  const std::string longLine(6000, 'w');
  w->Generator().SetCssCode(longLine + "\r\xCF\xF0\xE8\xE2\xE5\xF2\r");
  w->GeneratorToForm();
  QCOMPARE(orvana::MemoLinesOf(*control<QPlainTextEdit>(w, "Memo6")),
           (TStringList{longLine, "\xCF\xF0\xE8\xE2\xE5\xF2"}));
  QCOMPARE(control<QPlainTextEdit>(w, "Memo6")->toPlainText().section('\n', 1, 1),
           QString("Привет"));
}

void TestProjectWindow::blanksAroundAddressesAreTrimmedAsTheListIsTaken() {
  TSiteProject* w = newWindow();
  auto* links = control<QPlainTextEdit>(w, "Memo1");
  links->setPlainText("  https://a.example.org\t\n\u00A0/b \nhttps://c.example.org\n \t");
  w->SaveToFile(tempPath("trimmed.orvana"));
  const TStringList trimmed = {"https://a.example.org", "/b", "https://c.example.org", ""};
  QCOMPARE(w->Generator().SiteUrlsToLink(), trimmed);
  QCOMPARE(orvana::MemoLinesOf(*links), trimmed);
  QVERIFY(!w->IsModified());
  // The links tab says how many it trimmed.
  auto* note = control<QLabel>(w, "LinksTrimmed");
  QCOMPARE(note->text(), QString("Убраны пробелы вокруг адресов: 2"));
  QVERIFY(note->isVisibleTo(w->findChild<QWidget*>("TabSheet3")));
}

void TestProjectWindow::savingAndLoadingKeepsEveryMemoLine() {
  TSiteProject* w = newWindow();
  const QString longParagraph = QString("Слово ").repeated(1200);  // 7200 bytes, one line
  control<QPlainTextEdit>(w, "Memo2")->setPlainText("Первый абзац.\n\n" + longParagraph + "\n");
  control<QPlainTextEdit>(w, "Memo1")->setPlainText("https://a.example.org\nhttps://b.example.org");
  control<QPlainTextEdit>(w, "Memo5")->setPlainText(QString("реклама\u00A0код\n\n"));
  control<QPlainTextEdit>(w, "Memo6")->appendPlainText("\n");
  typeInto(control<QLineEdit>(w, "Edit1"), "Заголовок 'сайта'");
  moveFocus(control<QLineEdit>(w, "Edit2"));

  auto memoLines = [this](TSiteProject* window) {
    QList<TStringList> all;
    for (const char* name : {"Memo1", "Memo2", "Memo4", "Memo5", "Memo6"})
      all << orvana::MemoLinesOf(*control<QPlainTextEdit>(window, name));
    return all;
  };
  const QList<TStringList> original = memoLines(w);
  QCOMPARE(original[1].size(), size_t{3});
  QCOMPARE(original[1][2].size(), size_t{7200});
  QCOMPARE(original[3].back(), std::string());

  const QString first = tempPath("first.orvana");
  w->SaveToFile(first);
  QString previous = first;
  for (int round = 0; round < 3; ++round) {
    TSiteProject* copy = newWindow();
    copy->LoadFromFile(previous);
    QCOMPARE(memoLines(copy), original);
    QCOMPARE(control<QLineEdit>(copy, "Edit1")->text(), QString("Заголовок 'сайта'"));
    const QString next = tempPath(QString("round%1.orvana").arg(round));
    copy->SaveToFile(next);
    QCOMPARE(readFile(next), readFile(first));
    previous = next;
  }
  QCOMPARE(MessageBox::history().size(), 0);
}

void TestProjectWindow::loadedProjectIsShownAndFailedLoadRefreshesNothing() {
  TSiteProject* source = newWindow();
  source->Generator().SetMinCharsPerPage(-20);
  source->Generator().SetMaxCharsPerPage(900);
  source->Generator().SetSiteTitle("Title");
  source->Generator().SetSavePath("/nowhere/site");
  source->GeneratorToForm();
  const QString file = tempPath("shown.orvana");
  source->SaveToFile(file);

  TSiteProject* w = newWindow();
  w->LoadFromFile(file);
  QCOMPARE(control<QLineEdit>(w, "Edit2")->text(), QString("-20"));
  QCOMPARE(control<QLineEdit>(w, "Edit3")->text(), QString("900"));
  QCOMPARE(control<QLineEdit>(w, "Edit1")->text(), QString("Title"));
  QCOMPARE(control<QLineEdit>(w, "Edit4")->text(), QString("/nowhere/site"));
  QCOMPARE(w->Generator().MinCharsPerPage(), -20);
  QCOMPARE(w->Generator().MaxCharsPerPage(), 900);

  const QString bad = tempPath("bad.orvana");
  writeFile(bad, "object TSiteGenerator\r\n  SiteTitle = 'Other'\r\n  Foo = 1\r\nend\r\n");
  typeInto(control<QLineEdit>(w, "Edit1"), "mine");
  QVERIFY_THROWS_EXCEPTION(orvana::EOrvanaError, w->LoadFromFile(bad));
  // What was read before the failure is in the generator, yet the window
  // still shows what it showed.
  QCOMPARE(w->Generator().SiteTitle(), std::string("Other"));
  QCOMPARE(control<QLineEdit>(w, "Edit1")->text(), QString("mine"));
  QCOMPARE(control<QLineEdit>(w, "Edit3")->text(), QString("900"));
  QCOMPARE(MessageBox::history().size(), 0);

  // A project file is named as the platform names it, whatever its letters;
  // no file with '?' in their place appears.
  const QString foreign = tempPath("проект-中.orvana");
  w->SaveToFile(foreign);
  QVERIFY(QFileInfo::exists(foreign));
  QVERIFY(!QFileInfo::exists(tempPath("проект-?.orvana")));
  typeInto(control<QLineEdit>(w, "Edit1"), "changed");
  w->LoadFromFile(foreign);
  QCOMPARE(control<QLineEdit>(w, "Edit1")->text(), QString("mine"));
}

void TestProjectWindow::counterSumsTheBytesOfTheLines() {
  TSiteProject* w = newWindow();
  auto* memo2 = control<QPlainTextEdit>(w, "Memo2");
  auto* panel10 = control<QLabel>(w, "Panel10");
  memo2->setPlainText("ab\n\ncde");
  QCOMPARE(panel10->text(), QString("Знаков: 5"));
  // One byte per character in the code page: Cyrillic letters, a character
  // the code page lacks ('?'), a character outside the basic plane (one '?').
  memo2->setPlainText(QString("привет\n中\U0001F600"));
  QCOMPARE(panel10->text(), QString("Знаков: 8"));
  memo2->clear();
  QCOMPARE(panel10->text(), QString("Знаков: 0"));

  // The generator's text shown by GeneratorToForm is counted as well.
  w->Generator().SetSiteText(TStringList{"abc", "", "\xE0\xE1"});
  w->GeneratorToForm();
  QCOMPARE(panel10->text(), QString("Знаков: 5"));
}

void TestProjectWindow::counterStaysExactWhileEditing() {
  TSiteProject* w = newWindow();
  auto* memo2 = control<QPlainTextEdit>(w, "Memo2");
  auto* panel10 = control<QLabel>(w, "Panel10");
  moveFocus(memo2);
  memo2->setPlainText("start\n");

  const QStringList pieces = {"a",      "слово ",     "\n",          "\n\n",   "x\ny\nz",
                              "\u2028", "\U0001F600", "中文",        "\u00A0", "tail\n",
                              "\r\n",   "€",          "q\U0001F601w"};
  QRandomGenerator random(20240607);
  QString failure;
  auto check = [&](const char* step, int i) {
    const QString expected = "Знаков: " + QString::number(referenceCount(*memo2));
    if (failure.isEmpty() && panel10->text() != expected)
      failure = QString("%1 #%2: %3, expected %4").arg(step).arg(i).arg(panel10->text(), expected);
  };

  for (int i = 0; i < 400; ++i) {
    QTextCursor cursor(memo2->document());
    const int length = memo2->document()->characterCount() - 1;
    const int at = length > 0 ? random.bounded(length + 1) : 0;
    cursor.setPosition(at);
    switch (random.bounded(6)) {
      case 0:
      case 1:  // paste a piece, line breaks included
        cursor.insertText(pieces[random.bounded(pieces.size())]);
        check("insert", i);
        break;
      case 2: {  // delete a range, often across line breaks
        const int end = qMin(length, at + random.bounded(12));
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        check("delete", i);
        break;
      }
      case 3:  // type at the caret, Shift+Return for a line separator
        memo2->setTextCursor(cursor);
        typeText(memo2, "ёж ");
        QTest::keyClick(memo2, Qt::Key_Return,
                        random.bounded(2) ? Qt::ShiftModifier : Qt::NoModifier);
        check("type", i);
        break;
      case 4:  // backspace over whatever is there, pairs and breaks included
        memo2->setTextCursor(cursor);
        QTest::keyClick(memo2, Qt::Key_Backspace);
        check("backspace", i);
        break;
      case 5:
        if (random.bounded(2))
          memo2->undo();
        else
          memo2->redo();
        check("undo/redo", i);
        break;
    }
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
  }
  memo2->selectAll();
  QTest::keyClick(memo2, Qt::Key_Delete);
  QCOMPARE(panel10->text(), QString("Знаков: 0"));
}

void TestProjectWindow::generatingReportsBeforeAnyFileIsWritten() {
  TSiteProject* w = newWindow();
  const QString folder = tempPath("site");
  QVERIFY(QDir().mkpath(folder));
  TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  control<QPlainTextEdit>(w, "Memo2")->setPlainText("Первая страница сайта.\n\nВторой абзац.");

  bool folderEmptyWhenShown = false;
  int pagesWhenShown = 0;
  MessageBox::setNextAnswer(MessageBox::Ok, [&] {
    folderEmptyWhenShown = QDir(folder).isEmpty();
    pagesWhenShown = w->Generator().Pages().Count();
  });
  QTest::mouseClick(control<QPushButton>(w, "Button1"), Qt::LeftButton);

  QCOMPARE(boxTexts(), QStringList{"Генерация завершена"});
  QCOMPARE(MessageBox::lastTitle(), QString("Information"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Information);
  QVERIFY(folderEmptyWhenShown);
  QVERIFY(pagesWhenShown >= 1);
  QVERIFY(QFile::exists(folder + "/index.html"));
  QCOMPARE(readFile(folder + "/style.css"),
           QByteArray::fromStdString(orvana::MemoToStrings(orvana::DefaultCssLines())));
  QVERIFY(readFile(folder + "/index.html")
              .contains(QByteArray::fromStdString(orvana::ToEngine("Первая страница сайта."))));
}

void TestProjectWindow::addressesThatRunScriptAreNamedAfterTheGenerationBox() {
  TSiteProject* w = newWindow();
  const QString folder = tempPath("site");
  QVERIFY(QDir().mkpath(folder));
  TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  control<QPlainTextEdit>(w, "Memo2")->setPlainText("Первая страница сайта.");
  control<QPlainTextEdit>(w, "Memo1")
      ->setPlainText("http://example.org/\nvbscript:msgbox(1)\nhttp://example.org/x");
  bool writtenWhenWarned = true;
  MessageBox::setNextAnswer(MessageBox::Ok);
  MessageBox::setNextAnswer(MessageBox::Ok,
                            [&] { writtenWhenWarned = QFile::exists(folder + "/index.html"); });
  control<QPushButton>(w, "Button1")->click();
  QCOMPARE(boxTexts(), (QStringList{"Генерация завершена",
                                    "Адрес ссылки «vbscript:msgbox(1)» выполняет сценарий при "
                                    "переходе; ссылки на него вставлены как есть"}));
  QCOMPARE(MessageBox::lastTitle(), QString("Warning"));
  QVERIFY(!writtenWhenWarned);
  // A warning, not a refusal: the site is written all the same.
  QVERIFY(QFile::exists(folder + "/index.html"));
}

void TestProjectWindow::missingOutputFolderIsReportedAndNothingWritten() {
  TSiteProject* w = newWindow();
  const QString folder = tempPath("absent");
  TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  MessageBox::setNextAnswer(MessageBox::Ok);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QCOMPARE(boxTexts(), (QStringList{"Генерация завершена", "Указанный каталог не существует"}));
  QCOMPARE(MessageBox::lastTitle(), QString("Error"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Critical);
  QVERIFY(!QFileInfo::exists(folder));
  QVERIFY(QDir(tempDir()).isEmpty());
  // A folder was chosen: the window stays where it is.
  auto* pages = control<QTabWidget>(w, "PageControl1");
  QCOMPARE(pages->currentWidget()->objectName(), QString("TabSheet5"));

  // None chosen yet: the same boxes, then the window names the setting and
  // takes the user to it.
  TSiteProject* fresh = newWindow();
  MessageBox::reset();
  MessageBox::setNextAnswer(MessageBox::Ok);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(fresh, "Button1")->click();
  QCOMPARE(boxTexts(), (QStringList{"Генерация завершена", "Указанный каталог не существует"}));
  QVERIFY(control<QPlainTextEdit>(fresh, "ReportView")
              ->toPlainText()
              .contains("«Папка для выгрузки готового сайта», кнопка «выбрать»"));
  pages = control<QTabWidget>(fresh, "PageControl1");
  QCOMPARE(pages->currentWidget()->objectName(), QString("TabSheet1"));
  QTRY_COMPARE(QApplication::focusWidget(), control<QPushButton>(fresh, "Button2"));
  QVERIFY(QDir(tempDir()).isEmpty());
}

void TestProjectWindow::choosingAFolderTakesItAtOnce() {
  TSiteProject* w = newWindow();
  auto* edit4 = control<QLineEdit>(w, "Edit4");
  auto* button2 = control<QPushButton>(w, "Button2");
  const QString folder = tempDir() + "/Папка";

  TPFolderDialog::ScriptNextResult(folder);
  button2->click();
  QCOMPARE(edit4->text(), folder);
  QCOMPARE(QString::fromStdString(w->Generator().SavePath()), folder);

  TPFolderDialog::ScriptNextResult(std::nullopt);
  button2->click();
  QCOMPARE(edit4->text(), folder);
  QCOMPARE(QString::fromStdString(w->Generator().SavePath()), folder);

  // The change of the folder takes every setting, so a bad number speaks up.
  typeInto(control<QLineEdit>(w, "Edit3"), "many");
  MessageBox::setNextAnswer(MessageBox::Ok);
  moveFocus(button2);  // leaving Edit3 reports it once ...
  TPFolderDialog::ScriptNextResult(tempDir());
  MessageBox::setNextAnswer(MessageBox::Ok);
  button2->click();  // ... and the new folder once more
  QCOMPARE(boxTexts(), (QStringList{"'many' is not a valid integer value",
                                    "'many' is not a valid integer value"}));
  QCOMPARE(QString::fromStdString(w->Generator().SavePath()), tempDir());
  QCOMPARE(MessageBox::history().size(), 2);
}

void TestProjectWindow::folderOutsideWindows1251IsRefused_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("refused");
  QTest::addColumn<bool>("fromChooser");  // else put straight into Edit4
  // clang-format off
  QTest::newRow("Latin letter with accent, chooser") << "café" << true << true;
  QTest::newRow("Latin letter with accent, Edit4") << "café" << true << false;
  QTest::newRow("CJK, chooser") << "日本" << true << true;
  QTest::newRow("outside the BMP, chooser") << "site😀" << true << true;
  QTest::newRow("outside the BMP, Edit4") << "site😀" << true << false;
  QTest::newRow("Cyrillic and №, chooser") << "Сайт №1" << false << true;
  QTest::newRow("Cyrillic and №, Edit4") << "Сайт №1" << false << false;
  // clang-format on
}

void TestProjectWindow::folderOutsideWindows1251IsRefused() {
  QFETCH(QString, name);
  QFETCH(bool, refused);
  QFETCH(bool, fromChooser);
  TSiteProject* w = newWindow();
  auto* edit4 = control<QLineEdit>(w, "Edit4");
  const QString previous = tempPath("previous");
  const QString folder = tempPath(name);
  QVERIFY(QDir().mkpath(previous));
  QVERIFY(QDir().mkpath(folder));
  TPFolderDialog::ScriptNextResult(previous);
  control<QPushButton>(w, "Button2")->click();
  QCOMPARE(edit4->text(), previous);

  if (refused) MessageBox::setNextAnswer(MessageBox::Ok);
  if (fromChooser) {
    TPFolderDialog::ScriptNextResult(folder);
    control<QPushButton>(w, "Button2")->click();
  } else {
    edit4->setText(folder);
  }

  const QString kept = refused ? previous : folder;
  QCOMPARE(edit4->text(), kept);
  QCOMPARE(QString::fromStdString(w->Generator().SavePath()), kept);
  if (!refused) {
    QCOMPARE(MessageBox::history().size(), 0);
    return;
  }
  QCOMPARE(boxTexts(), QStringList{"Папку «" + folder +
                                   "» нельзя выбрать: в её имени есть знаки, которых нет в "
                                   "кодировке Windows-1251."});
  QCOMPARE(MessageBox::lastTitle(), QString("Orvana - Generator"));
  QCOMPARE(MessageBox::lastIcon(), QMessageBox::Critical);

  // The site goes to the folder that was kept, none to a '?' spelling.
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QCOMPARE(boxTexts().last(), QString("Генерация завершена"));
  QVERIFY(QFile::exists(previous + "/index.html"));
  QVERIFY(QDir(folder).isEmpty());
}

void TestProjectWindow::closeBoxMinimises() {
  QPointer<TSiteProject> w = newWindow();
  QVERIFY(!w->close());
  QVERIFY(w);
  QVERIFY(w->isMinimized());
  QVERIFY(m_area->subWindowList().contains(w.data()));
}

QString TestProjectWindow::prepareSite(TSiteProject* w, const QString& min, const QString& max,
                                       const QStringList& paragraphs,
                                       const QStringList& addresses) {
  const QString folder = tempPath("site");
  QDir().mkpath(folder);
  TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  control<QLineEdit>(w, "Edit2")->setText(min);
  control<QLineEdit>(w, "Edit3")->setText(max);
  w->Edit1Exit();
  control<QPlainTextEdit>(w, "Memo2")->setPlainText(paragraphs.join("\n\n"));
  control<QPlainTextEdit>(w, "Memo1")->setPlainText(addresses.join('\n'));
  return folder;
}

void TestProjectWindow::generationTabShowsTheReport_data() {
  QTest::addColumn<QString>("min");
  QTest::addColumn<QString>("max");
  QTest::addColumn<int>("paragraphs");
  QTest::addColumn<QStringList>("addresses");
  QTest::addColumn<QStringList>("warnings");  // the start of each warning line, in order
  const QString noCharset = "• страниц без объявленной кодировки: %1 из %1";
  QTest::newRow("nine pages, five addresses: no quota")
      << "20"
      << "60" << 9
      << QStringList{"https://a.example/", "https://b.example/", "https://c.example/",
                     "https://d.example/", "https://e.example/"}
      << QStringList{
             "• ссылки не вставлены: адресов (5) меньше, чем страниц после первой (8); "
             "добавьте адресов на вкладке «Линки»",
             noCharset.arg(9)};
  QTest::newRow("three pages, four addresses: links placed")
      << "20"
      << "60" << 3
      << QStringList{"https://a.example/", "https://b.example/", "https://c.example/",
                     "https://d.example/"}
      << QStringList{noCharset.arg(3)};
  QTest::newRow("minimum above maximum: cut by force")
      << "50"
      << "30" << 2 << QStringList{}
      << QStringList{
             "• минимум страницы (50) не меньше максимума (30): страницы режутся по 30 "
             "знаков посреди предложения",
             "• разрезаны посреди слова или предложения 2 из 3 страниц (index.html, page1.html):",
             "• страниц без объявленной кодировки"};
  QTest::newRow("an address that runs script")
      << "20"
      << "60" << 2 << QStringList{"javascript:alert(1)"}
      << QStringList{"• страниц без объявленной кодировки",
                     "• адрес «javascript:alert(1)» выполняет сценарий при переходе; ссылки на "
                     "него вставлены как есть"};
}

void TestProjectWindow::generationTabShowsTheReport() {
  QFETCH(QString, min);
  QFETCH(QString, max);
  QFETCH(int, paragraphs);
  QFETCH(QStringList, addresses);
  QFETCH(QStringList, warnings);
  TSiteProject* w = newWindow();
  auto* view = control<QPlainTextEdit>(w, "ReportView");
  QVERIFY(!w->LastReport());
  QVERIFY(view->isHidden());

  QStringList text;
  for (int i = 0; i < paragraphs; ++i)
    text << QString("Paragraph number %1 tells something.").arg(i + 1);
  const QString folder = prepareSite(w, min, max, text, addresses);
  QString shownWithTheBox;
  MessageBox::setNextAnswer(MessageBox::Ok, [&] { shownWithTheBox = view->toPlainText(); });
  for (const QString& address : addresses)
    if (orvana::RunsScript(address.toStdString())) MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  // The specified box is the first and unchanged.
  QCOMPARE(boxTexts().value(0), QString("Генерация завершена"));
  QVERIFY(view->isVisibleTo(w));

  // The report's figures against the site as written.
  const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
  qint64 bytes = 0;
  QByteArray html;
  for (const QString& file : files) {
    bytes += QFileInfo(folder + '/' + file).size();
    if (file != "style.css") html += readFile(folder + '/' + file);
  }
  const int pages = static_cast<int>(files.size()) - 1;
  int used = 0;
  for (const QString& address : addresses)
    if (html.contains(" <a href=\"" + address.toUtf8() + "\">")) ++used;
  const QStringList lines = view->toPlainText().split('\n');
  QCOMPARE(lines.value(0), "Сайт записан в " + folder);
  QCOMPARE(lines.value(1),
           QString("Страниц: %1, объём сайта: %2").arg(pages).arg(orvana::ReadableSize(bytes)));
  QVERIFY2(lines.value(2).startsWith("Размер страницы: от "), qPrintable(lines.value(2)));
  // The report's figures are those of the files; the exact size in a tool tip.
  QCOMPARE(w->LastReport()->bytes, static_cast<uint64_t>(bytes));
  QVERIFY2(view->toolTip().contains(QLocale(QLocale::Russian).toString(bytes) + " байт"),
           qPrintable(view->toolTip()));
  int64_t links = 0;
  for (const QString& address : addresses)
    links += html.count(" <a href=\"" + address.toUtf8() + "\">");
  QCOMPARE(w->LastReport()->placed, links);
  QVERIFY2(lines.value(3).startsWith(
               QString("Ссылок вставлено: %1 (адресов: %2,").arg(links).arg(addresses.size())),
           qPrintable(lines.value(3)));
  QCOMPARE(w->LastReport()->pages, pages);
  if (addresses.size() == 4) QVERIFY(used > 0);
  // The report is of the files written, so it comes after the box.
  QVERIFY(shownWithTheBox.isEmpty());
  QVERIFY(control<QPushButton>(w, "OpenSiteButton")->isVisibleTo(w));

  // Every warning, in words, after the figures.
  const int first = static_cast<int>(lines.indexOf("Предупреждения:"));
  QVERIFY2(first > 3, qPrintable(view->toPlainText()));
  const QStringList shown = lines.mid(first + 1);
  QCOMPARE(shown.size(), warnings.size());
  for (int i = 0; i < warnings.size(); ++i)
    QVERIFY2(shown[i].startsWith(warnings[i]), qPrintable(shown[i]));
}

void TestProjectWindow::largeSitesShowTheirProgress_data() {
  QTest::addColumn<int>("pages");
  // clang-format off
  QTest::newRow("small: no bar") << 3;
  QTest::newRow("large: a bar") << TSiteProject::kProgressPages + 5;
  // clang-format on
}

void TestProjectWindow::largeSitesShowTheirProgress() {
  QFETCH(int, pages);
  TSiteProject* w = newWindow();
  QStringList text;
  for (int i = 0; i < pages; ++i) text << QString("Paragraph %1 of the site.").arg(i);
  const QString folder = prepareSite(w, "10", "40", text, {});
  auto* bar = control<QProgressBar>(w, "ProgressBar1");
  auto* button = control<QPushButton>(w, "Button1");
  QVERIFY(bar->isHidden());

  // A timer stands for everything else the window has to do meanwhile.
  int ticks = 0;
  QTimer other;
  other.setInterval(0);
  connect(&other, &QTimer::timeout, this, [&] { ++ticks; });
  struct Step {
    int value, maximum, ticks, filesOnDisk;
    bool shown, buttonEnabled;
  };
  QList<Step> steps;
  connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
    steps << Step{value,
                  bar->maximum(),
                  ticks,
                  static_cast<int>(QDir(folder).entryList(QDir::Files).size()),
                  bar->isVisibleTo(w),
                  button->isEnabled()};
  });
  MessageBox::setNextAnswer(MessageBox::Ok, [&] { other.start(); });
  button->click();
  other.stop();
  QCOMPARE(QDir(folder).entryList(QDir::Files).size(), qsizetype(pages + 1));
  QVERIFY(bar->isHidden());
  QVERIFY(button->isEnabled());
  QVERIFY(!w->IsGenerating());
  if (pages < TSiteProject::kProgressPages) {
    QVERIFY(steps.isEmpty());
    return;
  }
  // Reset to 0, then one step per page written.
  QCOMPARE(steps.size(), pages + 1);
  for (int i = 0; i < steps.size(); ++i) {
    QCOMPARE(steps[i].value, i);
    QCOMPARE(steps[i].maximum, pages);
    QCOMPARE(steps[i].filesOnDisk, i);
    QVERIFY(steps[i].shown);
    QVERIFY(!steps[i].buttonEnabled);
  }
  // Other events were handled between the pages, not only after them.
  QVERIFY2(steps.last().ticks > steps[1].ticks, qPrintable(QString::number(ticks)));
}

void TestProjectWindow::aLongGenerationCanBeCancelled() {
  TSiteProject* w = newWindow();
  QStringList text;
  for (int i = 0; i < 30000; ++i) text << QString("Paragraph %1 of the site.").arg(i);
  const QString folder = prepareSite(w, "10", "40", text, {});
  control<QPlainTextEdit>(w, "Memo4")->setPlainText("SiteGeneratorChange.MainText");
  // Asked for from the event loop the window keeps turning while it
  // generates, as its cancel box does.
  QTimer::singleShot(0, w, [w] { w->CancelGeneration(); });
  control<QPushButton>(w, "Button1")->click();
  QVERIFY(!w->IsGenerating());
  QCOMPARE(boxTexts(), QStringList{});
  QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
  QCOMPARE(control<QPlainTextEdit>(w, "ReportView")->toPlainText(),
           QString("Сайт не записан: генерация прервана"));
  const orvana::TSitePages& pages = w->Generator().Pages();
  QVERIFY(pages.Count() > 1000);
  QVERIFY(pages[pages.Count() - 1].PageHTML.empty());
}

void TestProjectWindow::editsGenerationAndSavingMoveTheModifiedMark() {
  TSiteProject* w = newWindow();
  w->SetProjectName("Сад");
  QList<bool> heard;
  connect(w, &TSiteProject::ModifiedChanged, this, [&](bool modified) { heard << modified; });
  QVERIFY(!w->IsModified());
  QCOMPARE(w->windowTitle(), QString("Сад"));

  const QString file = tempPath("garden.orvana");
  struct Change {
    const char* what;
    std::function<void()> run;
  };
  const Change changes[] = {
      {"title", [&] { typeInto(control<QLineEdit>(w, "Edit1"), "x"); }},
      {"minimum", [&] { control<QLineEdit>(w, "Edit2")->setText("100"); }},
      {"folder",
       [&] {
         TPFolderDialog::ScriptNextResult(tempDir());
         control<QPushButton>(w, "Button2")->click();
       }},
      {"links", [&] { control<QPlainTextEdit>(w, "Memo1")->setPlainText("https://a/"); }},
      {"text", [&] { control<QPlainTextEdit>(w, "Memo2")->setPlainText("Текст."); }},
      {"template", [&] { control<QPlainTextEdit>(w, "Memo4")->appendPlainText("x"); }},
      {"advertising", [&] { control<QPlainTextEdit>(w, "Memo5")->appendPlainText("x"); }},
      {"stylesheet", [&] { control<QPlainTextEdit>(w, "Memo6")->appendPlainText("x"); }},
      {"generation",
       [&] {
         MessageBox::setNextAnswer(MessageBox::Ok);
         control<QPushButton>(w, "Button1")->click();
       }},
  };
  for (const Change& change : changes) {
    w->SaveToFile(file);
    QVERIFY2(!w->IsModified(), change.what);
    QVERIFY(!w->isWindowModified());
    change.run();
    QVERIFY2(w->IsModified(), change.what);
    QVERIFY(w->isWindowModified());
    QCOMPARE(w->windowTitle(), QString("Сад[*]"));
  }
  // Marked by each change, unmarked by each save but the last change's.
  QCOMPARE(heard.size(), 2 * int(std::size(changes)) - 1);

  // Read back, the window shows the file unmarked.
  TSiteProject* opened = newWindow();
  opened->LoadFromFile(file);
  QVERIFY(!opened->IsModified());
  QCOMPARE(opened->windowTitle(), QString("Проект"));
}

void TestProjectWindow::numbersTakeTheirWords() {
  const QMap<uint64_t, QString> words{
      {0, "байтов"},  {1, "байт"},    {2, "байта"}, {4, "байта"},  {5, "байтов"},   {11, "байтов"},
      {12, "байтов"}, {14, "байтов"}, {21, "байт"}, {22, "байта"}, {111, "байтов"}, {1001, "байт"}};
  for (auto it = words.begin(); it != words.end(); ++it) {
    QCOMPARE(orvana::BytesWord(it.key()), it.value());
    if (it.key() < 1024)
      QCOMPARE(orvana::ReadableSize(it.key()), QString("%1 %2").arg(it.key()).arg(it.value()));
  }
}

void TestProjectWindow::diskErrorsAreRussian() {
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

void TestProjectWindow::aWriteThatFailsMidwaySaysWhatItReplaced() {
  TSiteProject* w = newWindow();
  const QString folder = sitePages(w, 6);
  // The stylesheet cannot replace what stands in its place: found before
  // the first page is written, so nothing is replaced.
  QDir().mkpath(folder + "/style.css/inside");
  MessageBox::setNextAnswer(MessageBox::Ok);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QString text = control<QPlainTextEdit>(w, "ReportView")->toPlainText();
  QVERIFY2(text.startsWith("Сайт не записан: Не удалось "), qPrintable(text));
  QVERIFY2(text.contains("«" + folder + "/style.css»: "), qPrintable(text));
  // Russian but for the file's name.
  QVERIFY(!QString(text).remove(folder + "/style.css").contains(QRegularExpression("[A-Za-z]")));
  QCOMPARE(QDir(folder).entryList({"*.html"}, QDir::Files).size(), 0);
  // The application's box says the same.
  QCOMPARE(MessageBox::lastText().left(20), text.section(": ", 1).left(20));
  // A write that fails once its pages are written says how many it replaced.
  const QStringList files = {"index.html", "page1.html", "style.css", "sitemap.xml"};
  const QString error = "Не удалось создать файл «" + folder + "/style.css»: это папка";
  QCOMPARE(orvana::FilesReplacedBefore(files, error, 2), 2);
  QCOMPARE(orvana::FilesReplacedBefore(files, error, 1), 1);
  QCOMPARE(orvana::FilesReplacedBefore(files, "… «" + folder + "/sitemap.xml»", 2), 3);
}

void TestProjectWindow::aStoppedWriteCountsAndSizesTheSameFiles() {
  TSiteProject* w = newWindow();
  const int pages = TSiteProject::kProgressPages + 10;
  const QString folder = sitePages(w, pages);
  // Stopped once the write has begun, as its Cancel button stops it.
  MessageBox::setNextAnswer(MessageBox::Ok,
                            [w] { QTimer::singleShot(0, w, [w] { w->CancelGeneration(); }); });
  control<QPushButton>(w, "Button1")->click();
  const QStringList files = QDir(folder).entryList(QDir::Files);
  qint64 bytes = 0;
  for (const QString& file : files) bytes += QFileInfo(folder + '/' + file).size();
  QVERIFY(!files.isEmpty() && files.size() < pages);
  QCOMPARE(control<QPlainTextEdit>(w, "ReportView")->toPlainText().split('\n').value(1),
           QString("Записано страниц: %1 из %2, их объём: %3")
               .arg(files.size())
               .arg(pages)
               .arg(orvana::ReadableSize(bytes)));
}

void TestProjectWindow::pagesOfAnEarlierSiteAreNamedWithTheirSetting() {
  TSiteProject* w = newWindow();
  const QString folder = sitePages(w, 5);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QVERIFY(
      !control<QPlainTextEdit>(w, "ReportView")->toPlainText().contains("прежней, более длинной"));
  sitePages(w, 2);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QVERIFY2(control<QPlainTextEdit>(w, "ReportView")
               ->toPlainText()
               .contains("• в папке остались страницы прежней, более длинной выгрузки (3): "
                         "page2.html, page3.html, page4.html;"),
           qPrintable(control<QPlainTextEdit>(w, "ReportView")->toPlainText()));
  QVERIFY(
      control<QPlainTextEdit>(w, "ReportView")->toPlainText().contains("«Удалять лишние страницы"));
  QCOMPARE(QDir(folder).entryList({"page*.html"}).size(), 4);
}

void TestProjectWindow::aBrowserThatCannotStartIsReported() {
  TSiteProject* w = newWindow();
  sitePages(w, 2);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  orvana::DesktopOpener::setIntercepted(true, false);
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "OpenSiteButton")->click();
  orvana::DesktopOpener::setIntercepted(true, true);
  QCOMPARE(MessageBox::lastText(), "Не удалось открыть " + w->SiteIndexFile() + " в браузере.");
  QCOMPARE(orvana::DesktopOpener::opened().size(), 1);
}

QTEST_MAIN(TestProjectWindow)
#include "TestProjectWindow.moc"
