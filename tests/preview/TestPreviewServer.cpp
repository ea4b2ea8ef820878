// The preview server on a free port of 127.0.0.1, asked over real sockets
// with requests written byte for byte, so every spelling of a path reaches
// it as typed.
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "preview/PreviewFiles.h"
#include "preview/PreviewServer.h"

struct Answer {
  int status = 0;
  QMap<QByteArray, QByteArray> headers;  // names in lower case
  QByteArray body, raw;
};

class TestPreviewServer : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void typesCharsetsAndHead();
  void onlyGetAndHeadFromThisHost();
  void noPathLeavesTheFolder();
  void reloadChannel();

 private:
  // Sends the request and reads the answer until the server closes; with
  // `stay`, the head only, and the socket stays open for an event stream.
  Answer ask(const QByteArray& request, QTcpSocket* stay = nullptr);
  QByteArray host() const { return "Host: 127.0.0.1:" + QByteArray::number(m_server.port()); }
  QTemporaryDir m_dir;
  orvana::preview::PreviewServer m_server;
  // "Привет" in Windows-1251, before a </BODY> in capitals.
  const QByteArray m_page = "<html><body>\xcf\xf0\xe8\xe2\xe5\xf2</BODY></html>";
};

void TestPreviewServer::initTestCase() {
  const QString site = m_dir.filePath("site");
  QVERIFY(QDir().mkpath(site + "/sub") && QDir().mkpath(m_dir.filePath("out")));
  const QMap<QString, QByteArray> files = {
      {"site/index.html", m_page},       {"site/style.css", "b{}"},
      {"site/sitemap.xml", "<urlset/>"}, {"site/logo.png", "\x89PNG"},
      {"site/sub/index.html", "<p>"},    {"site/.hidden", "h"},
      {"out/secret.txt", "TOPSECRET"}};
  for (const auto& [name, bytes] : files.asKeyValueRange()) {
    QFile file(m_dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
  }
  QVERIFY(QFile::link(m_dir.filePath("out/secret.txt"), site + "/link.txt"));
  QVERIFY(QFile::link(m_dir.filePath("out"), site + "/linkdir"));
  m_server.setSite(site, "windows-1251");
  QVERIFY(m_server.listen(0));
}

Answer TestPreviewServer::ask(const QByteArray& request, QTcpSocket* stay) {
  QTcpSocket own;
  QTcpSocket& socket = stay ? *stay : own;
  socket.connectToHost(QHostAddress::LocalHost, m_server.port());
  socket.write(request + (stay ? "" : "\r\nConnection: close") + "\r\n\r\n");
  Answer a;
  QEventLoop loop;
  connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
    a.raw += socket.readAll();
    if (stay && a.raw.contains("\r\n\r\n")) loop.quit();
  });
  connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);
  loop.exec();
  a.raw += socket.readAll();
  const qsizetype end = a.raw.indexOf("\r\n\r\n");
  const QList<QByteArray> lines = a.raw.left(end).split('\n');
  a.status = lines.value(0).split(' ').value(1).toInt();
  for (const QByteArray& line : lines.mid(1))
    a.headers[line.left(line.indexOf(':')).toLower()] = line.mid(line.indexOf(':') + 1).trimmed();
  a.body = end < 0 ? QByteArray() : a.raw.mid(end + 4);
  return a;
}

void TestPreviewServer::typesCharsetsAndHead() {
  for (const QByteArray& charset : {QByteArray("windows-1251"), QByteArray("utf-8")}) {
    m_server.setSite(m_server.siteFolder(), charset);
    for (const auto& [path, type] :
         QList<std::pair<QByteArray, QByteArray>>{{"/", "text/html; charset=" + charset},
                                                  {"/sub/", "text/html; charset=" + charset},
                                                  {"/style.css", "text/css; charset=" + charset},
                                                  {"/sitemap.xml", "application/xml"},
                                                  {"/logo.png", "image/png"},
                                                  {"/none.html", "text/plain; charset=utf-8"}}) {
      const Answer get = ask("GET " + path + " HTTP/1.1\r\n" + host());
      QCOMPARE(get.status, path == "/none.html" ? 404 : 200);
      QCOMPARE(get.headers.value("content-type"), type);
      QCOMPARE(get.headers.value("content-length").toLongLong(), get.body.size());
      QCOMPARE(get.headers.value("x-content-type-options"), QByteArray("nosniff"));
      // HEAD: the same head, no body.
      const Answer head = ask("HEAD " + path + " HTTP/1.1\r\n" + host());
      QCOMPARE(head.headers, get.headers);
      QVERIFY(head.body.isEmpty());
    }
  }
  // The reload script goes before the last </body>, whatever its case, into
  // HTML answers only; the file keeps its bytes.
  const QByteArray page = ask("GET /index.html HTTP/1.1\r\n" + host()).body;
  const qsizetype at = page.indexOf("<script>");
  QVERIFY(at > 0 && page.indexOf(orvana::preview::kReloadPath) > at);
  QCOMPARE(page.left(at) + page.mid(page.indexOf("</BODY>")), m_page);
  QFile disk(m_server.siteFolder() + "/index.html");
  QVERIFY(disk.open(QIODevice::ReadOnly) && disk.readAll() == m_page);
  QCOMPARE(ask("GET /style.css HTTP/1.1\r\n" + host()).body, QByteArray("b{}"));
}

