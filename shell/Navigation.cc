#include "shell/Navigation.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>

namespace orvana {

QList<QWidget*> TabStops(QWidget* container) {
  QList<QWidget*> stops;
  if (!container) return stops;
  // The chain runs through the whole window and comes back round to the
  // container in the end.
  for (QWidget* next = container->nextInFocusChain(); next && next != container;
       next = next->nextInFocusChain()) {
    if (container->isAncestorOf(next) && next->isVisibleTo(container->window()) &&
        next->isEnabled() && (next->focusPolicy() & Qt::TabFocus) && !next->focusProxy())
      stops << next;
  }
  return stops;
}

TTabRing::TTabRing(QWidget* tree, QMdiArea* area) : QObject(tree), m_tree(tree), m_area(area) {
  qApp->installEventFilter(this);
}

bool TTabRing::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || watched != QApplication::focusWidget()) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if ((key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) ||
      (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
    return false;
  const bool back = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
  const QList<QWidget*> stops = TabStops(m_area->activeSubWindow());
  if (stops.isEmpty()) return false;
  auto* focus = static_cast<QWidget*>(watched);
  if (focus == m_tree) {
    stops[back ? stops.size() - 1 : 0]->setFocus(back ? Qt::BacktabFocusReason
                                                      : Qt::TabFocusReason);
    return true;
  }
  if (focus != (back ? stops.first() : stops.last())) return false;
  m_tree->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
  return true;
}

void LetTabLeaveTextBoxes(QWidget* window) {
  for (auto* memo : window->findChildren<QPlainTextEdit*>()) memo->setTabChangesFocus(true);
  for (auto* memo : window->findChildren<QTextEdit*>()) memo->setTabChangesFocus(true);
}

QRect FitInto(const QRect& wanted, const QSize& area) {
  const int width = std::max(0, std::min(wanted.width(), area.width()));
  const int height = std::max(0, std::min(wanted.height(), area.height()));
  const int left = std::max(0, std::min(wanted.left(), area.width() - width));
  const int top = std::max(0, std::min(wanted.top(), area.height() - height));
  return QRect(left, top, width, height);
}

QRect FitOnto(const QRect& wanted, const QRect& available) {
  return FitInto(wanted.translated(-available.topLeft()), available.size())
      .translated(available.topLeft());
}

}  // namespace orvana
