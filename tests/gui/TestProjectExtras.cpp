// The project window's extras tab: its place among the tabs, its controls and
// their way into the generator and back.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <string>

#include "engine/Extras.h"
#include "folderdialog/PFolderDialog.h"
#include "gui/Dialogs.h"
#include "gui/TextBridge.h"
#include "project/ProjectDocument.h"
#include "tests/gui/GuiTestBase.h"
#include "window/FProject.h"

using orvana::MessageBox;
using orvana::TOrvanaExtras;
using orvana::TSiteProject;

Q_DECLARE_METATYPE(TOrvanaExtras)

class TestProjectExtras : public ProjectWindowTestBase {
  Q_OBJECT

 private slots:
  void extrasTabComesAfterGenerationAndShowsTheDefaults();
  void eachControlReachesTheGenerator_data();
  void eachControlReachesTheGenerator();
  void everyEncodingRoundTripsThroughTheList();
  void defaultsSaveAsBefore();
  void unusableExtrasAreNamedAndTheProjectLoads();
  void stalePagesAreListedAndRemovedOnlyWhenAllowed_data();
  void stalePagesAreListedAndRemovedOnlyWhenAllowed();
  void charactersOutsideWindows1251NeverArrive();

 private:
  // Shows the extras tab and gives the control the focus, as a click would.
  void focusOn(QWidget* widget);
  // Changes one control as the user does: keys, clicks, the combo's list.
  void change(TSiteProject* window, const QString& name, const QString& value);
};

void TestProjectExtras::focusOn(QWidget* widget) {
  for (QWidget* w = widget; w; w = w->parentWidget()) {
    if (auto* pages = qobject_cast<QStackedWidget*>(w->parentWidget()))
      if (auto* tabs = qobject_cast<QTabWidget*>(pages->parentWidget())) tabs->setCurrentWidget(w);
  }
  widget->setFocus(Qt::MouseFocusReason);
  QTRY_VERIFY(widget->hasFocus());
}

void TestProjectExtras::change(TSiteProject* window, const QString& name, const QString& value) {
  QWidget* widget = window->findChild<QWidget*>(name);
  QVERIFY2(widget, qPrintable("no control " + name));
  focusOn(widget);
  if (auto* check = qobject_cast<QCheckBox*>(widget)) {
    QCOMPARE(check->isChecked(), false);
    QTest::keyClick(check, Qt::Key_Space);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    const int index = combo->findText(value);
    QVERIFY2(index >= 0, qPrintable(value));
    while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
  } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
    spin->selectAll();
    typeText(spin, value);
    QTest::keyClick(spin, Qt::Key_Tab);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    typeText(edit, value);
  } else {
    QFAIL(qPrintable("unexpected control " + name));
  }
}

void TestProjectExtras::extrasTabComesAfterGenerationAndShowsTheDefaults() {
  TSiteProject* w = newWindow();
  auto* tabs = control<QTabWidget>(w, "PageControl1");
  QCOMPARE(tabs->count(), 6);
  QCOMPARE(tabs->tabText(4), QString("Генерация"));
  QCOMPARE(tabs->tabText(5), QString("Дополнительно"));
  QCOMPARE(tabs->widget(5)->objectName(), QString("TabSheet6"));
  QCOMPARE(tabs->currentWidget()->objectName(), QString("TabSheet5"));

  QCOMPARE(control<QSpinBox>(w, "ExtrasPagerWindow")->value(), 0);
  QCOMPARE(control<QSpinBox>(w, "ExtrasMenuWindow")->value(), 0);
  QCOMPARE(control<QLineEdit>(w, "ExtrasPageWord")->text(), QString("Раздел"));
  QCOMPARE(control<QLineEdit>(w, "ExtrasIndexLabel")->text(), QString("index"));
  QVERIFY(!control<QCheckBox>(w, "ExtrasSafeLinks")->isChecked());
  QCOMPARE(control<QLineEdit>(w, "ExtrasLinkRel")->text(), QString());
  auto* encoding = control<QComboBox>(w, "ExtrasOutputEncoding");
  QCOMPARE(encoding->currentText(), QString("windows-1251"));
  QStringList offered;
  for (int i = 0; i < encoding->count(); ++i) offered << encoding->itemText(i);
  QCOMPARE(offered, (QStringList{"windows-1251", "utf-8"}));
  QCOMPARE(control<QLineEdit>(w, "ExtrasSiteUrl")->text(), QString());
  QVERIFY(!control<QCheckBox>(w, "ExtrasPruneStale")->isChecked());

  // Untouched, the tab gives the generator the defaults.
  w->Generator().SetExtras([] {
    TOrvanaExtras other;
    other.PagerWindow = 9;
    return other;
  }());
  w->ExtrasToGenerator();
  QVERIFY(w->Generator().Extras().IsDefault());
}

