#include "gui/FocusRing.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace orvana {
namespace {

// The ring's drawing: a frame of the highlight colour over its control's
// edge, taking no input.
class RingFrame : public QWidget {
 public:
  explicit RingFrame(QWidget* control) : QWidget(control) {
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Active, QPalette::Highlight), TFocusRing::kWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const qreal half = TFocusRing::kWidth / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
  }
};

}  // namespace

TFocusRing::TFocusRing() : QObject(qApp) { setObjectName(QStringLiteral("FocusRingKeeper")); }

TFocusRing* TFocusRing::Install() {
  static QPointer<TFocusRing> keeper;
  if (keeper) return keeper;
  keeper = new TFocusRing;
  connect(qApp, &QApplication::focusChanged, keeper,
          [](QWidget*, QWidget* now) { keeper->follow(now); });
  keeper->follow(QApplication::focusWidget());
  return keeper;
}

QWidget* TFocusRing::Target() const {
  return m_ring && m_ring->isVisible() && m_target ? m_target.data() : nullptr;
}

QWidget* TFocusRing::RingTarget(QWidget* focus) {
  // The edit inside a spin box or a combo box stands for the whole box; a
  // tab widget's bar stays the bar.
  QWidget* parent = focus ? focus->parentWidget() : nullptr;
  if (parent && parent->focusProxy() == focus &&
      (parent->inherits("QAbstractSpinBox") || parent->inherits("QComboBox")))
    return parent;
  return focus;
}

void TFocusRing::follow(QWidget* focus) {
  if (m_target) m_target->removeEventFilter(this);
  QWidget* target = RingTarget(focus);
  // Popups (menus, completions) mark their current entry themselves.
  if (target && target->window()->windowType() == Qt::Popup) target = nullptr;
  m_target = target;
  if (!target) {
    if (m_ring) m_ring->hide();
    return;
  }
  // A child of the control itself, so that it is clipped, stacked and moved
  // with it and nothing between them hides it.
  if (!m_ring) m_ring = new RingFrame(target);
  m_ring->setParent(target);
  target->installEventFilter(this);
  place();
}

void TFocusRing::place() {
  if (!m_ring) return;
  if (!m_target || !m_target->isVisible() || m_ring->parentWidget() != m_target) {
    m_ring->hide();
    return;
  }
  m_ring->setGeometry(m_target->rect());
  m_ring->raise();
  m_ring->show();
  m_ring->update();
}

bool TFocusRing::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_target) {
    switch (event->type()) {
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Hide:
      case QEvent::ChildAdded:
        // Once the change is done; a child added later would cover the ring.
        QMetaObject::invokeMethod(
            this, [this] { place(); }, Qt::QueuedConnection);
        break;
      default:
        break;
    }
  }
  return false;
}

}  // namespace orvana
