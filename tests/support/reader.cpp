#include "reader.h"

#if GLYPHRUN_HAVE_ZXING
#include <ZXing/ReadBarcode.h>
#endif

#include "skip.h"

namespace glyphrun::testing {

namespace {

// Reads a grey picture (one byte per pixel, top row first, 255 light).
std::optional<Reading> ReadGray(const std::vector<uint8_t>& gray, int width, int height) {
#if !GLYPHRUN_HAVE_ZXING
    (void)gray, (void)width, (void)height;
    SkipTest("zxing-cpp, the independent reader, is not installed (Debian package libzxing-dev)");
#else
    const ZXing::ImageView view(gray.data(), width, height, ZXing::ImageFormat::Lum);
    const auto hints = ZXing::DecodeHints()
                           .setFormats(ZXing::BarcodeFormat::DataMatrix)
                           .setCharacterSet("ISO-8859-1")
                           .setTryHarder(true);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) return std::nullopt;
    const ZXing::ByteArray& bytes = result.bytes();
    return Reading{std::string(bytes.begin(), bytes.end()),
                   result.text(),
                   result.symbologyIdentifier(),
                   result.hasECI(),
                   result.readerInit(),
                   result.sequenceIndex(),
                   result.sequenceSize(),
                   result.sequenceId()};
#endif
}

// A picture of `cols` x `rows` cells at `scale` pixels each inside a light `border`, each cell's grey from `grey`.
template <typename Grey>
std::optional<Reading> ReadCells(int cols, int rows, int scale, int border, Grey grey) {
    const int width = cols * scale + 2 * border, height = rows * scale + 2 * border;
    std::vector<uint8_t> gray(static_cast<size_t>(width) * height, 255);
    for (int y = 0; y < rows * scale; ++y)
        for (int x = 0; x < cols * scale; ++x)
            gray[static_cast<size_t>(y + border) * width + x + border] = grey(y / scale, x / scale);
    return ReadGray(gray, width, height);
}

}  // namespace

// The module image stores its top row first, like the reader's buffer.
std::optional<Reading> ReadSymbolFully(const ModuleImage& image, int moduleSize) {
    const int scale = moduleSize >= 3 ? 1 : (moduleSize == 2 ? 2 : 3);
    return ReadCells(image.width, image.height, scale, 4 * scale * (moduleSize > 0 ? moduleSize : 1),
                     [&](int y, int x) {
                         const uint8_t* p = image.pixels + 3 * (static_cast<size_t>(y) * image.width + x);
                         return static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
                     });
}

// Drawn at three pixels per module with a four-module light border, then at five: now and then
// the reader's detector misses a sound symbol at one scale only.
std::optional<Reading> ReadSymbolFully(const Symbol& symbol) {
    for (int scale : {3, 5})
        if (std::optional<Reading> reading =
                ReadCells(symbol.cols(), symbol.rows(), scale, 4 * scale,
                          [&](int y, int x) { return static_cast<uint8_t>(symbol.dark(y, x) ? 0 : 255); }))
            return reading;
    return std::nullopt;
}

std::optional<std::string> ReadSymbol(const Symbol& symbol) {
    const std::optional<Reading> reading = ReadSymbolFully(symbol);
    return reading ? std::optional(reading->bytes) : std::nullopt;
}

std::optional<std::string> EncodeAndRead(const std::string& bytes, EncodeScheme scheme, int32_t requestedSize) {
    const Result<Symbol> result = EncodeText(bytes, {scheme, requestedSize});
    if (!result) return std::nullopt;
    return ReadSymbol(result.value());
}

}  // namespace glyphrun::testing