void TestProjectExtras::eachControlReachesTheGenerator_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("value");
  QTest::addColumn<TOrvanaExtras>("expected");
  auto with = [](const std::function<void(TOrvanaExtras&)>& set) {
    TOrvanaExtras extras;
    set(extras);
    return extras;
  };
  QTest::newRow("PagerWindow") << "ExtrasPagerWindow"
                               << "3" << with([](TOrvanaExtras& e) { e.PagerWindow = 3; });
  QTest::newRow("MenuWindow") << "ExtrasMenuWindow"
                              << "12" << with([](TOrvanaExtras& e) { e.MenuWindow = 12; });
  QTest::newRow("PageWord") << "ExtrasPageWord"
                            << "Глава" << with([](TOrvanaExtras& e) {
                                 e.PageWord = orvana::ToEngine("Глава");
                               });
  QTest::newRow("IndexLabel") << "ExtrasIndexLabel"
                              << "Home" << with([](TOrvanaExtras& e) { e.IndexLabel = "Home"; });
  QTest::newRow("SafeLinks") << "ExtrasSafeLinks"
                             << "" << with([](TOrvanaExtras& e) { e.SafeLinks = true; });
  QTest::newRow("LinkRel") << "ExtrasLinkRel"
                           << "nofollow ugc"
                           << with([](TOrvanaExtras& e) { e.LinkRel = "nofollow ugc"; });
  QTest::newRow("OutputEncoding") << "ExtrasOutputEncoding"
                                  << "utf-8" << with([](TOrvanaExtras& e) {
                                       e.OutputEncoding = orvana::TOutputEncoding::kUtf8;
                                     });
  QTest::newRow("SiteUrl") << "ExtrasSiteUrl"
                           << "https://example.org/сад/" << with([](TOrvanaExtras& e) {
                                e.SiteUrl = orvana::ToEngine("https://example.org/сад/");
                              });
  QTest::newRow("PruneStale") << "ExtrasPruneStale"
                              << "" << with([](TOrvanaExtras& e) { e.PruneStale = true; });
  QTest::newRow("LinkSeed") << "ExtrasLinkSeed"
                            << "18446744073709551615"
                            << with([](TOrvanaExtras& e) { e.LinkSeed = "18446744073709551615"; });
  QTest::newRow("PublishTo") << "ExtrasPublishTo"
                             << "sftp://me@127.0.0.1:2222/www" << with([](TOrvanaExtras& e) {
                                  e.PublishTo = "sftp://me@127.0.0.1:2222/www";
                                });
}

void TestProjectExtras::eachControlReachesTheGenerator() {
  QFETCH(QString, name);
  QFETCH(QString, value);
  QFETCH(TOrvanaExtras, expected);
  TSiteProject* w = newWindow();
  QVERIFY(!w->IsModified());
  change(w, name, value);
  QVERIFY(w->IsModified());
  // Nothing reaches the generator before a save or a build ...
  QVERIFY(w->Generator().Extras().IsDefault());
  // ... but a duplicate takes what the controls show.
  TSiteProject* copy = newWindow();
  copy->CopyFrom(*w);
  QVERIFY(copy->Generator().Extras() == expected);

  const QString file = tempPath("extras.orvana");
  w->SaveToFile(file);
  QVERIFY(w->Generator().Extras() == expected);
  QVERIFY(!w->IsModified());
  // The one extra is written after the project, alone in its block.
  const QByteArray bytes = readFile(file);
  const qsizetype block = bytes.indexOf("object OrvanaExtras: TOrvanaExtras\r\n");
  QVERIFY(block > 0);
  QCOMPARE(bytes.mid(block).count("\r\n  "), 1);
  QVERIFY(bytes.mid(block).contains("  " + name.mid(6).toLatin1() + " = "));

  // Loaded into another window, its control shows the value again: taken
  // back from the controls, the extras are the same, and so is the file.
  TSiteProject* loaded = newWindow();
  loaded->LoadFromFile(file);
  QVERIFY(loaded->Generator().Extras() == expected);
  loaded->Generator().SetExtras(TOrvanaExtras{});
  loaded->ExtrasToGenerator();
  QVERIFY(loaded->Generator().Extras() == expected);
  const QString again = tempPath("again.orvana");
  loaded->SaveToFile(again);
  QCOMPARE(readFile(again), bytes);
  QCOMPARE(MessageBox::history().size(), 0);
}

