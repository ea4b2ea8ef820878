// The preview server on a free port of 127.0.0.1, asked over real sockets
// with requests written byte for byte, so that every spelling of a path
// reaches it as typed.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "preview/PreviewFiles.h"
#include "preview/PreviewServer.h"

using orvana::preview::PreviewServer;

namespace {

struct Answer {
  int status = 0;
  QMap<QByteArray, QByteArray> headers;  // names in lower case
  QByteArray body;
  QByteArray raw;
};

void writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

}  // namespace

class TestPreviewServer : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void answersFilesWithTheirTypesAndCharset();
  void headGivesTheHeadersOfGetWithoutBody();
  void reloadScriptOnlyInHtmlAnswers();
  void refusesEveryOtherMethod();
  void refusesEveryPathOutOfTheFolder();
  void randomPathsNeverReachOutside();
  void refusesAnotherHost();
  void reloadChannelTakesOwnOriginOnly();

 private:
  Answer ask(const QByteArray &requestLine, const QByteArray &host = {});
  QString site() const { return m_dir.filePath(QStringLiteral("site")); }

  QTemporaryDir m_dir;
  PreviewServer m_server;
  QByteArray m_page;
};

void TestPreviewServer::initTestCase() {
  QVERIFY(m_dir.isValid());
  QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("site/sub")));
  QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("outside")));
  // "Привет" in Windows-1251.
  m_page = "<html><head><title>t</title></head><body>\xcf\xf0\xe8\xe2\xe5\xf2</BODY></html>";
  writeFile(site() + "/index.html", m_page);
  writeFile(site() + "/style.css", "body{color:red}");
  writeFile(site() + "/sitemap.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><urlset/>");
  writeFile(site() + "/logo.png", "\x89PNG\r\n");
  writeFile(site() + "/sub/index.html", "<p>sub</p>");
  writeFile(site() + "/.hidden", "hidden");
  writeFile(m_dir.filePath("outside/secret.txt"), "TOPSECRET");
  QVERIFY(QFile::link(m_dir.filePath("outside/secret.txt"), site() + "/link.txt"));
  QVERIFY(QFile::link(m_dir.filePath("outside"), site() + "/linkdir"));
  m_server.setSite(site(), "windows-1251");
  QVERIFY(m_server.listen(0));
  QVERIFY(m_server.port() != 0);
  QCOMPARE(m_server.address(), QStringLiteral("http://127.0.0.1:%1/").arg(m_server.port()));
}

Answer TestPreviewServer::ask(const QByteArray &requestLine, const QByteArray &host) {
  QTcpSocket socket;
  socket.connectToHost(QHostAddress::LocalHost, m_server.port());
  const QByteArray hostHeader =
      host.isEmpty() ? "127.0.0.1:" + QByteArray::number(m_server.port()) : host;
  socket.write(requestLine + "\r\nHost: " + hostHeader + "\r\nContent-Length: 0\r\n\r\n");
  Answer a;
  const bool head = requestLine.startsWith("HEAD ");
  // Read until the headers and as many bytes as they announce have come,
  // or the server closes.
  auto complete = [&] {
    a.raw += socket.readAll();
    const qsizetype end = a.raw.indexOf("\r\n\r\n");
    if (end < 0) return socket.state() == QAbstractSocket::UnconnectedState;
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("\r\ncontent-length: *(\\d+)"),
                           QRegularExpression::CaseInsensitiveOption)
            .match(QString::fromLatin1(a.raw.left(end)));
    const qsizetype want = head || !m.hasMatch() ? 0 : m.captured(1).toLongLong();
    return a.raw.size() >= end + 4 + want;
  };
  QEventLoop loop;
  connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
    if (complete()) loop.quit();
  });
  connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  if (!complete()) loop.exec();
  a.raw += socket.readAll();
  const qsizetype end = a.raw.indexOf("\r\n\r\n");
  if (end < 0) return a;
  const QList<QByteArray> lines = a.raw.left(end).split('\n');
  a.status = lines.value(0).split(' ').value(1).toInt();
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype colon = lines[i].indexOf(':');
    a.headers[lines[i].left(colon).trimmed().toLower()] = lines[i].mid(colon + 1).trimmed();
  }
  a.body = a.raw.mid(end + 4);
  return a;
}

