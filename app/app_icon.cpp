#include "app_icon.h"

#include <QImage>
#include <QPixmap>

#include "glyphrun/symbol.h"

namespace glyphrun::app {
namespace {

// "GR" fills the 10 x 10 symbol; a module of `moduleSize` pixels and the
// margin make a square icon of `side` pixels.
QPixmap SymbolPixmap(int moduleSize, int side) {
    QImage picture(side, side, QImage::Format_RGB32);
    picture.fill(Qt::white);
    const Result<Symbol> result =
        Encode({reinterpret_cast<const uint8_t*>("GR"), 2}, EncodeOptions{EncodeScheme::Ascii, 0});
    const int margin = (side - 10 * moduleSize) / 2;
    for (int y = 0; y < 10 * moduleSize && result; ++y)
        for (int x = 0; x < 10 * moduleSize; ++x)
            if (result.value().dark(y / moduleSize, x / moduleSize))
                picture.setPixel(margin + x, margin + y, qRgb(0x1A, 0x3C, 0x8C));
    return QPixmap::fromImage(picture);
}

}  // namespace

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(SymbolPixmap(3, 32));
    icon.addPixmap(SymbolPixmap(1, 16));
    return icon;
}

}  // namespace glyphrun::app
