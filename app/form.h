// What the window's fields ask for, as plain values, and the symbol they
// make: apart from the widgets, so that a worker thread can make it while
// the user goes on typing.
#pragma once

#include <QImage>
#include <QString>
#include <variant>
#include <vector>

#include "glyphrun/gdi_types.h"
#include "glyphrun/symbol.h"
#include "glyphrun/write.h"

namespace glyphrun::app {

struct Form {
    QString text;  // as typed: never normalised or cut
    EncodeScheme scheme = EncodeScheme::AutoMinimal;
    int32_t size = kSmallestSquare;  // a family or a fixed index, as the encoder takes it
    int moduleSize = 4;              // pixels
    int quietZone = 2;               // modules
    COLORREF bars = RGB(0, 0, 0), background = RGB(255, 255, 255);
    bool transparent = false;
    int dpi = 0;       // 0: none given (96 is recorded, modules are moduleSize pixels)
    double xdim = 0;   // millimetres; 0: none given (modules are moduleSize pixels)
    int rotation = 0;  // degrees clockwise
    bool gs1 = false, utf8 = false, dmre = false, readerInit = false, hri = false;
    int appendCount = 0;               // Structured Append: 0 for one symbol, else 2-16 symbols
    int appendId1 = 1, appendId2 = 1;  // its message identification, 1-254 each
};

// The symbols a form made (several for Structured Append), the style that
// draws them in every file, and the picture the window shows and copies.
struct Made {
    std::vector<Symbol> symbols;
    Style style;
    QImage picture;
    QString description;  // "22 × 22, 23 of 30 data codewords: ASCII 23"
};

// Why a form made nothing, and what to change where there is a fix.
struct Refusal {
    QString reason;  // "the input needs 17 data codewords but the requested size 10x10 holds 3"
    QString fix;     // "choose a larger size or Smallest square"; empty when there is none
    QString Text() const;
};

using Outcome = std::variant<Made, Refusal>;

// Reads, encodes and draws: safe on any thread, as it touches no widget.
Outcome MakeSymbol(const Form& form);

// The style the form draws with; the printed module's side in millimetres
// and dots for the window to show beside the X-dimension.
Style StyleOf(const Form& form);

}  // namespace glyphrun::app
