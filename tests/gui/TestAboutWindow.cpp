// The about window: its content, and the About command showing the same
// window modally each time.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "shell/MainFrame.h"
#include "shell/about.h"
#include "tests/gui/GuiTestBase.h"

using orvana::TForm1;
using orvana::TForm2;

class TestAboutWindow : public GuiTestBase {
  Q_OBJECT

 protected slots:
  void init() override;
  void cleanup() override;

 private slots:
  void content();
  void aboutShowsTheSameWindowEveryTime();
  void textCanBeCopiedButNotChanged();
  void closeBoxEndsTheShowingToo();

 private:
  QPointer<TForm1> m_form1;
  QPointer<TForm2> m_form2;
};

void TestAboutWindow::init() {
  GuiTestBase::init();
  m_form1 = new TForm1;
  m_form2 = new TForm2(m_form1);
  m_form1->SetAboutWindow(m_form2);
  m_form1->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_form1));
}

void TestAboutWindow::cleanup() {
  delete m_form1;
  GuiTestBase::cleanup();
}

void TestAboutWindow::content() {
  QVERIFY(!m_form2->isVisible());
  QVERIFY(m_form2->isWindow());
  QCOMPARE(m_form2->objectName(), QString("Form2"));
  QCOMPARE(m_form2->windowTitle(), QString("О программе"));
  // Fixed: the size cannot change, no minimise or maximise box.
  QCOMPARE(m_form2->size(), QSize(375, 210));
  QCOMPARE(m_form2->minimumSize(), QSize(375, 210));
  QCOMPARE(m_form2->maximumSize(), QSize(375, 210));
  QVERIFY(
      !(m_form2->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
  QCOMPARE(m_form2->pos(), QPoint(465, 364));

  auto* label = m_form2->findChild<QLabel*>("Label1");
  QVERIFY(label);
  QCOMPARE(label->text(), QString("Генератор минисайтов"));
  QVERIFY(label->font().pointSize() > m_form2->font().pointSize());
  QCOMPARE(label->pos(), QPoint(72, 8));

  auto* memo = m_form2->findChild<QPlainTextEdit*>("Memo1");
  QVERIFY(memo);
  const QStringList lines = memo->toPlainText().split('\n');
  QCOMPARE(lines.size(), 5);  // four lines, the last one empty, then the end
  QCOMPARE(lines[0], QString("Версия 1.0 от 31.07.2008"));
  QVERIFY(lines[1].startsWith("Разработчик: ") && lines[1].size() > 13);
  QVERIFY(lines[2].startsWith("Сайт программы: https://"));
  QCOMPARE(lines[3], QString());
  QCOMPARE(memo->geometry(), QRect(16, 40, 345, 129));

  auto* button = m_form2->findChild<QPushButton*>("Button1");
  QVERIFY(button);
  QCOMPARE(button->text(), QString("Закрыть"));
  QCOMPARE(button->geometry(), QRect(152, 176, 75, 25));
  // Tab order: the memo first, then the button.
  QList<QWidget*> order;
  for (QWidget* w = m_form2->nextInFocusChain(); w != m_form2; w = w->nextInFocusChain())
    if ((w->focusPolicy() & Qt::TabFocus) && !order.contains(w->focusProxy() ? w->focusProxy() : w))
      order << (w->focusProxy() ? w->focusProxy() : w);
  QCOMPARE(order, (QList<QWidget*>{memo, button}));
}

void TestAboutWindow::aboutShowsTheSameWindowEveryTime() {
  QList<QWidget*> shown;
  QStringList texts;
  for (int i = 0; i < 2; ++i) {
    whenModal([&](QWidget* modal) {
      shown << modal;
      QCOMPARE(modal->pos(), QPoint(465, 364));
      texts << modal->findChild<QPlainTextEdit*>("Memo1")->toPlainText();
      QTest::mouseClick(modal->findChild<QPushButton*>("Button1"), Qt::LeftButton);
    });
    triggerAction(m_form1, "About");
    QVERIFY(!m_form2->isVisible());
    QCOMPARE(m_form2->result(), int(QDialog::Rejected));
  }
  QCOMPARE(shown.size(), 2);
  QCOMPARE(shown[0], static_cast<QWidget*>(m_form2.data()));
  QCOMPARE(shown[1], shown[0]);
  QCOMPARE(texts[1], texts[0]);
}

void TestAboutWindow::textCanBeCopiedButNotChanged() {
  auto* memo = m_form2->findChild<QPlainTextEdit*>("Memo1");
  const QString before = memo->toPlainText();
  whenModal([&](QWidget* modal) {
    QVERIFY(memo->isReadOnly());
    memo->setFocus();
    QTest::keyClicks(memo, "typed");
    QTest::keyClick(memo, Qt::Key_Delete);
    memo->selectAll();
    memo->copy();
    QTest::mouseClick(modal->findChild<QPushButton*>("Button1"), Qt::LeftButton);
  });
  triggerAction(m_form1, "About");
  QCOMPARE(memo->toPlainText(), before);
  QCOMPARE(QApplication::clipboard()->text(), before);
}

void TestAboutWindow::closeBoxEndsTheShowingToo() {
  whenModal([](QWidget* modal) { modal->close(); });
  triggerAction(m_form1, "About");
  QVERIFY(!m_form2->isVisible());
  QVERIFY(m_form2);
  QCOMPARE(m_form2->result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestAboutWindow)
#include "TestAboutWindow.moc"
