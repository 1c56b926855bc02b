#include "color_swatch_button.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>

namespace glyphrun::app {
namespace {

QColor ToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// Colour values are built as red | green << 8 | blue << 16.
COLORREF FromQColor(const QColor& c) {
    return RGB(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue()));
}

CColorSwatchButton::Chooser& CurrentChooser() {
    static CColorSwatchButton::Chooser chooser = [](const QColor& initial, QWidget* parent) {
        return QColorDialog::getColor(initial, parent);
    };
    return chooser;
}

}  // namespace

CColorSwatchButton::CColorSwatchButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (m_bPickOnClick) PickColor();
    });
}

void CColorSwatchButton::SetChooser(Chooser chooser) { CurrentChooser() = std::move(chooser); }

void CColorSwatchButton::SetColor(COLORREF color) {
    if ((color & 0x00FFFFFF) == m_crColor) return;
    m_crColor = color & 0x00FFFFFF;
    update();
    emit ColorChanged();
}

bool CColorSwatchButton::PickColor() {
    const QColor chosen = CurrentChooser()(ToQColor(m_crColor), this);
    if (!chosen.isValid() || FromQColor(chosen) == m_crColor) return false;  // cancelled, or the same
    SetColor(FromQColor(chosen));
    return true;
}

void CColorSwatchButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colors = palette();
    QRect r = rect();
    painter.fillRect(r, colors.color(QPalette::Button));  // a 2-pixel face-coloured border
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
    r.adjust(2, 2, -2, -2);
    painter.setPen(colors.color(QPalette::Button));
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    r.adjust(1, 1, -1, -1);
    QStyleOptionButton frame;
    frame.initFrom(this);
    frame.rect = r;
    if (isDown()) frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &frame, &painter, this);
    r.adjust(2, 2, -2, -2);
    painter.fillRect(r, ToQColor(m_crColor));
    if (!isEnabled()) {
        // Every other pixel in the face colour greys the swatch.
        painter.setPen(colors.color(QPalette::Button));
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left() + ((r.left() + y) % 2); x <= r.right(); x += 2) painter.drawPoint(x, y);
    }
    if (text().isEmpty()) return;
    QRect textRect = r;
    if (isDown()) textRect.adjust(0, 0, 2, 2);
    painter.setFont(font());
    const QString shown = painter.fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width());
    if (!isEnabled()) {
        painter.setPen(colors.color(QPalette::Light));
        painter.drawText(textRect.translated(1, 1), Qt::AlignCenter, shown);
        painter.setPen(colors.color(QPalette::Disabled, QPalette::ButtonText));
    } else {
        // The caption stays readable on a dark swatch (the bars are black by default).
        const QColor swatch = ToQColor(m_crColor);
        painter.setPen(swatch.lightness() < 110 ? QColor(Qt::white) : colors.color(QPalette::ButtonText));
    }
    painter.drawText(textRect, Qt::AlignCenter, shown);
}

}  // namespace glyphrun::app