void TestPreviewServer::answersFilesWithTheirTypesAndCharset() {
  for (const QByteArray &charset : {QByteArray("windows-1251"), QByteArray("utf-8")}) {
    m_server.setSite(site(), charset);
    const QList<std::pair<QByteArray, QByteArray>> expected = {
        {"/", "text/html; charset=" + charset},
        {"/index.html", "text/html; charset=" + charset},
        {"/sub/", "text/html; charset=" + charset},
        {"/style.css", "text/css; charset=" + charset},
        {"/sitemap.xml", "application/xml"},
        {"/logo.png", "image/png"},
    };
    for (const auto &[path, type] : expected) {
      const Answer a = ask("GET " + path + " HTTP/1.1");
      QCOMPARE(a.status, 200);
      QCOMPARE(a.headers.value("content-type"), type);
      QCOMPARE(a.headers.value("content-length").toLongLong(), a.body.size());
      QCOMPARE(a.headers.value("x-content-type-options"), QByteArray("nosniff"));
    }
  }
  m_server.setSite(site(), "windows-1251");
  QCOMPARE(ask("GET /style.css HTTP/1.1").body, QByteArray("body{color:red}"));
  QCOMPARE(ask("GET /nothing.html HTTP/1.1").status, 404);
  QCOMPARE(ask("GET /.hidden HTTP/1.1").status, 404);
}

void TestPreviewServer::headGivesTheHeadersOfGetWithoutBody() {
  for (const QByteArray path : {"/", "/style.css", "/logo.png", "/missing"}) {
    const Answer get = ask("GET " + path + " HTTP/1.1");
    const Answer head = ask("HEAD " + path + " HTTP/1.1");
    QCOMPARE(head.status, get.status);
    QCOMPARE(head.headers, get.headers);
    QVERIFY(head.body.isEmpty());
  }
}

void TestPreviewServer::reloadScriptOnlyInHtmlAnswers() {
  const Answer page = ask("GET /index.html HTTP/1.1");
  // The script stands before the last </body>, whatever its case, and the
  // page's own bytes are all there around it.
  const qsizetype at = page.body.indexOf("<script>");
  QVERIFY(at > 0);
  QVERIFY(page.body.indexOf(orvana::preview::kReloadPath) > at);
  QCOMPARE(page.body.left(at) + page.body.mid(page.body.indexOf("</BODY>")), m_page);
  QFile disk(site() + "/index.html");
  QVERIFY(disk.open(QIODevice::ReadOnly));
  QCOMPARE(disk.readAll(), m_page);
  QVERIFY(!ask("GET /style.css HTTP/1.1").body.contains("<script>"));
  QVERIFY(ask("GET /sub/ HTTP/1.1").body.startsWith("<p>sub</p><script>"));
}

void TestPreviewServer::refusesEveryOtherMethod() {
  for (const QByteArray method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS"}) {
    const Answer a = ask(method + " /index.html HTTP/1.1");
    QCOMPARE(a.status, 405);
    QCOMPARE(a.headers.value("allow"), QByteArray("GET, HEAD"));
  }
  QFile disk(site() + "/index.html");
  QVERIFY(disk.open(QIODevice::ReadOnly));
  QCOMPARE(disk.readAll(), m_page);
}

void TestPreviewServer::refusesEveryPathOutOfTheFolder() {
  const QByteArray absolute = QUrl::toPercentEncoding(m_dir.filePath("outside/secret.txt"), "/");
  const QList<QByteArray> paths = {"/../outside/secret.txt",
                                   "/sub/../../outside/secret.txt",
                                   "/%2e%2e/outside/secret.txt",
                                   "/%2E%2E%2Foutside%2Fsecret.txt",
                                   "/..%2foutside/secret.txt",
                                   "/.%2e/outside/secret.txt",
                                   "/..%5coutside%5csecret.txt",
                                   "/..\\outside\\secret.txt",
                                   "/%5c..%5c..%5coutside",
                                   "/link.txt",
                                   "/linkdir/secret.txt",
                                   "/linkdir/",
                                   "/%6c%69%6e%6b.txt",
                                   "/index.html%00.css",
                                   "/%00",
                                   "/style.css%00/../../outside/secret.txt",
                                   "//" + absolute,
                                   "/sub/%2e%2e/%2e%2e/outside/secret.txt",
                                   "/%252e%252e/outside/secret.txt"};
  for (const QByteArray &path : paths) {
    const Answer a = ask("GET " + path + " HTTP/1.1");
    QVERIFY2(a.status == 404 || a.status == 400, path.constData());
    QVERIFY2(!a.raw.contains("TOPSECRET"), path.constData());
  }
}

