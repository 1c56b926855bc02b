#include "glyphrun/render.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

constexpr uint8_t kBackgroundIndex = 0, kBarIndex = 1;

// Sets pixels [first, first + count) of a packed row, most significant bit first.
void SetPixels(uint8_t* row, int64_t first, int64_t count) {
    int64_t x = first;
    const int64_t end = first + count;
    for (; x < end && (x & 7); ++x) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    if (const int64_t bytes = (end - x) >> 3; bytes > 0) {
        std::memset(row + (x >> 3), 0xFF, static_cast<size_t>(bytes));
        x += bytes << 3;
    }
    for (; x < end; ++x) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
}

// One module row as pixels. Modules of up to 32 pixels are shifted into a
// word without a branch on their colour (a symbol's modules are close to
// random, so a branch would be mispredicted half the time) and the word
// is written out a byte at a time; larger ones are set module by module.
void PackRow(const uint8_t* modules, int32_t cols, const RasterStyle& style, uint8_t* row) {
    const int32_t side = style.moduleSize;
    if (side > 32) {
        for (int32_t c = 0; c < cols; ++c)
            if (modules[c]) SetPixels(row, style.margin + static_cast<int64_t>(c) * side, side);
        return;
    }
    const uint64_t ones = (uint64_t{1} << side) - 1;
    uint8_t* out = row + style.margin / 8;
    uint64_t pixels = 0;              // the newest `held` pixels in the low bits
    int32_t held = style.margin % 8;  // the first are the margin's, light
    for (int32_t c = 0; c < cols; ++c) {
        pixels = (pixels << side) | (ones & (0 - static_cast<uint64_t>(modules[c] & 1)));
        for (held += side; held >= 8; held -= 8) *out++ |= static_cast<uint8_t>(pixels >> (held - 8));
    }
    if (held > 0) *out |= static_cast<uint8_t>(pixels << (8 - held));
}

// The share of light a colour gives back, 0 to 1.
double Reflectance(COLORREF color) {
    const auto linear = [](uint8_t channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(color)) + 0.7152 * linear(GetGValue(color)) + 0.0722 * linear(GetBValue(color));
}

}  // namespace

double ScanContrast(const RasterStyle& style) {
    const COLORREF background = style.transparentBackground ? RGB(255, 255, 255) : style.background;
    return std::abs(Reflectance(background) - Reflectance(style.bar));
}

VectorStyle VectorStyleOf(const RasterStyle& style) {
    VectorStyle vector;
    vector.moduleSize = style.moduleSize;
    vector.unit = VectorUnit::Pixel;
    vector.quietZone = (style.margin + style.moduleSize - 1) / style.moduleSize;
    vector.foreground = ToRrggbb(style.bar);
    vector.background = ToRrggbb(style.background);
    vector.drawBackground = !style.transparentBackground;
    return vector;
}

Result<std::string> SymbolVectorDocument(const Symbol& symbol, const RasterStyle& style, VectorFormat format,
                                         std::optional<double> moduleMillimetres) {
    if (Status sides = CheckPictureSides(symbol, style); !sides) return sides;
    VectorStyle vector = VectorStyleOf(style);
    if (moduleMillimetres) {
        vector.moduleSize = *moduleMillimetres;
        vector.unit = VectorUnit::Millimetre;
    }
    return VectorDocument(format, ModuleGrid{symbol.rows, symbol.cols, symbol.modules}, vector);
}

Symbol Rotated(const Symbol& symbol, int32_t degrees) {
    if (degrees != 90 && degrees != 180 && degrees != 270) return symbol;
    Symbol turned = symbol;
    if (degrees != 180) std::swap(turned.rows, turned.cols);
    for (int32_t r = 0; r < turned.rows; ++r)
        for (int32_t c = 0; c < turned.cols; ++c) {
            // The module of the original that lands on (r, c).
            const int32_t from = degrees == 90    ? (symbol.rows - 1 - c) * symbol.cols + r
                                 : degrees == 180 ? (symbol.rows - 1 - r) * symbol.cols + (symbol.cols - 1 - c)
                                                  : c * symbol.cols + (symbol.cols - 1 - r);
            turned.modules[static_cast<size_t>(r) * turned.cols + c] = symbol.modules[static_cast<size_t>(from)];
        }
    return turned;
}

int64_t PictureSide(const RasterStyle& style, int32_t modules) {
    return static_cast<int64_t>(style.moduleSize) * modules + 2 * static_cast<int64_t>(style.margin);
}

Status CheckPictureSides(const Symbol& symbol, const RasterStyle& style) {
    EncodeFailure side{};
    side.error = EncodeError::ImageSizeOutOfRange;
    side.imageWidth = PictureSide(style, symbol.cols);
    side.imageHeight = PictureSide(style, symbol.rows);
    const auto inRange = [](int64_t pixels) { return pixels >= 1 && pixels <= kMaxImageSide; };
    if (inRange(side.imageWidth) && inRange(side.imageHeight)) return {};
    return Status::Failed(RenderError::TooLarge, DescribeEncodeFailure(side));
}

Status RenderSymbol(const Symbol& symbol, const RasterStyle& style, GrImage& image) {
    if (style.moduleSize < 1)
        return Status::Failed(RenderError::BadStyle,
                              "the module size " + std::to_string(style.moduleSize) + " is below 1");
    if (style.margin < 0)
        return Status::Failed(RenderError::BadStyle, "the margin " + std::to_string(style.margin) + " is negative");
    if (Status sides = CheckPictureSides(symbol, style); !sides) return sides;
    // The sides are in range, so only memory can be short.
    if (!image.Create(static_cast<uint32_t>(PictureSide(style, symbol.cols)),
                      static_cast<uint32_t>(PictureSide(style, symbol.rows)), 1))
        return Status::Failed(RenderError::OutOfMemory, "out of memory");
    image.SetXDPI(style.dpi);
    image.SetYDPI(style.dpi);
    image.SetPaletteColor(kBackgroundIndex, style.background);
    image.SetPaletteColor(kBarIndex, style.bar);
    if (style.transparentBackground) image.SetTransIndex(kBackgroundIndex);

    // Each module row becomes one packed pixel row, copied moduleSize times;
    // the margin rows stay at index 0, the background. Stored rows run from
    // the bottom of the picture.
    const uint32_t stride = image.GetEffWidth();
    std::vector<uint8_t> packed(stride);
    const uint32_t height = image.GetHeight();
    for (int32_t r = 0; r < symbol.rows; ++r) {
        std::memset(packed.data(), 0, stride);
        PackRow(symbol.modules.data() + static_cast<size_t>(r) * symbol.cols, symbol.cols, style, packed.data());
        const uint32_t top = static_cast<uint32_t>(style.margin + r * style.moduleSize);
        for (int32_t i = 0; i < style.moduleSize; ++i)
            std::memcpy(image.GetBits(height - 1 - top - i), packed.data(), stride);
    }
    return {};
}

Status EncodeSymbolFile(const Symbol& symbol, const RasterStyle& style, uint32_t type, uint32_t codecOption,
                        std::string& file) {
    GrImage image;
    if (Status rendered = RenderSymbol(symbol, style, image); !rendered) return rendered;
    if (type == TypePng && codecOption != 1) return EncodeCompactPng(image, file);
    image.SetCodecOption(codecOption, type);
    uint8_t* bytes = nullptr;
    int32_t size = 0;
    if (!image.Encode(bytes, size, type)) return Status::Failed(RenderError::Writer, image.GetLastError());
    file.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    GrImage::FreeMemory(bytes);
    return {};
}

}  // namespace glyphrun