void TestProjectExtras::defaultsSaveAsBefore() {
  // The file a new project gave before there were extras.
  orvana::TProjectDocument document;
  document.SetMemos(orvana::TProjectDocument::NewProjectMemos());
  const QString classic = tempPath("classic.orvana");
  document.SaveToFile(classic.toStdString());

  TSiteProject* w = newWindow();
  const QString untouched = tempPath("untouched.orvana");
  w->SaveToFile(untouched);
  QCOMPARE(readFile(untouched), readFile(classic));
  QVERIFY(!readFile(untouched).contains("OrvanaExtras"));

  // Every control changed and changed back: the same bytes again.
  change(w, "ExtrasPagerWindow", "4");
  change(w, "ExtrasPagerWindow", "0");
  change(w, "ExtrasPageWord", "Глава");
  change(w, "ExtrasPageWord", "Раздел");
  change(w, "ExtrasOutputEncoding", "utf-8");
  control<QComboBox>(w, "ExtrasOutputEncoding")->setCurrentIndex(0);
  change(w, "ExtrasSafeLinks", QString());
  control<QCheckBox>(w, "ExtrasSafeLinks")->setChecked(false);
  const QString back = tempPath("back.orvana");
  w->SaveToFile(back);
  QCOMPARE(readFile(back), readFile(classic));
}

void TestProjectExtras::unusableExtrasAreNamedAndTheProjectLoads() {
  const QString file = tempPath("damaged.orvana");
  writeFile(file,
            "object TSiteGenerator\r\n  SiteTitle = 'Garden'\r\nend\r\n"
            "object OrvanaExtras: TOrvanaExtras\r\n"
            "  PagerWindow = -3\r\n  MenuWindow = 4\r\n  Colour = 'green'\r\n"
            "  OutputEncoding = 'koi8-r'\r\n  SafeLinks = True\r\nend\r\n");
  TSiteProject* w = newWindow();
  MessageBox::setNextAnswer(MessageBox::Ok);
  w->LoadFromFile(file);
  QCOMPARE(control<QLineEdit>(w, "Edit1")->text(), QString("Garden"));
  QCOMPARE(control<QSpinBox>(w, "ExtrasPagerWindow")->value(), 0);
  QCOMPARE(control<QSpinBox>(w, "ExtrasMenuWindow")->value(), 4);
  QVERIFY(control<QCheckBox>(w, "ExtrasSafeLinks")->isChecked());
  QCOMPARE(control<QComboBox>(w, "ExtrasOutputEncoding")->currentText(), QString("windows-1251"));

  QCOMPARE(MessageBox::history().size(), 1);
  QCOMPARE(MessageBox::lastTitle(), QString("Warning"));
  const QString text = MessageBox::lastText();
  QVERIFY2(text.startsWith("Дополнительные настройки проекта «" + file +
                           "» прочитаны не полностью; пропущенные остались по умолчанию:\n\n"),
           qPrintable(text));
  // One line for each of the three things skipped.
  QCOMPARE(text.section("\n\n", 1).split('\n').size(), 3);
  for (const char* named : {"PagerWindow", "Colour", "OutputEncoding"})
    QVERIFY2(text.contains(named), named);
  QVERIFY(!w->IsModified());
}

void TestProjectExtras::everyEncodingRoundTripsThroughTheList() {
  TSiteProject* w = newWindow();
  auto* combo = control<QComboBox>(w, "ExtrasOutputEncoding");
  for (orvana::TOutputEncoding encoding :
       {orvana::TOutputEncoding::kUtf8, orvana::TOutputEncoding::kWindows1251}) {
    TOrvanaExtras extras;
    extras.OutputEncoding = encoding;
    w->Generator().SetExtras(extras);
    w->GeneratorToForm();
    QCOMPARE(combo->currentText().toStdString(), std::string(OutputEncodingName(encoding)));
    w->ExtrasToGenerator();
    QVERIFY(w->Generator().Extras().OutputEncoding == encoding);
  }
  QCOMPARE(combo->count(), 2);
}

