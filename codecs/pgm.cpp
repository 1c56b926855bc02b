// Binary PGM (P5): one grey byte a pixel, top row first, 255 the lightest.
#include <cmath>
#include <new>
#include <string>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

// The grey of a palette colour: its luma, as a grey-level display shows it.
uint8_t GreyOf(const GrImage& image, uint8_t index) {
    const RGBQUAD c = image.GetPaletteColor(index);
    return static_cast<uint8_t>(std::lround(0.2126 * c.rgbRed + 0.7152 * c.rgbGreen + 0.0722 * c.rgbBlue));
}

}  // namespace

Status EncodePgm(const GrImage& image, std::string& file) {
    if (!image.IsValid() || image.GetBpp() != 1)
        return Status::Failed(PgmError::Refused, "the PGM writer takes a two-colour image");
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    const uint8_t grey[2] = {GreyOf(image, 0), GreyOf(image, 1)};
    const std::string header = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    const size_t start = file.size();
    try {
        file.reserve(start + header.size() + size_t{width} * height);
    } catch (const std::bad_alloc&) {
        return Status::Failed(PgmError::OutOfMemory, "out of memory");
    }
    file += header;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = image.GetBits(height - 1 - y);  // stored rows run from the bottom
        for (uint32_t x = 0; x < width; ++x) file += static_cast<char>(grey[row[x >> 3] >> (7 - (x & 7)) & 1]);
    }
    return {};
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(PgmError, "glyphrun.pgm")

}  // namespace glyphrun
