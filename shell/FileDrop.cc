#include "shell/FileDrop.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextCursor>
#include <QUrl>
#include <QWidget>

#include <string_view>
#include <utility>

#include "gui/TextBridge.h"

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
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != m_window) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  QStringList files;
  QStringList folders;
  Split(drop->mimeData(), &files, &folders);
  if (files.isEmpty() && folders.isEmpty()) return false;
  drop->acceptProposedAction();
  if (type != QEvent::Drop) return true;
  QStringList projects;
  QStringList others;
  for (const QString& file : files) (LooksLikeProject(file) ? projects : others) << file;
  others = insertTexts(widget, drop->position().toPoint(), others);
  // The drag's source waits for the drop to end; the files open after it.
  QMetaObject::invokeMethod(
      this, [this, projects, folders, others] { m_handler(projects, folders, others); },
      Qt::QueuedConnection);
  return true;
}

bool TFileDrop::LooksLikeProject(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return false;
  const QByteArray start = in.read(64).trimmed();
  return start.left(6).toLower() == "object" &&
         (start.size() == 6 || QChar::isSpace(static_cast<uchar>(start[6])));
}

std::optional<QString> TFileDrop::TextOf(const QString& file) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = in.readAll();
  if (bytes.contains('\0')) return std::nullopt;
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(bytes);
  if (utf8.hasError()) text = FromEngine(std::string_view(bytes.constData(), bytes.size()));
  return text;
}

QStringList TFileDrop::insertTexts(QWidget* widget, const QPoint& at, const QStringList& files) {
  // A memo takes drops on its viewport.
  auto* memo = qobject_cast<QPlainTextEdit*>(widget->parentWidget());
  if (!memo || memo->viewport() != widget) memo = qobject_cast<QPlainTextEdit*>(widget);
  auto* edit = qobject_cast<QLineEdit*>(widget);
  if ((memo && memo->isReadOnly()) || (edit && edit->isReadOnly()) || (!memo && !edit))
    return files;
  QStringList left;
  for (const QString& file : files) {
    const std::optional<QString> text = TextOf(file);
    if (!text) {
      left << file;
      continue;
    }
    if (memo) {
      QTextCursor cursor = memo->cursorForPosition(at);
      cursor.insertText(*text);
      memo->setTextCursor(cursor);
    } else {
      edit->setCursorPosition(edit->cursorPositionAt(at));
      // One line: its line breaks become blanks.
      edit->insert(QString(*text).replace(QRegularExpression(QStringLiteral("[\r\n]+")),
                                          QStringLiteral(" ")));
    }
  }
  return left;
}

}  // namespace orvana
