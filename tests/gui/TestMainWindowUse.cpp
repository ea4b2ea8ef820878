// The main window in everyday use, with Qt's Russian texts loaded as the
// program loads them: dropped files, the keyboard, windows that fit, the
// file dialogs, the tree's labels and the recent list's.
#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include "Application.h"
#include "Dialogs.h"
#include "FProject.h"
#include "GuiTestBase.h"
#include "MainFrame.h"
#include "Navigation.h"

using orvana::FileDialog;
using orvana::MessageBox;
using orvana::TSiteProject;

class TestMainWindowUse : public GuiTestBase {
  Q_OBJECT

 protected slots:
  void initTestCase() override {
    GuiTestBase::initTestCase();
    QVERIFY(orvana::InstallQtTranslation());
  }
  void init() override {
    GuiTestBase::init();
    m_form1 = new orvana::TForm1;
    m_form1->show();
    QVERIFY(QTest::qWaitForWindowActive(m_form1));
  }
  void cleanup() override {
    delete m_form1;
    GuiTestBase::cleanup();
  }

 private slots:
  void dropsOpenFilesAndLeaveTextBoxesAlone();
  void keysOpenMenusAndMoveTheFocus();
  void tabReachesEveryControl();
  void newWindowsFitTheFrame();
  void fitKeepsWindowsInsideAnyArea();
  void dialogsSpeakRussianAndBoxesKeepTheirButtons();
  void treeAndRecentListShowNamesAsTheyAre();

 private:
  QTreeWidget* tree() const { return m_form1->findChild<QTreeWidget*>("TreeView1"); }
  QString project(const QString& name) {
    const QString path = tempPath(name);
    TSiteProject().SaveToFile(path);
    return path;
  }
  QPointer<orvana::TForm1> m_form1;
};

void TestMainWindowUse::dropsOpenFilesAndLeaveTextBoxesAlone() {
  m_form1->NewProjectExecute();
  TSiteProject* first = m_form1->ActiveProject();
  auto* memo = first->findChild<QPlainTextEdit*>("Memo2");
  auto* edit = first->findChild<QLineEdit*>("Edit1");
  const QString file = project("dropped.orvana");
  const QString word = "слово";
  const struct {
    QWidget* target;
    int page;
  } targets[] = {{memo->viewport(), 3}, {edit, 0}, {tree()->viewport(), 4}};
  const struct {
    QList<QUrl> urls;
    QString text;
    int opened;
    QString box;
  } payloads[] = {
      {{QUrl::fromLocalFile(file)}, file, 1, {}},
      {{QUrl::fromLocalFile(tempDir())}, {}, 0, "Папку нельзя открыть как проект:\n" + tempDir()},
      {{}, word, 0, {}}};
  for (const auto& [target, page] : targets) {
    for (const auto& payload : payloads) {
      first->findChild<QTabWidget*>("PageControl1")->setCurrentIndex(page);
      MessageBox::reset();
      if (!payload.box.isEmpty()) MessageBox::setNextAnswer(MessageBox::Ok);
      first->SetModified(false);
      const int nodes = tree()->topLevelItemCount();
      const QString before = memo->toPlainText() + edit->text();
      QMimeData data;
      data.setUrls(payload.urls);
      if (!payload.text.isEmpty()) data.setText(payload.text);
      const QPoint at = target->rect().center();
      QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &drop})
        QApplication::sendEvent(target, event);
      QTRY_COMPARE(tree()->topLevelItemCount(), nodes + payload.opened);
      QTRY_COMPARE(boxTexts(), payload.box.isEmpty() ? QStringList() : QStringList{payload.box});
      // Only plain text goes into the text box it was dropped on.
      const bool typed = payload.text == word && target != tree()->viewport();
      const QString after = memo->toPlainText() + edit->text();
      QCOMPARE(after.count(word), before.count(word) + (typed ? 1 : 0));
      QCOMPARE(after.size(), before.size() + (typed ? word.size() : 0));
      QCOMPARE(first->IsModified(), typed);
      m_form1->findChild<QMdiArea*>()->setActiveSubWindow(first);
    }
  }
}

void TestMainWindowUse::keysOpenMenusAndMoveTheFocus() {
  // The keys as a Russian keyboard sends them.
  const struct {
    int key;
    QString text;
    Qt::KeyboardModifier modifier;
    const char* menu;
  } menuKeys[] = {{u'П', "п", Qt::AltModifier, "ProjectMenu"},
                  {u'И', "и", Qt::AltModifier, "InfoMenu"},
                  {Qt::Key_F10, "", Qt::NoModifier, "ProjectMenu"}};
  for (const auto& [key, text, modifier, name] : menuKeys) {
    QTest::sendKeyEvent(QTest::Click, m_form1, Qt::Key(key), text, modifier);
    auto* menu = m_form1->findChild<QMenu*>(name);
    QTRY_VERIFY2(menu->isVisible(), name);
    menu->close();
    m_form1->menuBar()->setActiveAction(nullptr);
  }
  // F6 and Shift+F6 go to the tree and back to where the project had the
  // focus.
  m_form1->NewProjectExecute();
  m_form1->ActiveProject()->findChild<QTabWidget*>("PageControl1")->setCurrentIndex(0);
  auto* edit = m_form1->ActiveProject()->findChild<QLineEdit*>("Edit3");
  edit->setFocus();
  QWidget* expected[] = {tree(), edit, tree(), edit};
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6,
                    i < 2 ? Qt::NoModifier : Qt::ShiftModifier);
    QTRY_COMPARE(QApplication::focusWidget(), expected[i]);
  }
}

