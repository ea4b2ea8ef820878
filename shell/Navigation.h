// The keyboard's ways through the main window, and the room its project
// windows get.
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace orvana {

// The first control inside container that Tab stops at: visible, enabled
// and taking the focus by Tab, first in the focus chain. nullptr when there
// is none.
QWidget* FirstTabStop(QWidget* container);

// Tab and Shift+Tab move on from the multi-line text boxes inside window to
// the next control, as from any other control, instead of typing a tab
// character that would keep the focus there for good.
void LetTabLeaveTextBoxes(QWidget* window);

// Where a window asked for at wanted goes in an area of the given size: as
// large as wanted but no larger than the area, moved back to the left and up
// just as far as it takes to end inside the area, never past the area's top
// left corner. So its title bar with its buttons stays in sight.
QRect FitInto(const QRect& wanted, const QSize& area);

}  // namespace orvana
