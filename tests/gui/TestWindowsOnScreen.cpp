// Windows on the screen: the main window on the available area, the tree's
// labels with each file's own name whole, and the focus shown on every
// control.
#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "gui/FocusRing.h"
#include "shell/MainFrame.h"
#include "shell/Navigation.h"
#include "shell/NodeLabel.h"
#include "tests/gui/GuiTestBase.h"
#include "window/FProject.h"

using orvana::TForm1;

class TestWindowsOnScreen : public GuiTestBase {
  Q_OBJECT

 private slots:
  void framesAreMovedAndShrunkOntoTheScreen();
  void labelsKeepTheFilesNameWholeAndNumberCopies();
  void theFocusIsShownOnEveryControl();
};

void TestWindowsOnScreen::framesAreMovedAndShrunkOntoTheScreen() {
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

void TestWindowsOnScreen::labelsKeepTheFilesNameWholeAndNumberCopies() {
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
  TForm1 form1;
  form1.show();
  const QString file = tempPath("twice.orvana");
  orvana::TSiteProject().SaveToFile(file);
  form1.OpenFiles({file, file});
  QCOMPARE(form1.ShownNodeText(0, metrics, 1000), file);
  QCOMPARE(form1.ShownNodeText(1, metrics, 1000), file + " (2)");
  QCOMPARE(form1.ShownNodeText(1, metrics, 60), "twice.orvana (2)");
}

void TestWindowsOnScreen::theFocusIsShownOnEveryControl() {
  orvana::TFocusRing* ring = orvana::TFocusRing::Install();
  TForm1 form1;
  form1.show();
  QVERIFY(QTest::qWaitForWindowActive(&form1));
  form1.NewProjectExecute();
  orvana::TSiteProject* project = form1.ActiveProject();
  // The report box too, as a generation shows it.
  project->findChild<QPlainTextEdit*>("ReportView")->show();
  auto* tabs = project->findChild<QTabWidget*>("PageControl1");
  QList<QWidget*> controls{form1.findChild<QTreeWidget*>("TreeView1")};
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
  auto* tree = form1.findChild<QTreeWidget*>("TreeView1");
  tree->setFocus();
  QTRY_COMPARE(ring->Target(), tree);
  QCOMPARE(ring->Ring()->parentWidget(), tree);
}

QTEST_MAIN(TestWindowsOnScreen)
#include "TestWindowsOnScreen.moc"
