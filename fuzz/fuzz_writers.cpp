// Every writer on images of arbitrary sizes, depths, palettes, pixels,
// transparency, alpha and codec options. A file a writer reports as written
// must open in an independent reader.
#include <stb_image.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "glyphrun/codecs.h"

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Next() { return at < size ? data[at++] : 0; }
};

// The decoded picture (top row first, RGBA) against the image's colours
// (bottom row first).
bool SameColors(const glyphrun::GrImage& image, const stbi_uc* rgba) {
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    for (uint32_t row = 0; row < height; ++row)
        for (uint32_t x = 0; x < width; ++x) {
            const glyphrun::RGBQUAD color = image.GetPixelColor(x, height - 1 - row, false);
            const stbi_uc* p = rgba + 4 * (static_cast<size_t>(row) * width + x);
            if (p[0] != color.rgbRed || p[1] != color.rgbGreen || p[2] != color.rgbBlue) return false;
        }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    glyphrun::RegisterImageWriters();
    using namespace glyphrun;
    Reader in{data, size};
    const uint32_t width = 1 + in.Next() % 80, height = 1 + in.Next() % 80;
    static constexpr uint32_t kDepths[] = {1, 4, 8, 24};
    const uint32_t bpp = kDepths[in.Next() % 4];
    GrImage image(width, height, bpp);
    if (!image.IsValid()) return 0;
    for (uint32_t i = 0; i < image.GetNumColors(); ++i)
        image.SetPaletteColor(static_cast<uint8_t>(i), in.Next(), in.Next(), in.Next(), in.Next());
    // The pixels: the rest of the input, repeated.
    const int64_t bytes = static_cast<int64_t>(image.GetEffWidth()) * height;
    for (int64_t i = 0; i < bytes && size > 0; ++i) image.GetBits(0)[i] = data[(in.at + i) % size];
    const uint8_t flags = in.Next();
    if (flags & 1) image.SetTransIndex(static_cast<int8_t>(in.Next()) * 3);
    if (flags & 2) image.SetTransColor(RGBQUAD{in.Next(), in.Next(), in.Next(), 0});
    if (flags & 4) {
        image.AlphaCreate();
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) image.AlphaSet(x, y, in.Next());
        image.AlphaSetMax(in.Next());
    }
    if (flags & 8) image.AlphaPaletteEnable(true);
    image.SetCodecOption(in.Next() % 4, TypeGif);
    image.SetCodecOption(in.Next() % 3, TypePng);
    for (uint32_t type : {TypeBmp, TypeGif, TypePng}) {
        uint8_t* file = nullptr;
        int32_t length = 0;
        if (!image.Encode(file, length, type)) {
            if (std::strlen(image.GetLastError()) == 0) std::abort();  // every failure says why
            continue;
        }
        int w = 0, h = 0, channels = 0;
        stbi_uc* pixels = stbi_load_from_memory(file, length, &w, &h, &channels, 4);
        if (!pixels || w != static_cast<int>(width) || h != static_cast<int>(height)) {
            std::fprintf(stderr, "type %u %ux%u bpp %u: the file does not open\n", type, width, height, bpp);
            std::abort();
        }
        // Without transparency every format keeps the colours exactly; a
        // true-colour GIF of many colours is tiles that one frame cannot show.
        const bool exact = (flags & 15) == 0 && (type != TypeGif || bpp <= 8);
        if (exact && !SameColors(image, pixels)) {
            std::fprintf(stderr, "type %u %ux%u bpp %u: the colours changed\n", type, width, height, bpp);
            std::abort();
        }
        stbi_image_free(pixels);
        GrImage::FreeMemory(file);
    }
    return 0;
}
