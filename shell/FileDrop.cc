#include "shell/FileDrop.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <utility>

namespace orvana {

TFileDrop::TFileDrop(QWidget* window, Handler handler)
    : QObject(window), m_window(window), m_handler(std::move(handler)) {
  // Filtering the application rather than each widget reaches the widgets a
  // project window makes later as well.
  qApp->installEventFilter(this);
}

void TFileDrop::Split(const QMimeData* data, QStringList* files, QStringList* folders) {
  if (!data || !data->hasUrls()) return;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString path = url.toLocalFile();
    if (QFileInfo(path).isDir())
      folders->append(path);
    else
      files->append(path);
  }
}

bool TFileDrop::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  const auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != m_window) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  QStringList files;
  QStringList folders;
  Split(drop->mimeData(), &files, &folders);
  if (files.isEmpty() && folders.isEmpty()) return false;
  drop->acceptProposedAction();
  // The drag's source waits for the drop to end; the files open after it.
  if (type == QEvent::Drop)
    QMetaObject::invokeMethod(
        this, [this, files, folders] { m_handler(files, folders); }, Qt::QueuedConnection);
  return true;
}

}  // namespace orvana
