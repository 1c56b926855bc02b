// Dialog units of the window's 9-point font: 1.5 pixels across and down.
#pragma once

#include <QFont>
#include <QRect>
#include <QtGlobal>

namespace glyphrun::app {

inline int Units(int units) { return qRound(units * 1.5); }

inline QRect UnitsRect(int x, int y, int width, int height) {
    return QRect(Units(x), Units(y), Units(width), Units(height));
}

// The dialogs' font: 宋体 at 9 points where it exists, else the default
// font; characters a font lacks (the Chinese captions) come from whichever
// CJK-capable font the system has.
inline QFont DialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), font.family()});
    font.setPointSize(9);
    return font;
}

}  // namespace glyphrun::app
