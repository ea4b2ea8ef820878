// What a node of the project tree shows of its text in the room it has.
#pragma once

#include <QString>

class QFontMetrics;

namespace orvana {

// The label of a node whose text is path, the copy-th node of that text
// (0 for the first): the whole text if it fits into width pixels; otherwise
// the file's own name whole, after as much of its folder as fits, shortened
// in the middle. The second and later nodes of the same text end with their
// number, " (2)", " (3)", so that they can be told apart.
QString NodeLabel(const QString& path, int copy, const QFontMetrics& metrics, int width);

}  // namespace orvana
