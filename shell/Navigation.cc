#include "Navigation.h"

#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>

namespace orvana {

QWidget* FirstTabStop(QWidget* container) {
  if (!container) return nullptr;
  // The chain runs through the whole window; it comes back round to the
  // container in the end.
  for (QWidget* next = container->nextInFocusChain(); next && next != container;
       next = next->nextInFocusChain()) {
    if (container->isAncestorOf(next) && next->isVisibleTo(container->window()) &&
        next->isEnabled() && (next->focusPolicy() & Qt::TabFocus))
      return next;
  }
  return nullptr;
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

}  // namespace orvana
