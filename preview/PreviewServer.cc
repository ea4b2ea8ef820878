// Everything that touches Qt's HTTP server, whose interface differs between
// Qt releases, is in this file. This is Qt 6.4's (Debian 12): a subclass of
// QAbstractHttpServer takes every request in handleRequest with the socket
// it came on. The reload channel is an event stream (text/event-stream):
// its answer's head is written through the responder, and the socket stays
// open for the events, which are written onto it as they come.
#include "preview/PreviewServer.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUrl>
#include <algorithm>
#include <utility>

#include "preview/PreviewFiles.h"

namespace orvana::preview {

using Status = QHttpServerResponder::StatusCode;

namespace {

// What the reload channel sends a page when the build failed: one event.
QByteArray errorMessage(const QString &message) {
  return QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("error")},
                                   {QStringLiteral("message"), message}})
      .toJson(QJsonDocument::Compact);
}

QByteArray streamEvent(const QByteArray &json) { return "data: " + json + "\n\n"; }

}  // namespace

class PreviewHttp : public QAbstractHttpServer {
 public:
  explicit PreviewHttp(PreviewServer &owner) : m_owner(owner) {}

 protected:
  bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override {
    QHttpServerResponder responder = makeResponder(request, socket);
    const bool stream = answer(request, responder, socket);
    // Qt's server keeps every connection open; a client that asks for the
    // end of it gets it once the answer is out.
    if (!stream && request.value("Connection").toLower() == "close") socket->disconnectFromHost();
    return true;
  }
  void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override {
    QHttpServerResponder responder = makeResponder(request, socket);
    send(responder, Status::NotFound, "Not found\n", false);
  }

 private:
  // Returns true when the socket now carries an event stream.
  bool answer(const QHttpServerRequest &request, QHttpServerResponder &responder,
              QTcpSocket *socket);
  void send(QHttpServerResponder &responder, Status status, const QByteArray &body, bool head,
            const QByteArray &type = "text/plain; charset=utf-8",
            const QList<std::pair<QByteArray, QByteArray>> &extra = {});

  PreviewServer &m_owner;
};

void PreviewHttp::send(QHttpServerResponder &responder, Status status, const QByteArray &body,
                       bool head, const QByteArray &type,
                       const QList<std::pair<QByteArray, QByteArray>> &extra) {
  responder.writeStatusLine(status);
  responder.writeHeader("Content-Type", type);
  // HEAD gives the length GET would give, without the body.
  responder.writeHeader("Content-Length", QByteArray::number(body.size()));
  // Every answer is the site as it is now: a rebuilt page is never taken
  // from the browser's cache, and nothing is guessed from its bytes.
  responder.writeHeader("Cache-Control", "no-store");
  responder.writeHeader("X-Content-Type-Options", "nosniff");
  for (const auto &[name, value] : extra) responder.writeHeader(name, value);
  responder.writeBody(head ? QByteArray() : body);
}

bool PreviewHttp::answer(const QHttpServerRequest &request, QHttpServerResponder &responder,
                         QTcpSocket *socket) {
  const auto method = request.method();
  const bool head = method == QHttpServerRequest::Method::Head;
  if (method != QHttpServerRequest::Method::Get && !head) {
    send(responder, Status::MethodNotAllowed, "Method not allowed\n", false,
         "text/plain; charset=utf-8", {{"Allow", "GET, HEAD"}});
    return false;
  }
  const QByteArray host = request.value("Host").toLower();
  const QByteArray port = QByteArray::number(m_owner.port());
  if (host != "127.0.0.1:" + port && host != "localhost:" + port) {
    send(responder, Status::Forbidden, "Forbidden\n", head);
    return false;
  }
  const QByteArray encodedPath = request.url().path(QUrl::FullyEncoded).toUtf8();
  if (encodedPath == kReloadPath) {
    // A page of another site, even one the browser shows from this machine,
    // does not hear of the builds.
    const QByteArray origin = request.value("Origin");
    const QByteArray fetchSite = request.value("Sec-Fetch-Site");
    if ((!origin.isEmpty() && !m_owner.isOwnOrigin(origin)) ||
        (!fetchSite.isEmpty() && fetchSite != "same-origin" && fetchSite != "none")) {
      send(responder, Status::Forbidden, "Forbidden\n", head);
      return false;
    }
    if (head) {
      send(responder, Status::Ok, QByteArray(), true, "text/event-stream");
      return false;
    }
    responder.writeStatusLine(Status::Ok);
    responder.writeHeader("Content-Type", "text/event-stream");
    responder.writeHeader("Cache-Control", "no-store");
    // A lost stream is opened again a second later.
    responder.writeBody(QByteArray("retry: 1000\n\n"));
    m_owner.addPage(socket);
    return true;
  }
  const QString path = resolveSitePath(m_owner.siteFolder(), encodedPath);
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
    send(responder, Status::NotFound, "Not found\n", head);
    return false;
  }
  const QByteArray type = contentTypeFor(path, m_owner.charset());
  QByteArray body = file.readAll();
  if (type.startsWith("text/html")) body = withReloadScript(body);
  send(responder, Status::Ok, body, head, type);
  return false;
}

PreviewServer::PreviewServer(QObject *parent)
    : QObject(parent), m_http(std::make_unique<PreviewHttp>(*this)) {}

PreviewServer::~PreviewServer() = default;

bool PreviewServer::listen(quint16 port) {
  if (m_port != 0) return true;
  m_port = m_http->listen(QHostAddress::LocalHost, port);
  return m_port != 0;
}

QString PreviewServer::address() const {
  return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

void PreviewServer::setSite(const QString &folder, const QByteArray &charset) {
  m_folder = folder;
  m_charset = charset;
}

bool PreviewServer::isOwnOrigin(const QByteArray &origin) const {
  const QByteArray port = QByteArray::number(m_port);
  return origin == "http://127.0.0.1:" + port || origin == "http://localhost:" + port;
}

int PreviewServer::openPages() const {
  return static_cast<int>(
      std::count_if(m_pages.cbegin(), m_pages.cend(), [](const QPointer<QTcpSocket> &p) {
        return p && p->state() == QAbstractSocket::ConnectedState;
      }));
}

void PreviewServer::addPage(QTcpSocket *socket) {
  // The sockets of closed pages are gone by now; their places go too.
  m_pages.removeAll(nullptr);
  m_pages.append(socket);
  // A page opened while the last build stands failed is told at once.
  if (!m_error.isEmpty()) socket->write(streamEvent(errorMessage(m_error)));
}

void PreviewServer::sendToPages(const QByteArray &message) {
  for (const QPointer<QTcpSocket> &page : std::as_const(m_pages))
    if (page && page->state() == QAbstractSocket::ConnectedState) page->write(streamEvent(message));
}

void PreviewServer::reloadPages() {
  m_error.clear();
  sendToPages(R"({"type":"reload"})");
}

void PreviewServer::showError(const QString &message) {
  m_error = message.isEmpty() ? QStringLiteral("?") : message;
  sendToPages(errorMessage(m_error));
}

}  // namespace orvana::preview
