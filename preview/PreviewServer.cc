// Everything that touches Qt's HTTP server, whose interface differs between
// Qt releases, is in this file. This is Qt 6.4's (Debian 12): a subclass of
// QAbstractHttpServer takes every request in handleRequest with the socket
// it came on, and WebSocket upgrades arrive through newWebSocketConnection.
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
#include <QWebSocket>
#include <utility>

#include "preview/PreviewFiles.h"

namespace orvana::preview {

using Status = QHttpServerResponder::StatusCode;

namespace {

// What the reload channel sends a page when the build failed.
QByteArray errorMessage(const QString &message) {
  return QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("error")},
                                   {QStringLiteral("message"), message}})
      .toJson(QJsonDocument::Compact);
}

}  // namespace

class PreviewHttp : public QAbstractHttpServer {
 public:
  explicit PreviewHttp(PreviewServer &owner) : m_owner(owner) {}

 protected:
  bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override {
    QHttpServerResponder responder = makeResponder(request, socket);
    answer(request, responder);
    return true;
  }
  void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override {
    QHttpServerResponder responder = makeResponder(request, socket);
    send(responder, Status::NotFound, "Not found\n", false);
  }

 private:
  void answer(const QHttpServerRequest &request, QHttpServerResponder &responder);
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

void PreviewHttp::answer(const QHttpServerRequest &request, QHttpServerResponder &responder) {
  const auto method = request.method();
  const bool head = method == QHttpServerRequest::Method::Head;
  if (method != QHttpServerRequest::Method::Get && !head) {
    send(responder, Status::MethodNotAllowed, "Method not allowed\n", false,
         "text/plain; charset=utf-8", {{"Allow", "GET, HEAD"}});
    return;
  }
  const QByteArray host = request.value("Host").toLower();
  const QByteArray port = QByteArray::number(m_owner.port());
  if (host != "127.0.0.1:" + port && host != "localhost:" + port) {
    send(responder, Status::Forbidden, "Forbidden\n", head);
    return;
  }
  const QString path =
      resolveSitePath(m_owner.siteFolder(), request.url().path(QUrl::FullyEncoded).toUtf8());
  QFile file(path);
  if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
    send(responder, Status::NotFound, "Not found\n", head);
    return;
  }
  const QByteArray type = contentTypeFor(path, m_owner.charset());
  QByteArray body = file.readAll();
  if (type.startsWith("text/html")) body = withReloadScript(body);
  send(responder, Status::Ok, body, head, type);
}

PreviewServer::PreviewServer(QObject *parent)
    : QObject(parent), m_http(std::make_unique<PreviewHttp>(*this)) {
  // Connected before any listening: without a receiver the server refuses
  // every upgrade.
  connect(m_http.get(), &QAbstractHttpServer::newWebSocketConnection, this,
          &PreviewServer::takeWebSockets);
}

PreviewServer::~PreviewServer() {
  for (QWebSocket *page : std::as_const(m_pages)) {
    page->disconnect(this);
    page->close(QWebSocketProtocol::CloseCodeGoingAway);
  }
}

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

void PreviewServer::takeWebSockets() {
  while (m_http->hasPendingWebSocketConnections()) {
    QWebSocket *page = m_http->nextPendingWebSocketConnection().release();
    // A page of another origin (any site the browser shows) is closed
    // before it hears anything.
    if (!isOwnOrigin(page->origin().toUtf8()) || page->requestUrl().path() != kReloadPath) {
      page->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("origin"));
      page->deleteLater();
      continue;
    }
    page->setParent(this);
    m_pages.append(page);
    connect(page, &QWebSocket::disconnected, this, [this, page] {
      m_pages.removeOne(page);
      page->deleteLater();
      emit openPagesChanged(openPages());
    });
    if (!m_error.isEmpty()) page->sendTextMessage(QString::fromUtf8(errorMessage(m_error)));
    emit openPagesChanged(openPages());
  }
}

void PreviewServer::sendToPages(const QByteArray &message) {
  const QString text = QString::fromUtf8(message);
  for (QWebSocket *page : std::as_const(m_pages)) page->sendTextMessage(text);
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
