// The keyboard's ways through the main window, and the room its project
// windows get.
#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>

class QMdiArea;
class QWidget;

namespace orvana {

// The controls inside container that Tab stops at (visible, enabled, taking
// the focus by Tab, not handing it on to another), in the focus chain's
// order.
QList<QWidget*> TabStops(QWidget* container);

// Tab runs through the tree and the active project window's controls in one
// ring. Inside a project window Qt would go round that window alone: Tab on
// its last control and Shift+Tab on its first go to the tree instead, and
// from the tree Tab goes to the project's first control, Shift+Tab to its
// last. Watches the keys of the whole application; owned by the tree.
class TTabRing : public QObject {
 public:
  TTabRing(QWidget* tree, QMdiArea* area);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* m_tree;
  QMdiArea* m_area;
};

// Tab and Shift+Tab move on from the multi-line text boxes inside window to
// the next control, as from any other control, instead of typing a tab
// character that would keep the focus there for good.
void LetTabLeaveTextBoxes(QWidget* window);

// Where a window asked for at wanted goes in an area of the given size: as
// large as wanted but no larger than the area, moved back to the left and up
// just as far as it takes to end inside the area, never past the area's top
// left corner. So its title bar with its buttons stays in sight.
QRect FitInto(const QRect& wanted, const QSize& area);

// The same on a screen: where a window frame asked for at wanted goes on the
// screen's available area (both in the screen's coordinates).
QRect FitOnto(const QRect& wanted, const QRect& available);

}  // namespace orvana
