// The look the windows were laid out for: absolute positions and sizes in
// pixels that assume a small sans-serif font of 8 points.
#pragma once

#include <QApplication>
#include <QFont>
#include <QStringList>

namespace orvana {

// The windows' font: the design's own face where the system has it, else a
// face of the same metrics, else the application's default face.
inline QFont DesignFont(int pointSize = 8) {
  QFont font = QApplication::font();
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Arial"), font.family()});
  font.setPointSize(pointSize);
  return font;
}

}  // namespace orvana
