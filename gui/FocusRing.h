// A ring around the control that has the keyboard focus, in every window.
//
// The style's own marks of the focus are faint on some controls and missing
// on others (a tree whose selection looks the same with or without the
// focus, a text box without a frame). The ring is drawn over the focused
// control's edge in the palette's highlight colour, two pixels wide, and
// follows the focus, the control's size and its visibility; it takes no
// input. Popup menus and lists keep their own marks.
#pragma once

#include <QPointer>
#include <QWidget>

namespace orvana {

class TFocusRing : public QObject {
  Q_OBJECT

 public:
  // The one ring of the application, created on first use and owned by the
  // application object; it follows the focus from then on.
  static TFocusRing* Install();
  // The control the ring is drawn around; nullptr while none is.
  QWidget* Target() const;
  // The ring itself: a child of its control ("FocusRing"), drawn over its
  // edge; nullptr while there is none.
  QWidget* Ring() const { return m_ring; }

  // The control that shows the focus of the widget that has it: the widget
  // itself, or the spin box or combo box whose edit it is.
  static QWidget* RingTarget(QWidget* focus);

  static constexpr int kWidth = 2;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TFocusRing();
  void follow(QWidget* focus);
  void place();

  QPointer<QWidget> m_target;
  // Goes with its control when that is destroyed; made anew for the next.
  QPointer<QWidget> m_ring;
};

}  // namespace orvana
