// "Просмотр" of a project window: the site generated when there is none,
// served with the address shown, copied and handed to the browser, the open
// pages told to reload after each Generate, the server gone with the window.
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QtTest>

#include "folderdialog/PFolderDialog.h"
#include "gui/Dialogs.h"
#include "gui/TextBridge.h"
#include "tests/gui/GuiTestBase.h"
#include "window/FProject.h"

using namespace orvana;

class TestProjectPreview : public ProjectWindowTestBase {
  Q_OBJECT
 private slots:
  void previewServesTheSiteAndReloadsAfterGenerate();
};

void TestProjectPreview::previewServesTheSiteAndReloadsAfterGenerate() {
  TSiteProject* w = newWindow();
  const QString folder = tempPath("site");
  QVERIFY(QDir().mkpath(folder));
  TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  control<QPlainTextEdit>(w, "Memo2")->setPlainText("Первая страница сайта.");
  auto* address = control<QLineEdit>(w, "PreviewAddress");
  QVERIFY(!address->isVisibleTo(w));
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "PreviewButton")->click();
  QCOMPARE(boxTexts(), QStringList{"Генерация завершена"});
  const auto shown = QRegularExpression("^http://127\\.0\\.0\\.1:(\\d+)/$").match(address->text());
  QVERIFY2(shown.hasMatch() && address->isVisibleTo(w), qPrintable(address->text()));
  QCOMPARE(DesktopOpener::opened(), QList<QUrl>{QUrl(address->text())});
  control<QPushButton>(w, "PreviewCopy")->click();
  QCOMPARE(QGuiApplication::clipboard()->text(), address->text());

  // An open page: the site as generated, then the news of the next Generate.
  const quint16 port = static_cast<quint16>(shown.captured(1).toUInt());
  QTcpSocket page;
  page.connectToHost(QHostAddress::LocalHost, port);
  page.write("GET / HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n" +
             "GET /.orvana-preview/reload HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
             "\r\n\r\n");
  QByteArray heard;
  connect(&page, &QTcpSocket::readyRead, [&] { heard += page.readAll(); });
  QTRY_VERIFY(heard.contains("retry:"));
  QVERIFY(heard.contains("Content-Type: text/html; charset=windows-1251"));
  QVERIFY(heard.contains(QByteArray::fromStdString(ToEngine("Первая страница сайта."))));
  QVERIFY(!readFile(folder + "/index.html").contains("<script>"));
  control<QPlainTextEdit>(w, "Memo2")->setPlainText("Новый текст.");
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QTRY_VERIFY(heard.endsWith("data: {\"type\":\"reload\"}\n\n"));

  // Again: the same server; closing the project stops it.
  control<QPushButton>(w, "PreviewButton")->click();
  QCOMPARE(DesktopOpener::opened(), QList<QUrl>(2, QUrl(shown.captured(0))));
  delete w;
  QTRY_COMPARE(page.state(), QAbstractSocket::UnconnectedState);
  QTcpSocket late;
  late.connectToHost(QHostAddress::LocalHost, port);
  QVERIFY(!late.waitForConnected(2000));
}

QTEST_MAIN(TestProjectPreview)
#include "TestProjectPreview.moc"
