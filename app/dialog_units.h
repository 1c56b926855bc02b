// Dialog units of the window's 9-point font: 1.5 pixels across and down.
#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>
#include <QtGlobal>
#include <algorithm>

namespace glyphrun::app {

inline int Units(int units) { return qRound(units * 1.5); }

inline QRect UnitsRect(int x, int y, int width, int height) {
    return QRect(Units(x), Units(y), Units(width), Units(height));
}

// A label at its place in the layout, grown to its text where the font is
// larger than the one the layout was made for.
inline QLabel* PlacedLabel(const QString& text, QRect where, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    where.setWidth(std::max(where.width(), label->sizeHint().width()));
    where.setHeight(std::max(where.height(), label->sizeHint().height()));
    label->setGeometry(where);
    return label;
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
