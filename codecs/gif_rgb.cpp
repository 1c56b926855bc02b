// The GIF true-colour path: 24-bit images become one palette image when
// they have at most 256 colours (a symbol has two), and tiles of at most
// 255 pixels with a colour table each otherwise.
#include <algorithm>
#include <array>
#include <memory>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

constexpr int kTileWidth = 17, kTileHeight = 15;

uint32_t Key(const RGBQUAD& c) { return static_cast<uint32_t>(c.rgbRed) << 16 | c.rgbGreen << 8 | c.rgbBlue; }

// The distinct colours of an image in the order they first appear, up to 256,
// with the index of each.
class ColorTable {
public:
    // False when the colour would be the 257th.
    bool Add(const RGBQUAD& color) {
        const uint32_t key = Key(color);
        size_t slot = Find(key);
        if (slots_[slot] != kEmpty) return true;
        if (count_ == 256) return false;
        slots_[slot] = key;
        indexes_[slot] = static_cast<uint8_t>(count_);
        colors_[count_++] = RGBQUAD{color.rgbBlue, color.rgbGreen, color.rgbRed, 0};
        return true;
    }
    uint8_t IndexOf(const RGBQUAD& color) const { return indexes_[Find(Key(color))]; }
    int count() const { return count_; }
    const RGBQUAD* colors() const { return colors_.data(); }

private:
    static constexpr uint32_t kEmpty = 0xFFFFFFFF;  // no colour has this key
    static constexpr size_t kSlots = 1024;          // a quarter full at most

    size_t Find(uint32_t key) const {
        size_t slot = (key * 2654435761u) >> 22;
        while (slots_[slot] != kEmpty && slots_[slot] != key) slot = (slot + 1) % kSlots;
        return slot;
    }

    std::array<uint32_t, kSlots> slots_ = MakeEmpty();
    std::array<uint8_t, kSlots> indexes_{};
    std::array<RGBQUAD, 256> colors_{};
    int count_ = 0;

    static std::array<uint32_t, kSlots> MakeEmpty() {
        std::array<uint32_t, kSlots> slots;
        slots.fill(kEmpty);
        return slots;
    }
};

RGBQUAD PixelAt(const GrImage& image, uint32_t x, uint32_t row) {
    const uint8_t* pixel = image.GetBits(row) + 3 * x;
    return RGBQUAD{pixel[0], pixel[1], pixel[2], 0};
}

// The image's colours, the transparent one first; false past 256.
bool CollectColors(const GrImage& image, ColorTable& table) {
    if (image.IsTransparent() && !table.Add(image.GetTransColor())) return false;
    for (uint32_t row = image.GetHeight(); row-- > 0;)
        for (uint32_t x = 0; x < image.GetWidth(); ++x)
            if (!table.Add(PixelAt(image, x, row))) return false;
    return true;
}

}  // namespace

bool GrImageGIF::EncodeRGB(GrFile* stream) {
    auto table = std::make_unique<ColorTable>();
    if (!CollectColors(*this, *table)) return WriteTiles(stream);

    GrImageGIF indexed;
    const int count = table->count();
    const uint32_t bpp = count <= 2 ? 1 : count <= 16 ? 4 : 8;
    if (!indexed.Create(GetWidth(), GetHeight(), bpp, TypeGif)) {
        SetLastError(indexed.GetLastError());
        return false;
    }
    indexed.SetPalette(table->colors(), static_cast<uint32_t>(count));
    for (uint32_t row = 0; row < GetHeight(); ++row)
        for (uint32_t x = 0; x < GetWidth(); ++x) indexed.SetPixelIndex(x, row, table->IndexOf(PixelAt(*this, x, row)));
    indexed.SetTransIndex(IsTransparent() ? 0 : -1);
    indexed.SetCodecOption(GetCodecOption(TypeGif), TypeGif);
    indexed.SetFrameDelay(GetFrameDelay());
    indexed.SetDisposalMethod(disposalMethod_);
    indexed.SetComment(comment_);
    const bool written = indexed.EncodePalette(stream);
    if (!written) SetLastError(indexed.GetLastError());
    return written;
}

// Each tile of at most 17 x 15 pixels gets a colour table of its own, so no
// colour is lost; pixel p of row r uses entry 1 + 17r + p, entry 0 being the
// transparent colour (or black).
bool GrImageGIF::WriteTiles(GrFile* stream) {
    EncodeHeader(stream);
    EncodeComment(stream);
    GrImageGIF tile;
    const uint32_t width = GetWidth(), height = GetHeight();
    for (uint32_t y0 = 0; y0 < height; y0 += kTileHeight) {
        for (uint32_t x0 = 0; x0 < width; x0 += kTileWidth) {
            const uint32_t w = std::min<uint32_t>(kTileWidth, width - x0);
            const uint32_t h = std::min<uint32_t>(kTileHeight, height - y0);
            if ((tile.GetWidth() != w || tile.GetHeight() != h || !tile.IsValid()) && !tile.Create(w, h, 8, TypeUnknown)) {
                SetLastError(tile.GetLastError());
                return false;
            }
            if (IsTransparent()) {
                tile.SetTransIndex(0);
                tile.SetPaletteColor(0, GetTransColor());
            }
            for (uint32_t r = 0; r < h; ++r) {
                for (uint32_t k = 0; k < w; ++k) {
                    const auto entry = static_cast<uint8_t>(1 + kTileWidth * r + k);
                    tile.SetPaletteColor(entry, GetPixelColor(x0 + k, height - y0 - h + r, true));
                    tile.SetPixelIndex(k, r, tile.GetNearestIndex(tile.GetPaletteColor(entry)));
                }
            }
            tile.SetOffset(static_cast<int32_t>(x0), static_cast<int32_t>(y0));
            tile.EncodeExtension(stream);
            tile.EncodeBody(stream, true);
        }
    }
    Put(stream, 0x3B);
    if (tile.writeFailed_) writeFailed_ = true;
    return FinishWrite(stream);
}

}  // namespace glyphrun
