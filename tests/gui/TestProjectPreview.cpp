// "Просмотр" of a project window: the site generated when there is none,
// served on 127.0.0.1 with the address shown and handed to the browser, the
// open pages told to reload after each generation, the server gone with the
// window.
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

#include "engine/CodePage.h"
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

 private:
  // The whole answer to a GET of path, asked over a socket of its own.
  static QByteArray get(quint16 port, const QByteArray& path);
};

QByteArray TestProjectPreview::get(quint16 port, const QByteArray& path) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, port);
  socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
               "\r\n\r\n");
  QByteArray answer;
  const bool complete = QTest::qWaitFor([&] {
    answer += socket.readAll();
    const qsizetype end = answer.indexOf("\r\n\r\n");
    const QRegularExpressionMatch length =
        QRegularExpression("Content-Length: (\\d+)").match(QString::fromLatin1(answer.left(end)));
    return end > 0 && length.hasMatch() && answer.size() >= end + 4 + length.captured(1).toInt();
  });
  return complete ? answer : QByteArray();
}

void TestProjectPreview::previewServesTheSiteAndReloadsAfterGenerate() {
  TSiteProject* w = newWindow();
  const QString folder = tempPath("site");
  QVERIFY(QDir().mkpath(folder));
  TPFolderDialog::ScriptNextResult(folder);
  control<QPushButton>(w, "Button2")->click();
  control<QPlainTextEdit>(w, "Memo2")->setPlainText("Первая страница сайта.\n\nВторой абзац.");

  // No site yet: Просмотр generates and writes it first.
  auto* address = control<QLineEdit>(w, "PreviewAddress");
  QVERIFY(!address->isVisibleTo(w));
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "PreviewButton")->click();
  QCOMPARE(boxTexts(), QStringList{"Генерация завершена"});
  QVERIFY(QFile::exists(folder + "/index.html"));
  const QRegularExpressionMatch shown =
      QRegularExpression("^http://127\\.0\\.0\\.1:(\\d+)/$").match(address->text());
  QVERIFY2(shown.hasMatch(), qPrintable(address->text()));
  QVERIFY(address->isVisibleTo(w) && address->isReadOnly());
  QCOMPARE(DesktopOpener::opened().value(0), QUrl(address->text()));
  control<QPushButton>(w, "PreviewCopy")->click();
  QCOMPARE(QGuiApplication::clipboard()->text(), address->text());
  const quint16 port = static_cast<quint16>(shown.captured(1).toUInt());

  QByteArray page = get(port, "/");
  QVERIFY2(page.contains("Content-Type: text/html; charset=windows-1251"), page.constData());
  QVERIFY(page.contains(QByteArray::fromStdString(ToEngine("Первая страница сайта."))));
  QVERIFY(!readFile(folder + "/index.html").contains("<script>"));

  // An open page hears of the next generation, and then gets the new site.
  QTcpSocket stream;
  QByteArray heard;
  connect(&stream, &QTcpSocket::readyRead, [&] { heard += stream.readAll(); });
  stream.connectToHost(QHostAddress::LocalHost, port);
  stream.write("GET /.orvana-preview/reload HTTP/1.1\r\nHost: 127.0.0.1:" +
               QByteArray::number(port) + "\r\n\r\n");
  QTRY_VERIFY(heard.contains("retry:"));
  control<QPlainTextEdit>(w, "Memo2")->setPlainText("Новый текст страницы.");
  MessageBox::setNextAnswer(MessageBox::Ok);
  control<QPushButton>(w, "Button1")->click();
  QTRY_VERIFY(heard.contains("data: {\"type\":\"reload\"}"));
  page = get(port, "/index.html");
  QVERIFY(page.contains(QByteArray::fromStdString(ToEngine("Новый текст страницы."))));

  // A second Просмотр reuses the server.
  control<QPushButton>(w, "PreviewButton")->click();
  QCOMPARE(address->text(), shown.captured(0));
  QCOMPARE(DesktopOpener::opened().size(), 2);

  // Closing the project stops its server.
  delete w;
  QTRY_COMPARE(stream.state(), QAbstractSocket::UnconnectedState);
  QTcpSocket late;
  late.connectToHost(QHostAddress::LocalHost, port);
  QVERIFY(!late.waitForConnected(2000));
}

QTEST_MAIN(TestProjectPreview)
#include "TestProjectPreview.moc"
