// The GIF true-colour path: 24-bit images become one palette image when
// they have at most 256 colours (a symbol has two), and tiles of at most
// 255 pixels with a colour table each otherwise.
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

constexpr int kTileWidth = 17, kTileHeight = 15;

uint32_t Key(const RGBQUAD& c) { return static_cast<uint32_t>(c.rgbRed) << 16 | c.rgbGreen << 8 | c.rgbBlue; }

// The distinct colours of an image in the order they first appear, up to 256,
// with the index of each.
class ColorTable {
public:
    // The colour's index, added when new; -1 when it would be the 257th.
    int Add(const RGBQUAD& color) {
        const uint32_t key = Key(color);
        const size_t slot = Find(key);
        if (slots_[slot] != kEmpty) return indexes_[slot];
        if (count_ == 256) return -1;
        slots_[slot] = key;
        indexes_[slot] = static_cast<uint8_t>(count_);
        colors_[count_] = RGBQUAD{color.rgbBlue, color.rgbGreen, color.rgbRed, 0};
        return count_++;
    }
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

// The image's colours, the transparent one first, and the index of every
// pixel (bottom row first); false past 256 colours.
bool IndexColors(const GrImage& image, ColorTable& table, std::vector<uint8_t>& indexes) {
    if (image.IsTransparent() && table.Add(image.GetTransColor()) < 0) return false;
    const uint32_t width = image.GetWidth();
    indexes.resize(static_cast<size_t>(width) * image.GetHeight());
    // Colours are numbered in the order a viewer meets them, from the top.
    for (uint32_t row = image.GetHeight(); row-- > 0;) {
        const uint8_t* pixel = image.GetBits(row);
        uint8_t* index = indexes.data() + static_cast<size_t>(row) * width;
        uint32_t lastKey = 0xFFFFFFFF;
        int last = 0;
        for (uint32_t x = 0; x < width; ++x, pixel += 3) {
            const RGBQUAD color{pixel[0], pixel[1], pixel[2], 0};
            if (Key(color) != lastKey) {  // neighbours mostly share a colour
                last = table.Add(color);
                if (last < 0) return false;
                lastKey = Key(color);
            }
            index[x] = static_cast<uint8_t>(last);
        }
    }
    return true;
}

// For one tile: the first palette entry of each colour among the entries
// written so far. A tile's pixels take the first entry of their exact
// colour among all 256; entries past the pixel's own cannot be first, and
// the ones below it are entry 0, entries of earlier pixels, and entries the
// tile's width skips, which hold black since the tile image was made.
class FirstEntries {
public:
    void Reset(const RGBQUAD& entry0) {
        used_.fill(false);
        next_ = 1;
        Note(Key(entry0), 0);
    }
    // The first entry of the colour written at `entry`.
    uint8_t Write(const RGBQUAD& color, int entry) {
        for (; next_ < entry; ++next_) Note(0, next_);  // skipped entries: black
        next_ = entry + 1;
        return Note(Key(color), entry);
    }

private:
    static constexpr size_t kSlots = 1024;
    uint8_t Note(uint32_t key, int entry) {
        size_t slot = (key * 2654435761u) >> 22;
        while (used_[slot] && keys_[slot] != key) slot = (slot + 1) % kSlots;
        if (!used_[slot]) {
            used_[slot] = true;
            keys_[slot] = key;
            entries_[slot] = static_cast<uint8_t>(entry);
        }
        return entries_[slot];
    }
    std::array<bool, kSlots> used_{};
    std::array<uint32_t, kSlots> keys_{};
    std::array<uint8_t, kSlots> entries_{};
    int next_ = 1;
};

// Packs palette indexes into a zeroed row of 1, 4 or 8 bits per pixel, the
// leftmost pixel in the most significant bits.
void PackRow(const uint8_t* indexes, uint32_t width, uint32_t bpp, uint8_t* row) {
    const uint32_t perByte = 8 / bpp;
    for (uint32_t x = 0; x < width; ++x)
        row[x / perByte] |= static_cast<uint8_t>(indexes[x] << (8 - bpp * (x % perByte + 1)));
}

}  // namespace

bool GrImageGIF::EncodeRGB(GrFile* stream) {
    auto table = std::make_unique<ColorTable>();
    std::vector<uint8_t> indexes;
    if (!IndexColors(*this, *table, indexes)) return WriteTiles(stream);

    GrImageGIF indexed;
    const int count = table->count();
    const uint32_t bpp = count <= 2 ? 1 : count <= 16 ? 4 : 8;
    if (!indexed.Create(GetWidth(), GetHeight(), bpp, TypeGif)) {
        SetLastError(indexed.GetLastError());
        return false;
    }
    indexed.SetPalette(table->colors(), static_cast<uint32_t>(count));
    const uint32_t width = GetWidth();
    for (uint32_t row = 0; row < GetHeight(); ++row)
        PackRow(indexes.data() + static_cast<size_t>(row) * width, width, bpp, indexed.GetBits(row));
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
    auto first = std::make_unique<FirstEntries>();
    const uint32_t width = GetWidth(), height = GetHeight();
    for (uint32_t y0 = 0; y0 < height; y0 += kTileHeight) {
        for (uint32_t x0 = 0; x0 < width; x0 += kTileWidth) {
            const uint32_t w = std::min<uint32_t>(kTileWidth, width - x0);
            const uint32_t h = std::min<uint32_t>(kTileHeight, height - y0);
            if ((tile.GetWidth() != w || tile.GetHeight() != h || !tile.IsValid()) &&
                !tile.Create(w, h, 8, TypeUnknown)) {
                SetLastError(tile.GetLastError());
                return false;
            }
            if (IsTransparent()) {
                tile.SetTransIndex(0);
                tile.SetPaletteColor(0, GetTransColor());
            }
            first->Reset(tile.GetPaletteColor(0));
            for (uint32_t r = 0; r < h; ++r) {
                for (uint32_t k = 0; k < w; ++k) {
                    const auto entry = static_cast<uint8_t>(1 + kTileWidth * r + k);
                    const RGBQUAD color = GetPixelColor(x0 + k, height - y0 - h + r, true);
                    tile.SetPaletteColor(entry, color);
                    tile.SetPixelIndex(k, r, first->Write(color, entry));
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