void TestMainWindowUse::tabReachesEveryControl() {
  m_form1->NewProjectExecute();
  TSiteProject* window = m_form1->ActiveProject();
  auto* pages = window->findChild<QTabWidget*>("PageControl1");
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    QSet<QWidget*> wanted{tree()};
    for (QWidget* control : window->findChildren<QWidget*>())
      if (control->isVisible() && control->isEnabled() && control->focusPolicy() & Qt::TabFocus &&
          !control->focusProxy())
        wanted << control;
    tree()->setFocus();
    QSet<QWidget*> reached;
    for (qsizetype i = 0; i < 2 * wanted.size() + 4; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      reached << QApplication::focusWidget();
    }
    QStringList missed;
    for (QWidget* control : wanted - reached)
      missed << control->objectName() + ':' + control->metaObject()->className();
    QVERIFY2(missed.isEmpty(), qPrintable(pages->tabText(page) + ": " + missed.join(", ")));
  }
}

void TestMainWindowUse::newWindowsFitTheFrame() {
  auto* area = m_form1->findChild<QMdiArea*>();
  for (const QSize size : {QSize(800, 600), QSize(640, 480), QSize(870, 640), QSize(1280, 1024)}) {
    m_form1->resize(size);
    QTRY_COMPARE(m_form1->size(), size);
    for (int i = 0; i < 3; ++i) {
      if (i == 2)
        m_form1->OpenFiles({project("fit.orvana")});
      else
        m_form1->NewProjectExecute();
      const QRect window = m_form1->ActiveProject()->geometry();
      QVERIFY2(area->viewport()->rect().contains(window),
               qPrintable(QString("%1x%2").arg(size.width()).arg(size.height())));
      QCOMPARE(window.size(), QSize(695, 517).boundedTo(area->viewport()->size()));
    }
  }
}

void TestMainWindowUse::fitKeepsWindowsInsideAnyArea() {
  QRandomGenerator random(7);
  for (int i = 0; i < 5000; ++i) {
    const QRect wanted(random.bounded(-50, 900), random.bounded(-50, 900), random.bounded(1, 1200),
                       random.bounded(1, 1000));
    const QSize area(random.bounded(1, 1100), random.bounded(1, 900));
    const QRect fitted = orvana::FitInto(wanted, area);
    QVERIFY(QRect(QPoint(0, 0), area).contains(fitted));
    QCOMPARE(fitted.size(), wanted.size().boundedTo(area));
    // Moved no further than it takes.
    QCOMPARE(fitted.left(), qMin(qMax(wanted.left(), 0), area.width() - fitted.width()));
    QCOMPARE(fitted.top(), qMin(qMax(wanted.top(), 0), area.height() - fitted.height()));
  }
}

void TestMainWindowUse::dialogsSpeakRussianAndBoxesKeepTheirButtons() {
  QDir().mkpath(tempPath("here"));
  m_form1->OpenFiles({project("here/first.orvana")});
  for (const char* command : {"LoadProject", "SaveProjectAs"}) {
    QStringList texts;
    QString folder;
    QStringList filters;
    whenModal([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      texts << dialog->windowTitle();
      for (QAbstractButton* button : dialog->findChild<QDialogButtonBox*>()->buttons())
        texts << button->text();
      folder = dialog->directory().absolutePath();
      filters = dialog->nameFilters();
      dialog->reject();
    });
    triggerAction(m_form1, command);
    QCOMPARE(folder, tempPath("here"));
    QCOMPARE(filters, (QStringList{"Проекты (*.orvana)", "Все файлы (*)"}));
    for (const QString& text : texts)
      QVERIFY2(text.contains(QRegularExpression("[а-яА-Я]")), qPrintable(text));
  }
  // The program's own boxes and key names stay as they were.
  QStringList texts;
  whenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    texts << box->windowTitle();
    for (QAbstractButton* button : box->buttons()) texts << button->text();
    box->button(QMessageBox::Cancel)->click();
  });
  triggerAction(m_form1, "CloseProject");
  texts.sort();
  QCOMPARE(texts, (QStringList{"Cancel", "OK", "Warning"}));
  QCOMPARE(m_form1->findChild<QMenu*>("ProjectMenu")->actions().value(0)->text(),
           QString("Создать проект\tCtrl+N"));
}

void TestMainWindowUse::treeAndRecentListShowNamesAsTheyAre() {
  QCOMPARE(tree()->textElideMode(), Qt::ElideMiddle);
  const QString path = project("R&D site.orvana");
  m_form1->NewProjectExecute();
  m_form1->OpenFiles({path});
  // The node of a project just opened is the one selected, a new one's not.
  QCOMPARE(tree()->selectedItems(), QList<QTreeWidgetItem*>{tree()->topLevelItem(1)});
  tree()->topLevelItem(0)->setText(0, tempPath("renamed.orvana"));
  for (int i = 0; i < 2; ++i)
    QCOMPARE(tree()->topLevelItem(i)->toolTip(0), tree()->topLevelItem(i)->text(0));
  QCOMPARE(m_form1->findChild<QAction*>("RecentProject0")->iconText(), "1 " + path);
  // Any name, as Qt's menus read an entry's label.
  QRandomGenerator random(11);
  for (int i = 0; i < 1000; ++i) {
    QString name;
    for (int n = random.bounded(1, 12); n > 0; --n) name += QString("a&&Д_/")[random.bounded(6)];
    const QAction entry(orvana::TForm1::RecentEntryText(i % 8, name));
    QCOMPARE(entry.iconText(), QString::number(i % 8 + 1) + ' ' + name);
    QCOMPARE(QKeySequence::mnemonic(entry.text()),
             QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + i % 8)));
  }
}

QTEST_MAIN(TestMainWindowUse)
#include "TestMainWindowUse.moc"
