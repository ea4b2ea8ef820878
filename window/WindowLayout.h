// The pieces the project window's tabs are laid out from: strips, memos,
// panels, labels and edits at fixed places, window spin boxes and the group
// that fills a tab.
#pragma once

#include <QString>

#include "engine/Extras.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QWidget;

namespace orvana::window_layout {

inline constexpr int kStripHeight = 25;
inline constexpr int kCounterStripHeight = 22;
inline constexpr int kEditHeight = 21;

// A title strip: a caption on a lowered bevel.
QLabel* makeStrip(const QString& name, const QString& caption, int height, QWidget* parent,
                  Qt::Alignment alignment = Qt::AlignCenter);
QPlainTextEdit* makeMemo(const QString& name, bool wrap, QWidget* parent);
// A container that lays its children out top to bottom, edge to edge.
QWidget* makePanel(const QString& name, QWidget* parent);
QLabel* placeLabel(const QString& name, const QString& caption, int left, int top, QWidget* parent);
QLineEdit* placeEdit(const QString& name, const QString& text, int left, int top, int width,
                     QWidget* parent);
// The output encodings the extras tab offers, in its list's order: an
// encoding's place in the list is its value.
inline constexpr orvana::TOutputEncoding kOutputEncodings[] = {
    orvana::TOutputEncoding::kWindows1251, orvana::TOutputEncoding::kUtf8};
static_assert(static_cast<int>(kOutputEncodings[1]) == 1);
QSpinBox* makeWindowSpin(const QString& name, QWidget* parent);
// The group box that fills a tab, with the tab's margins.
QGroupBox* fillTab(QWidget* tab, const QString& name, const QString& caption);

}  // namespace orvana::window_layout
