#include "app_icon.h"

#include <QImage>
#include <QPixmap>

#include "glyphrun/ecc200.h"

namespace glyphrun::app {
namespace {

// "GR" fills the 10 x 10 symbol; a module of `moduleSize` pixels and the
// margin make a square icon of `side` pixels.
QPixmap SymbolPixmap(int moduleSize, int side) {
    Ecc200Encoder encoder = InitEncoder();
    encoder.scheme = EncodeScheme::Ascii;
    encoder.moduleSize = moduleSize;
    encoder.margin = (side - 10 * moduleSize) / 2;
    QImage picture(side, side, QImage::Format_RGB32);
    picture.fill(Qt::white);
    if (EncodeMessage(&encoder, 2, reinterpret_cast<const uint8_t*>("GR"), 0)) {
        const ModuleImage& image = *encoder.image;
        for (int y = 0; y < image.height && y < side; ++y)
            for (int x = 0; x < image.width && x < side; ++x)
                if (image.pixels[3 * (y * image.width + x)] == 0) picture.setPixel(x, y, qRgb(0x1A, 0x3C, 0x8C));
    }
    FreeEncoder(&encoder);
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
