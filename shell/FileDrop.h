// Files dropped on a window open as projects wherever they land.
//
// The text boxes of a project window take drops themselves: left alone, a
// file dropped on one would be pasted into it as its address. TFileDrop
// watches every drag event of the application and takes those that carry
// local files or folders over any widget of its window, before the widget
// sees them. What a drag of anything else carries (plain text, web
// addresses) goes on to the widget as before.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QMimeData;
class QWidget;

namespace orvana {

class TFileDrop : public QObject {
 public:
  // Runs when a drop has ended: the local files and the local folders it
  // carried, each in the order of the drop.
  using Handler = std::function<void(const QStringList& files, const QStringList& folders)>;

  // Watches the drags over window and its children; owned by window.
  TFileDrop(QWidget* window, Handler handler);

  // The local files and folders data carries; addresses of other kinds are
  // left out.
  static void Split(const QMimeData* data, QStringList* files, QStringList* folders);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* m_window;
  Handler m_handler;
};

}  // namespace orvana
