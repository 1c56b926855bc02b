#include "reader.h"

#include <ZXing/ReadBarcode.h>

namespace glyphrun::testing {

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
    const ZXing::ImageView view(gray.data(), width, height, ZXing::ImageFormat::Lum);
    const auto hints = ZXing::DecodeHints()
                           .setFormats(ZXing::BarcodeFormat::DataMatrix)
                           .setCharacterSet("ISO-8859-1")
                           .setTryHarder(true);
    const ZXing::Result result = ZXing::ReadBarcode(view, hints);
    if (!result.isValid()) return std::nullopt;
    const ZXing::ByteArray& bytes = result.bytes();
    return Reading{std::string(bytes.begin(), bytes.end()), result.text(), result.symbologyIdentifier(),
                   result.hasECI()};
}

std::optional<std::string> ReadSymbol(const ModuleImage& image, int moduleSize) {
    const std::optional<Reading> reading = ReadSymbolFully(image, moduleSize);
    if (!reading) return std::nullopt;
    return reading->bytes;
}

std::optional<std::string> EncodeAndRead(const std::string& bytes, EncodeScheme scheme, int32_t requestedSize,
                                         int moduleSize, int margin) {
    Ecc200Encoder encoder = InitEncoder();
    encoder.scheme = scheme;
    encoder.moduleSize = moduleSize;
    encoder.margin = margin;
    std::optional<std::string> decoded;
    if (EncodeMessage(&encoder, static_cast<int32_t>(bytes.size()), reinterpret_cast<const uint8_t*>(bytes.data()),
                      requestedSize))
        decoded = ReadSymbol(*encoder.image, moduleSize);
    FreeEncoder(&encoder);
    return decoded;
}

}  // namespace glyphrun::testing
