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

}  // namespace

std::optional<Reading> ReadSymbolFully(const ModuleImage& image, int moduleSize) {
    const int scale = moduleSize >= 3 ? 1 : (moduleSize == 2 ? 2 : 3);
    const int border = 4 * scale * (moduleSize > 0 ? moduleSize : 1);
    const int width = image.width * scale + 2 * border;
    const int height = image.height * scale + 2 * border;
    std::vector<uint8_t> gray(static_cast<size_t>(width) * height, 255);
    // The module image stores its top row first, like the reader's buffer.
    for (int y = 0; y < image.height * scale; ++y)
        for (int x = 0; x < image.width * scale; ++x) {
            const uint8_t* p = image.pixels + 3 * (static_cast<size_t>(y / scale) * image.width + x / scale);
            gray[static_cast<size_t>(y + border) * width + x + border] = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
        }
    return ReadGray(gray, width, height);
}

// Drawn at three pixels per module with a four-module light border.
std::optional<Reading> ReadSymbolFully(const Symbol& symbol) {
    constexpr int kScale = 3, kBorder = 4 * kScale;
    const int width = symbol.cols() * kScale + 2 * kBorder, height = symbol.rows() * kScale + 2 * kBorder;
    std::vector<uint8_t> gray(static_cast<size_t>(width) * height, 255);
    for (int y = 0; y < symbol.rows() * kScale; ++y)
        for (int x = 0; x < symbol.cols() * kScale; ++x)
            if (symbol.dark(y / kScale, x / kScale)) gray[static_cast<size_t>(y + kBorder) * width + x + kBorder] = 0;
    return ReadGray(gray, width, height);
}

std::optional<std::string> ReadSymbol(const Symbol& symbol) {
    const std::optional<Reading> reading = ReadSymbolFully(symbol);
    return reading ? std::optional(reading->bytes) : std::nullopt;
}

std::optional<std::string> EncodeAndRead(const std::string& bytes, EncodeScheme scheme, int32_t requestedSize) {
    const Result<Symbol> result = Encode(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                                         EncodeOptions{scheme, requestedSize});
    if (!result) return std::nullopt;
    return ReadSymbol(result.value());
}

}  // namespace glyphrun::testing
