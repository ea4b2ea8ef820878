#include "shell/NodeLabel.h"

#include <QFontMetrics>

namespace orvana {

QString NodeLabel(const QString& path, int copy, const QFontMetrics& metrics, int width) {
  const QString number = copy > 0 ? QStringLiteral(" (%1)").arg(copy + 1) : QString();
  const QString whole = path + number;
  if (metrics.horizontalAdvance(whole) <= width) return whole;
  const qsizetype slash = path.lastIndexOf(u'/');
  const QString name = path.mid(slash + 1) + number;
  const int nameWidth = metrics.horizontalAdvance(name);
  // Not even the name fits: it alone, for the view to shorten.
  if (slash < 0 || nameWidth >= width) return name;
  return metrics.elidedText(path.left(slash + 1), Qt::ElideMiddle, width - nameWidth) + name;
}

}  // namespace orvana