void TestPreviewServer::randomPathsNeverReachOutside() {
  // Paths made of every piece of a traversal: whatever they spell, an
  // answer is a file of the folder or a refusal, never the outside file.
  const QList<QByteArray> pieces = {"..",      ".",          "%2e%2e",   "%2E.",    "%2e",
                                    "%2f",     "%5c",        "\\",       "",        "sub",
                                    "outside", "secret.txt", "link.txt", "linkdir", "index.html",
                                    "%00",     "..%2f",      "%2e%2e%2f"};
  QRandomGenerator random(20240607);
  for (int i = 0; i < 300; ++i) {
    QByteArray path;
    for (int n = random.bounded(1, 7); n > 0; --n)
      path += '/' + pieces[random.bounded(int(pieces.size()))];
    const Answer a = ask("GET " + path + " HTTP/1.1");
    QVERIFY2(a.status == 200 || a.status == 404 || a.status == 400, path.constData());
    QVERIFY2(!a.raw.contains("TOPSECRET"), path.constData());
    if (a.status == 200)
      QVERIFY2(a.body.startsWith(m_page.left(20)) || a.body.startsWith("<p>sub</p>"),
               path.constData());
  }
}

void TestPreviewServer::refusesAnotherHost() {
  QCOMPARE(ask("GET / HTTP/1.1", "attacker.example").status, 403);
  QCOMPARE(ask("GET / HTTP/1.1", "127.0.0.1:1").status, 403);
  QCOMPARE(ask("GET / HTTP/1.1", "localhost:" + QByteArray::number(m_server.port())).status, 200);
}

void TestPreviewServer::reloadChannelTakesOwnOriginOnly() {
  const QByteArray channel = QByteArray("GET ") + orvana::preview::kReloadPath + " HTTP/1.1";
  const QByteArray own = m_server.address().chopped(1).toUtf8();
  for (const QByteArray header :
       {"Origin: http://attacker.example", "Origin: http://127.0.0.1:1", "Origin: null",
        "Sec-Fetch-Site: cross-site", "Sec-Fetch-Site: same-site"})
    QCOMPARE(ask(channel + "\r\n" + header).status, 403);

  // Two pages listen; the events reach both, and a page that opens while
  // the error stands is told it at once.
  auto listen = [&](QTcpSocket &socket, const QByteArray &header) {
    socket.connectToHost(QHostAddress::LocalHost, m_server.port());
    socket.write(channel + "\r\nHost: 127.0.0.1:" + QByteArray::number(m_server.port()) + "\r\n" +
                 header + "\r\n\r\n");
  };
  QTcpSocket first, second, later;
  QByteArray heardFirst, heardSecond, heardLater;
  auto collect = [](QTcpSocket &socket, QByteArray &into) {
    connect(&socket, &QTcpSocket::readyRead, [&] { into += socket.readAll(); });
  };
  collect(first, heardFirst);
  collect(second, heardSecond);
  collect(later, heardLater);
  listen(first, "Origin: " + own);
  listen(second, "Sec-Fetch-Site: same-origin");
  QTRY_COMPARE(m_server.openPages(), 2);
  QVERIFY(heardFirst.startsWith("HTTP/1.1 200"));
  QVERIFY(heardFirst.contains("Content-Type: text/event-stream"));

  m_server.showError(QStringLiteral("Папка не найдена"));
  QTRY_VERIFY(
      heardSecond.contains("data: {\"message\":\"Папка не найдена\",\"type\":\"error\"}\n\n"));
  QTRY_VERIFY(heardFirst.contains("\"type\":\"error\""));
  listen(later, "Origin: http://localhost:" + QByteArray::number(m_server.port()));
  QTRY_VERIFY(heardLater.contains("\"type\":\"error\""));

  m_server.reloadPages();
  for (QByteArray *heard : {&heardFirst, &heardSecond, &heardLater})
    QTRY_VERIFY(heard->endsWith("data: {\"type\":\"reload\"}\n\n"));
  first.disconnectFromHost();
  QTRY_COMPARE(m_server.openPages(), 2);
}

QTEST_GUILESS_MAIN(TestPreviewServer)
#include "TestPreviewServer.moc"
