#include "window/WindowLayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cstdint>
#include <limits>

namespace orvana::window_layout {

// A title strip: a caption on a lowered bevel.
QLabel* makeStrip(const QString& name, const QString& caption, int height, QWidget* parent,
                  Qt::Alignment alignment) {
  auto* strip = new QLabel(caption, parent);
  strip->setObjectName(name);
  strip->setTextFormat(Qt::PlainText);
  strip->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  strip->setAlignment(alignment | Qt::AlignVCenter);
  strip->setFixedHeight(height);
  return strip;
}

QPlainTextEdit* makeMemo(const QString& name, bool wrap, QWidget* parent) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(name);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  return memo;
}

// A container that lays its children out top to bottom, edge to edge.
QWidget* makePanel(const QString& name, QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(name);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  return panel;
}

QLabel* placeLabel(const QString& name, const QString& caption, int left, int top,
                   QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->adjustSize();
  label->move(left, top);
  return label;
}

QLineEdit* placeEdit(const QString& name, const QString& text, int left, int top, int width,
                     QWidget* parent) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setGeometry(left, top, width, kEditHeight);
  return edit;
}

QSpinBox* makeWindowSpin(const QString& name, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(0, std::numeric_limits<int32_t>::max());
  spin->setMinimumWidth(90);
  return spin;
}

QGroupBox* fillTab(QWidget* tab, const QString& name, const QString& caption) {
  auto* layout = new QVBoxLayout(tab);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* group = new QGroupBox(caption, tab);
  group->setObjectName(name);
  layout->addWidget(group);
  return group;
}

}  // namespace orvana::window_layout
