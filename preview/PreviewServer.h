// A site folder served to the browser on 127.0.0.1, with the open pages
// reloaded when the site is built again. The one class over Qt's HTTP
// server.
//
// Only GET and HEAD are answered (405 otherwise), only with files inside the
// site folder (see resolveSitePath; 404 otherwise), and only to requests
// whose Host names this server, so that a page of another site cannot read
// it by renaming its own host. HTML answers carry the reload script; the
// reload channel, an event stream, takes pages of this server only, by their
// Origin (and the browser's Sec-Fetch-Site).
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QTcpSocket;

namespace orvana::preview {

class PreviewHttp;

class PreviewServer : public QObject {
  Q_OBJECT

 public:
  explicit PreviewServer(QObject *parent = nullptr);
  ~PreviewServer() override;

  // Starts listening on 127.0.0.1, on `port` or, with 0, on a free one.
  // Returns false when the port cannot be had.
  bool listen(quint16 port = 0);
  quint16 port() const { return m_port; }
  // "http://127.0.0.1:PORT/".
  QString address() const;

  // The folder served and the charset its HTML, CSS and text files are
  // written in ("windows-1251" or "utf-8").
  void setSite(const QString &folder, const QByteArray &charset);
  QString siteFolder() const { return m_folder; }
  QByteArray charset() const { return m_charset; }

  // Tells every open page to reload, and forgets the last error.
  void reloadPages();
  // Shows `message` over every open page, and over pages opened later until
  // the next reloadPages.
  void showError(const QString &message);
  // The pages connected to the reload channel now.
  int openPages() const;

 private:
  friend class PreviewHttp;
  void addPage(QTcpSocket *socket);
  void sendToPages(const QByteArray &message);
  bool isOwnOrigin(const QByteArray &origin) const;

  std::unique_ptr<PreviewHttp> m_http;
  quint16 m_port = 0;
  QString m_folder;
  QByteArray m_charset = "windows-1251";
  QString m_error;
  // The open pages' event streams; Qt's server deletes a socket once closed.
  QList<QPointer<QTcpSocket>> m_pages;
};

}  // namespace orvana::preview
