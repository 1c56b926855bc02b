// A button that shows its colour as a swatch under its caption and opens
// the colour chooser when clicked.
#pragma once

#include <QColor>
#include <QPushButton>
#include <functional>

#include "glyphrun/gdi_types.h"

namespace glyphrun::app {

class CColorSwatchButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorSwatchButton(const QString& caption, QWidget* parent = nullptr);

    void SetColor(COLORREF color);  // repaints
    COLORREF GetColor() const { return m_crColor; }
    // Runs the colour chooser at the current colour; true when it changed.
    bool PickColor();

    // The chooser: the platform's by default; tests put their own.
    using Chooser = std::function<QColor(const QColor& initial, QWidget* parent)>;
    static void SetChooser(Chooser chooser);

signals:
    void ColorChanged();  // SetColor gave it another colour

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    COLORREF m_crColor = 0;
    bool m_bPickOnClick = true;
};

}  // namespace glyphrun::app