void TestProjectExtras::stalePagesAreListedAndRemovedOnlyWhenAllowed_data() {
  QTest::addColumn<bool>("prune");
  QTest::addColumn<int>("answer");     // to the question, if asked
  QTest::addColumn<int>("lastStale");  // page1.html .. pageN.html left by an earlier build
  // clang-format off
  QTest::newRow("off: never asked") << false << int(MessageBox::Ok) << 6;
  QTest::newRow("on, refused") << true << int(MessageBox::Cancel) << 6;
  QTest::newRow("on, allowed") << true << int(MessageBox::Ok) << 6;
  QTest::newRow("on, a long list") << true << int(MessageBox::Ok) << 25;
  // clang-format on
}

void TestProjectExtras::stalePagesAreListedAndRemovedOnlyWhenAllowed() {
  QFETCH(bool, prune);
  QFETCH(int, answer);
  QFETCH(int, lastStale);
  const QString folder = tempPath("site");
  QVERIFY(QDir().mkpath(folder + "/page30.html"));  // a folder, not a page
  QStringList stale;
  for (int n = 1; n <= lastStale; ++n) stale << QString("page%1.html").arg(n);
  const QStringList others = {"page0.html", "page07.html",     "page8.htm",
                              "Page9.html", "page10.html.bak", "notes.txt"};
  for (const QString& name : stale + others) writeFile(folder + "/" + name, "old");

  TSiteProject* w = newWindow();
  orvana::TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  // One short paragraph: a site of the index page alone.
  control<QPlainTextEdit>(w, "Memo2")->setPlainText("Одна страница сайта.");
  if (prune) change(w, "ExtrasPruneStale", QString());

  QStringList asked;
  bool writtenWhenAsked = false;
  MessageBox::setNextAnswer(MessageBox::Ok);
  if (prune)
    MessageBox::setNextAnswer(static_cast<MessageBox::Button>(answer), [&] {
      writtenWhenAsked =
          readFile(folder + "/index.html")
              .contains(QByteArray::fromStdString(orvana::ToEngine("Одна страница сайта.")));
    });
  control<QPushButton>(w, "Button1")->click();
  QCOMPARE(w->Generator().Pages().Count(), 1);

  QStringList expectedBoxes{"Генерация завершена"};
  if (prune) {
    QStringList listed = stale.mid(0, 20);
    if (stale.size() > 20) listed << QString("… и ещё %1").arg(stale.size() - 20);
    expectedBoxes << QString(
                         "В папке сайта остались страницы прежней выгрузки, которых в новом "
                         "сайте нет (%1):\n\n%2\n\nУдалить их?")
                         .arg(stale.size())
                         .arg(listed.join('\n'));
    QVERIFY(writtenWhenAsked);
    QCOMPARE(MessageBox::history().last().buttons, MessageBox::OkCancel);
  }
  QCOMPARE(boxTexts(), expectedBoxes);

  const bool removed = prune && answer == MessageBox::Ok;
  for (const QString& name : stale)
    QVERIFY2(QFile::exists(folder + "/" + name) != removed, qPrintable(name));
  for (const QString& name : others + QStringList{"page30.html", "index.html", "style.css"})
    QVERIFY2(QFileInfo::exists(folder + "/" + name), qPrintable(name));
  QCOMPARE(readFile(folder + "/page07.html"), QByteArray("old"));

  // Built again, nothing stale is left to ask about.
  if (removed) {
    MessageBox::setNextAnswer(MessageBox::Ok);
    control<QPushButton>(w, "Button1")->click();
    QCOMPARE(boxTexts().size(), 3);
  }
}

void TestProjectExtras::charactersOutsideWindows1251NeverArrive() {
  for (const char* name :
       {"Edit1", "ExtrasPageWord", "ExtrasIndexLabel", "ExtrasLinkRel", "ExtrasSiteUrl"}) {
    auto* edit = control<QLineEdit>(newWindow(), name);
    edit->clear();  // keyClicks takes ASCII only: the rest go as keys' texts
    QTest::keyClicks(edit, QString("nofollow "));
    typeText(edit, QString("ö×Глава 中✓x\U0001F600y"));
    QCOMPARE(edit->text(), QString("nofollow Глава xy"));
  }
}

QTEST_MAIN(TestProjectExtras)
#include "TestProjectExtras.moc"