void TestPreviewServer::onlyGetAndHeadFromThisHost() {
  for (const QByteArray method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS"}) {
    const Answer a = ask(method + " /index.html HTTP/1.1\r\n" + host() + "\r\nContent-Length: 0");
    QCOMPARE(a.status, 405);
    QCOMPARE(a.headers.value("allow"), QByteArray("GET, HEAD"));
  }
  const QByteArray port = QByteArray::number(m_server.port());
  for (const QByteArray& other : {QByteArray("evil.example"), "evil.example:" + port,
                                  QByteArray("127.0.0.1:1"), QByteArray()})
    QCOMPARE(ask("GET / HTTP/1.1\r\nHost: " + other).status, 403);
  QCOMPARE(ask("GET / HTTP/1.1\r\nHost: localhost:" + port).status, 200);
}

void TestPreviewServer::noPathLeavesTheFolder() {
  // Named spellings, then random paths of their pieces: an answer is a file
  // of the folder or a refusal, never a byte of the file outside.
  QList<QByteArray> paths = {"/../out/secret.txt",
                             "/%2e%2e/out/secret.txt",
                             "/%2E%2E%2Fout%2Fsecret.txt",
                             "/..%5cout%5csecret.txt",
                             "/..\\out\\secret.txt",
                             "/link.txt",
                             "/linkdir/secret.txt",
                             "/%6c%69%6e%6b.txt",
                             "/index.html%00.css",
                             "/.hidden",
                             "/%252e%252e/out/secret.txt",
                             "//" + QUrl::toPercentEncoding(m_dir.filePath("out/secret.txt"), "/")};
  const QList<QByteArray> pieces = {
      "..",  ".",   "%2e%2e",     "%2E.",     "%2f", "%5c",     "\\",         "",
      "sub", "out", "secret.txt", "link.txt", "%00", "linkdir", "index.html", "..%2f"};
  const qsizetype named = paths.size();
  QRandomGenerator random(20240607);
  for (int i = 0; i < 300; ++i) {
    QByteArray path;
    for (int n = random.bounded(1, 6); n > 0; --n) path += '/' + pieces[random.bounded(16)];
    paths.append(path);
  }
  for (int i = 0; i < paths.size(); ++i) {
    const Answer a = ask("GET " + paths[i] + " HTTP/1.1\r\n" + host());
    QVERIFY2(!a.raw.contains("TOPSECRET"), paths[i].constData());
    QVERIFY2(i >= named ? a.status == 200 || a.status == 404 || a.status == 400 : a.status == 404,
             paths[i].constData());
    if (a.status == 200)
      QVERIFY2(a.body.startsWith("<html>") || a.body.startsWith("<p>"), paths[i].constData());
  }
}

void TestPreviewServer::reloadChannel() {
  const QByteArray channel = QByteArray("GET ") + orvana::preview::kReloadPath + " HTTP/1.1\r\n";
  for (const QByteArray header : {"Origin: http://evil.example", "Origin: http://127.0.0.1:1",
                                  "Origin: null", "Sec-Fetch-Site: cross-site"})
    QCOMPARE(ask(channel + host() + "\r\n" + header).status, 403);
  // A page of this server hears of the builds, a failure first.
  QTcpSocket page;
  const QByteArray own = "Origin: " + m_server.address().chopped(1).toUtf8();
  QCOMPARE(ask(channel + host() + "\r\n" + own, &page).headers.value("content-type"),
           QByteArray("text/event-stream"));
  QTRY_COMPARE(m_server.openPages(), 1);
  m_server.showError(QStringLiteral("Папка не найдена"));
  QTRY_VERIFY(
      page.peek(4096).endsWith("data: {\"message\":\"Папка не найдена\",\"type\":\"error\"}\n\n"));
  m_server.reloadPages();
  QTRY_VERIFY(page.peek(4096).endsWith("data: {\"type\":\"reload\"}\n\n"));
  page.disconnectFromHost();
  QTRY_COMPARE(m_server.openPages(), 0);
}

QTEST_GUILESS_MAIN(TestPreviewServer)
#include "TestPreviewServer.moc"
