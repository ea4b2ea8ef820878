// The main window's place on the screen, the places of its project windows
// in the frame, and what the tree's nodes show of their texts.
#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>

#include "shell/MainFrame.h"
#include "shell/Navigation.h"
#include "shell/NodeLabel.h"
#include "window/FProject.h"

namespace orvana {

TSiteProject* TForm1::createProjectWindow() {
  auto* window = new TSiteProject;
  m_clientArea->addSubWindow(window);
  connect(window, &QObject::destroyed, this, &TForm1::Notification);
  const QPointer<TSiteProject> watched = window;
  connect(window, &TSiteProject::ModifiedChanged, this, [this, watched] {
    if (watched) showModified(watched);
  });
  connect(window, &TSiteProject::SiteChanged, this, [this] { updateActions(); });
  connect(window, &TSiteProject::Edited, this, [this, watched] {
    if (watched) stateOf(watched).edited = true;
  });
  // Default placement: cascaded from the top left, one title bar further for
  // each window, starting over when the cascade would leave the area.
  const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window) + 4;
  const int rows = qMax(1, (m_clientArea->viewport()->height() - window->height()) / step + 1);
  const int place = static_cast<int>(m_clientArea->subWindowList().size() - 1) % qMin(rows, 8);
  window->move(place * step, place * step);
  fitIntoArea(window);
  // The project's memos were written for a system where Tab leaves them.
  LetTabLeaveTextBoxes(window);
  window->show();
  m_clientArea->setActiveSubWindow(window);
  return window;
}

void TForm1::fitOnScreen() {
  QScreen* screen = QGuiApplication::screenAt(geometry().center());
  if (!screen) screen = this->screen();
  if (!screen) return;
  // Until the window system has framed the window, a title bar and borders
  // of the usual size are allowed for.
  const QRect outer = frameGeometry(), inner = geometry();
  QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                 outer.right() - inner.right(), outer.bottom() - inner.bottom());
  if (frame.isNull()) {
    const int border = 4;
    frame =
        QMargins(border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border);
  }
  // Until the first show is done, from the bounds asked for: the guessed
  // frame may have shrunk the window more than the real one needs.
  const QRect wanted = m_wantedBounds.isValid() ? m_wantedBounds : geometry();
  const QRect fitted = FitOnto(wanted.marginsAdded(frame), screen->availableGeometry());
  const QRect inside = fitted.marginsRemoved(frame);
  if (inside != geometry()) setGeometry(inside);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Now the window system tells the frame's size: fitted again with it.
  if (!m_shownOnce)
    QTimer::singleShot(0, this, [this] {
      fitOnScreen();
      m_wantedBounds = QRect();
    });
  m_shownOnce = true;
}

void TForm1::fitIntoArea(TSiteProject* window) {
  const QSize area = m_clientArea->viewport()->size();
  const QRect fitted = FitInto(window->geometry(), area);
  if (fitted != window->geometry()) window->setGeometry(fitted);
}

QString TForm1::ShownNodeText(int row, const QFontMetrics& metrics, int width) const {
  const QTreeWidgetItem* node = TreeView1->topLevelItem(row);
  if (!node) return QString();
  const QString text = node->text(0);
  int copy = 0;
  for (int before = 0; before < row; ++before)
    if (TreeView1->topLevelItem(before)->text(0) == text) ++copy;
  return NodeLabel(text, copy, metrics, width);
}

}  // namespace orvana
