// The preview of one project window's site in the desktop's browser: a
// preview server of its own on 127.0.0.1, started on demand, serving the
// project's output folder and reloading the open pages whenever the window
// has generated the site again. It lives as the window's child, so closing
// the project stops it.
//
// On the generation tab it adds "Просмотр" and, once the server runs, its
// address in a read-only field with a button that copies it.
#pragma once

#include <QObject>
#include <QPointer>

class QLineEdit;
class QPushButton;

namespace orvana {

namespace preview {
class PreviewServer;
}

class TSiteProject;

class TProjectPreview : public QObject {
  Q_OBJECT

 public:
  // Attaches the preview to `window` and puts its controls on the window's
  // generation tab.
  explicit TProjectPreview(TSiteProject* window);
  ~TProjectPreview() override;

  // The preview attached to `window`; nullptr for none.
  static TProjectPreview* of(TSiteProject* window);

  // Starts the server when it does not run yet (generating and writing the
  // site first when its folder holds no index.html) and opens the site in
  // the browser. Returns false when there is no site to show.
  bool start();
  bool isRunning() const;
  // "http://127.0.0.1:PORT/", or empty while stopped.
  QString address() const;

 protected:
  // Keeps the controls' row as wide as the generation group.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void placeRow();
  // The window's folder and charset into the server; the open pages reload.
  void siteChanged();

  TSiteProject* m_window;
  preview::PreviewServer* m_server = nullptr;
  QPointer<QWidget> m_row;
  QPointer<QPushButton> m_button;
  QPointer<QLineEdit> m_address;
  QPointer<QPushButton> m_copy;
};

}  // namespace orvana
