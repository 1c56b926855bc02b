#include "picture.h"

#include <algorithm>
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
void PackRow(const uint8_t* modules, int32_t cols, int32_t side, int64_t left, uint8_t* row) {
    if (side > 32) {
        for (int32_t c = 0; c < cols; ++c)
            if (modules[c]) SetPixels(row, left + static_cast<int64_t>(c) * side, side);
        return;
    }
    const uint64_t ones = (uint64_t{1} << side) - 1;
    uint8_t* out = row + left / 8;
    uint64_t pixels = 0;                         // the newest `held` pixels in the low bits
    auto held = static_cast<int32_t>(left % 8);  // the first are the margin's, light
    for (int32_t c = 0; c < cols; ++c) {
        pixels = (pixels << side) | (ones & (0 - static_cast<uint64_t>(modules[c] & 1)));
        for (held += side; held >= 8; held -= 8) *out++ |= static_cast<uint8_t>(pixels >> (held - 8));
    }
    if (held > 0) *out |= static_cast<uint8_t>(pixels << (8 - held));
}

// A line wider than the symbol keeps a quarter of its size clear on each side.
int64_t TextWidth(const TextBitmap& line) { return line.width + line.height / 2; }

}  // namespace

int64_t Picture::Width(const ModuleGrid& grid) const {
    int64_t width = Side(grid.cols);
    for (const TextBitmap& line : text) width = std::max(width, TextWidth(line));
    return width;
}

int64_t Picture::Height(const ModuleGrid& grid) const {
    int64_t height = Side(grid.rows);
    for (const TextBitmap& line : text) height += line.height;
    return height;
}

Status AddText(const ModuleGrid& grid, const std::vector<std::string>& lines, int32_t fontPixels, int32_t leastPixels,
               const std::string& fontFile, Picture& picture) {
    if (lines.empty()) return {};
    if (fontPixels == 0) {
        // Widths are nearly proportional to the size: measured once at a large one.
        constexpr int32_t kMeasuringPixels = 200;
        double widest = 0;
        for (const std::string& line : lines) {
            const Result<int32_t> width = RasterTextWidth(line, kMeasuringPixels, fontFile);
            if (!width) return Status::Failed(WriteError::BadStyle, width.reason());
            widest = std::max(widest, width.value() / double{kMeasuringPixels});
        }
        const double size = DefaultFontSize(int64_t{grid.cols} * picture.moduleSize, widest, leastPixels);
        fontPixels = static_cast<int32_t>(std::lround(std::min<double>(size, kMaxTextPixelSize)));
    }
    for (const std::string& line : lines) {
        Result<TextBitmap> drawn = RasterText(line, fontPixels, fontFile);
        if (!drawn) return Status::Failed(WriteError::BadStyle, drawn.reason());
        picture.text.push_back(std::move(drawn).value());
    }
    return {};
}

ModuleGrid TurnedGrid(const Symbol& symbol, int32_t degrees) {
    const int32_t rows = symbol.rows(), cols = symbol.cols();
    const std::span<const uint8_t> modules = symbol.modules();
    if (degrees != 90 && degrees != 180 && degrees != 270) return {rows, cols, {modules.begin(), modules.end()}};
    ModuleGrid turned{degrees == 180 ? rows : cols, degrees == 180 ? cols : rows, {}};
    turned.dark.resize(modules.size());
    for (int32_t r = 0; r < turned.rows; ++r)
        for (int32_t c = 0; c < turned.cols; ++c) {
            // The module of the symbol that lands on (r, c).
            const int32_t from = degrees == 90    ? (rows - 1 - c) * cols + r
                                 : degrees == 180 ? (rows - 1 - r) * cols + (cols - 1 - c)
                                                  : c * cols + (cols - 1 - r);
            turned.dark[static_cast<size_t>(r) * static_cast<size_t>(turned.cols) + static_cast<size_t>(c)] =
                modules[static_cast<size_t>(from)];
        }
    return turned;
}

Status CheckSides(const ModuleGrid& grid, const Picture& picture) {
    const int64_t width = picture.Width(grid), height = picture.Height(grid);
    const auto inRange = [](int64_t pixels) { return pixels >= 1 && pixels <= kMaxImageSide; };
    if (inRange(width) && inRange(height)) return {};
    return Status::Failed(WriteError::TooLarge, "the image would be " + std::to_string(width) + "x" +
                                                    std::to_string(height) + " pixels; each side must be 1 to " +
                                                    std::to_string(kMaxImageSide));
}

Status RenderGrid(const ModuleGrid& grid, const Picture& picture, GrImage& image) {
    if (Status sides = CheckSides(grid, picture); !sides) return sides;
    // The sides are in range, so only memory can be short.
    const auto width = static_cast<uint32_t>(picture.Width(grid));
    if (!image.Create(width, static_cast<uint32_t>(picture.Height(grid)), 1))
        return Status::Failed(WriteError::OutOfMemory, "out of memory");
    image.SetXDPI(picture.dpi);
    image.SetYDPI(picture.dpi);
    image.SetPaletteColor(kBackgroundIndex, FromRrggbb(picture.background));
    image.SetPaletteColor(kBarIndex, FromRrggbb(picture.foreground));
    if (picture.transparentBackground) image.SetTransIndex(kBackgroundIndex);

    // Each module row becomes one packed pixel row, copied moduleSize times;
    // the margin rows stay at index 0, the background. Stored rows run from
    // the bottom of the picture.
    const uint32_t stride = image.GetEffWidth();
    std::vector<uint8_t> packed(stride);
    const uint32_t height = image.GetHeight();
    const int64_t symbolLeft = (width - picture.Side(grid.cols)) / 2;
    for (int32_t r = 0; r < grid.rows; ++r) {
        std::memset(packed.data(), 0, stride);
        PackRow(grid.dark.data() + static_cast<size_t>(r) * static_cast<size_t>(grid.cols), grid.cols,
                picture.moduleSize, symbolLeft + picture.margin, packed.data());
        const uint32_t top = static_cast<uint32_t>(picture.margin + r * picture.moduleSize);
        for (int32_t i = 0; i < picture.moduleSize; ++i)
            std::memcpy(image.GetBits(height - 1 - top - i), packed.data(), stride);
    }
    // The text below the symbol's margin, each line centred, its ink in the bars' colour.
    int64_t top = picture.Side(grid.rows);
    for (const TextBitmap& line : picture.text) {
        const int64_t left = (width - line.width) / 2;
        for (int32_t y = 0; y < line.height; ++y) {
            uint8_t* row = image.GetBits(static_cast<uint32_t>(height - 1 - (top + y)));
            const uint8_t* ink = line.ink.data() + static_cast<size_t>(y) * static_cast<size_t>(line.width);
            for (int32_t x = 0; x < line.width; ++x)
                if (ink[x]) SetPixels(row, left + x, 1);
        }
        top += line.height;
    }
    return {};
}

}  // namespace glyphrun
