#include "glyphrun/gr_image.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace glyphrun {
namespace {

constexpr uint32_t kHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr double kInchesPerMetre = 39.37007874015748;

uint32_t RoundBpp(uint32_t bpp) {
    if (bpp <= 1) return 1;
    if (bpp <= 4) return 4;
    if (bpp <= 8) return 8;
    return 24;
}

int32_t PixelsPerMetre(int32_t dpi) {
    const double perMetre = std::floor(dpi * kInchesPerMetre + 0.5);
    return perMetre >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(perMetre);
}

}  // namespace

GrImage::GrImage(uint32_t type) { Startup(type); }

GrImage::GrImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type) {
    Startup(type);
    Create(width, height, bpp, type);
}

GrImage::~GrImage() { Destroy(); }

void GrImage::Startup(uint32_t type) {
    dib_ = nullptr;
    alpha_ = nullptr;
    ghostOwner_ = nullptr;
    header_ = BITMAPINFOHEADER{};
    info_ = Info{};
    info_.type = type;
    SetXDPI(96);
    SetYDPI(96);
}

void GrImage::SetLastError(const char* text) {
    std::strncpy(info_.lastError, text, sizeof info_.lastError - 1);
    info_.lastError[sizeof info_.lastError - 1] = '\0';
}

uint8_t* GrImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type) {
    if (!Destroy()) return nullptr;
    if (width == 0 || height == 0) {
        SetLastError("GrImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    bpp = RoundBpp(bpp);
    // Sizes in 64 bits: the block, the row width and the header's fields must
    // all hold them (signed 32-bit sizes, as the file formats store them).
    const uint64_t effWidth = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
    const uint32_t colors = bpp == 24 ? 0 : 1u << bpp;
    const uint64_t blockSize = kHeaderSize + 4ull * colors + effWidth * height;
    if (width > INT32_MAX || height > INT32_MAX || blockSize > INT32_MAX) {
        SetLastError("GRIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }

    info_.type = type;
    info_.effWidth = static_cast<uint32_t>(effWidth);
    header_.biSize = kHeaderSize;
    header_.biWidth = static_cast<int32_t>(width);
    header_.biHeight = static_cast<int32_t>(height);
    header_.biPlanes = 1;
    header_.biBitCount = static_cast<uint16_t>(bpp);
    header_.biCompression = 0;
    header_.biSizeImage = static_cast<uint32_t>(effWidth * height);
    header_.biClrUsed = colors;
    header_.biClrImportant = 0;

    // Zeroed: row padding reaches files, and must not carry heap bytes.
    dib_ = static_cast<uint8_t*>(std::calloc(1, static_cast<size_t>(blockSize)));
    if (!dib_) {
        SetLastError("GrImage::Create can't allocate memory");
        return nullptr;
    }
    std::memcpy(dib_, &header_, kHeaderSize);
    return dib_;
}

bool GrImage::Destroy() {
    if (ghostOwner_) return false;
    std::free(alpha_);
    std::free(dib_);
    alpha_ = nullptr;
    dib_ = nullptr;
    return true;
}

void GrImage::FreeMemory(void* memory) { std::free(memory); }

void GrImage::Ghost(GrImage* from) {
    if (!from) return;
    header_ = from->header_;
    info_ = from->info_;
    dib_ = from->dib_;
    alpha_ = from->alpha_;
    ghostOwner_ = from;
}

bool GrImage::EncodeSafeCheck(const GrFile* stream) {
    if (!stream) {
        SetLastError("null file handler");
        return true;
    }
    if (!dib_) {
        SetLastError("null image!!!");
        return true;
    }
    return false;
}

RGBQUAD* GrImage::GetPalette() const {
    if (!dib_ || header_.biClrUsed == 0) return nullptr;
    return reinterpret_cast<RGBQUAD*>(dib_ + kHeaderSize);
}

uint8_t GrImage::GetColorType() const {
    if (alpha_) return 4;
    return header_.biBitCount > 8 ? 2 : 1;
}

int64_t GrImage::GetSize() const {
    return static_cast<int64_t>(header_.biSize) + GetPaletteSize() + header_.biSizeImage;
}

uint8_t* GrImage::GetBits(uint32_t row) const {
    if (!dib_ || row >= GetHeight()) return nullptr;
    return dib_ + kHeaderSize + GetPaletteSize() + static_cast<size_t>(row) * info_.effWidth;
}

bool GrImage::IsInside(int64_t x, int64_t y) const {
    return x >= 0 && y >= 0 && x < static_cast<int64_t>(GetWidth()) && y < static_cast<int64_t>(GetHeight());
}

void GrImage::SetXDPI(int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    info_.xDpi = dpi;
    header_.biXPelsPerMeter = PixelsPerMetre(dpi);
}

void GrImage::SetYDPI(int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    info_.yDpi = dpi;
    header_.biYPelsPerMeter = PixelsPerMetre(dpi);
}

uint32_t GrImage::GetCodecOption(uint32_t type) const {
    if (type >= kImageTypeCount) return 0;
    return info_.codecOptions[type == TypeUnknown ? info_.type : type];
}

bool GrImage::SetCodecOption(uint32_t option, uint32_t type) {
    if (type >= kImageTypeCount) return false;
    info_.codecOptions[type == TypeUnknown ? info_.type : type] = option;
    return true;
}

void GrImage::GetOffset(int32_t* x, int32_t* y) const {
    if (x) *x = info_.xOffset;
    if (y) *y = info_.yOffset;
}

void GrImage::SetOffset(int32_t x, int32_t y) {
    info_.xOffset = x;
    info_.yOffset = y;
}

void GrImage::SetClrImportant(uint32_t colors) {
    if (colors == 0 || colors > 256) {
        header_.biClrImportant = 0;
        return;
    }
    switch (header_.biBitCount) {
        case 1: header_.biClrImportant = colors < 2 ? colors : 2; break;
        case 4: header_.biClrImportant = colors < 16 ? colors : 16; break;
        case 8: header_.biClrImportant = colors; break;
        default: break;
    }
}

// ---------------------------------------------------------------- palette

RGBQUAD GrImage::GetPaletteColor(uint8_t index) const {
    const RGBQUAD* palette = GetPalette();
    if (!palette || index >= header_.biClrUsed) return RGBQUAD{};
    return palette[index];
}

bool GrImage::GetPaletteColor(uint8_t index, uint8_t* red, uint8_t* green, uint8_t* blue) const {
    const RGBQUAD* palette = GetPalette();
    if (!palette || index >= header_.biClrUsed) return false;
    *red = palette[index].rgbRed;
    *green = palette[index].rgbGreen;
    *blue = palette[index].rgbBlue;
    return true;
}

void GrImage::SetPaletteColor(uint8_t index, RGBQUAD color) {
    RGBQUAD* palette = GetPalette();
    if (!palette || index >= header_.biClrUsed) return;
    palette[index] = color;
    info_.lastColorValid = false;
}

void GrImage::SetPaletteColor(uint8_t index, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    SetPaletteColor(index, RGBQUAD{blue, green, red, alpha});
}

void GrImage::SetPaletteColor(uint8_t index, COLORREF color) { SetPaletteColor(index, RGBtoRGBQUAD(color)); }

void GrImage::SetPalette(const RGBQUAD* entries, uint32_t count) {
    RGBQUAD* palette = GetPalette();
    if (!palette || !entries) return;
    std::memcpy(palette, entries, 4ull * (count < header_.biClrUsed ? count : header_.biClrUsed));
    info_.lastColorValid = false;
}

void GrImage::SetGrayPalette() {
    const uint32_t colors = header_.biClrUsed;
    if (!GetPalette() || colors < 2) return;
    for (uint32_t i = 0; i < colors; ++i) {
        const auto gray = static_cast<uint8_t>(i * (255 / (colors - 1)));
        SetPaletteColor(static_cast<uint8_t>(i), gray, gray, gray);
    }
}

void GrImage::SwapIndex(uint8_t a, uint8_t b) {
    RGBQUAD* palette = GetPalette();
    if (!palette || a >= header_.biClrUsed || b >= header_.biClrUsed) return;
    const RGBQUAD kept = palette[a];
    palette[a] = palette[b];
    palette[b] = kept;
    info_.lastColorValid = false;
    for (uint32_t y = 0; y < GetHeight(); ++y)
        for (uint32_t x = 0; x < GetWidth(); ++x) {
            const uint8_t index = GetPixelIndex(x, y);
            if (index == a)
                SetPixelIndex(x, y, b);
            else if (index == b)
                SetPixelIndex(x, y, a);
        }
}

uint8_t GrImage::GetNearestIndex(RGBQUAD color) {
    const RGBQUAD* palette = GetPalette();
    if (!palette) return 0;
    if (info_.lastColorValid && std::memcmp(&color, &info_.lastColor, sizeof color) == 0) return info_.lastColorIndex;
    info_.lastColor = color;
    info_.lastColorValid = true;

    const uint32_t searched = header_.biClrImportant ? header_.biClrImportant : header_.biClrUsed;
    int64_t bestDistance = 200000;
    uint8_t best = 0;
    for (uint32_t i = 0; i < searched; ++i) {
        const int64_t dr = palette[i].rgbRed - color.rgbRed, dg = palette[i].rgbGreen - color.rgbGreen,
                      db = palette[i].rgbBlue - color.rgbBlue;
        const int64_t distance = dr * dr + dg * dg + db * db;
        if (distance == 0) {
            best = static_cast<uint8_t>(i);
            break;
        }
        if (distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<uint8_t>(i);
        }
    }
    info_.lastColorIndex = best;
    return best;
}

// ---------------------------------------------------------------- pixels

RGBQUAD GrImage::GetTransColor() const {
    if (header_.biBitCount < 24 && info_.transIndex >= 0)
        return GetPaletteColor(static_cast<uint8_t>(info_.transIndex));
    return info_.transColor;
}

void GrImage::SetTransColor(RGBQUAD color) {
    color.rgbReserved = 0;
    info_.transColor = color;
}

uint8_t GrImage::GetPixelIndex(int64_t x, int64_t y) const {
    if (!dib_ || !IsIndexed()) return 0;
    if (!IsInside(x, y)) {
        if (info_.transIndex != -1) return static_cast<uint8_t>(info_.transIndex);
        return *GetBits(0);
    }
    const uint8_t* row = GetBits(static_cast<uint32_t>(y));
    switch (header_.biBitCount) {
        case 8: return row[x];
        case 4: return (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 0x0F;
        case 1: return row[x / 8] >> (7 - x % 8) & 1;
        default: return 0;
    }
}

void GrImage::SetPixelIndex(int64_t x, int64_t y, uint8_t index) {
    if (!dib_ || !IsIndexed() || !IsInside(x, y)) return;
    uint8_t* row = GetBits(static_cast<uint32_t>(y));
    switch (header_.biBitCount) {
        case 8: row[x] = index; return;
        case 4: {
            const int shift = (x % 2 == 0) ? 4 : 0;
            row[x / 2] = static_cast<uint8_t>((row[x / 2] & ~(0x0F << shift)) | (index & 0x0F) << shift);
            return;
        }
        case 1: {
            const int shift = 7 - static_cast<int>(x % 8);
            row[x / 8] = static_cast<uint8_t>((row[x / 8] & ~(1 << shift)) | (index & 1) << shift);
            return;
        }
        default: return;
    }
}

RGBQUAD GrImage::GetPixelColor(int64_t x, int64_t y, bool withAlpha) const {
    if (dib_ && IsInside(x, y)) {
        RGBQUAD color;
        if (IsIndexed()) {
            color = GetPaletteColor(GetPixelIndex(x, y));
        } else {
            const uint8_t* pixel = GetBits(static_cast<uint32_t>(y)) + 3 * x;
            color = RGBQUAD{pixel[0], pixel[1], pixel[2], info_.transColor.rgbReserved};
        }
        if (alpha_ && withAlpha) color.rgbReserved = AlphaGet(x, y);
        return color;
    }
    if (info_.transIndex != -1) {
        if (header_.biBitCount < 24) return GetPaletteColor(static_cast<uint8_t>(info_.transIndex));
        return info_.transColor;
    }
    return dib_ ? GetPixelColor(0, 0, true) : info_.transColor;
}

// ---------------------------------------------------------------- alpha

void GrImage::AlphaCreate() {
    if (alpha_) return;
    const size_t count = static_cast<size_t>(GetWidth()) * GetHeight();
    if (count == 0) return;
    alpha_ = static_cast<uint8_t*>(std::malloc(count));
    if (alpha_) std::memset(alpha_, 255, count);
}

void GrImage::AlphaDelete() {
    std::free(alpha_);
    alpha_ = nullptr;
}

uint8_t GrImage::AlphaGet(int64_t x, int64_t y) const {
    if (!alpha_ || !IsInside(x, y)) return 0;
    return alpha_[static_cast<size_t>(y) * GetWidth() + x];
}

void GrImage::AlphaSet(int64_t x, int64_t y, uint8_t value) {
    if (!alpha_ || !IsInside(x, y)) return;
    alpha_[static_cast<size_t>(y) * GetWidth() + x] = value;
}

RGBQUAD GrImage::RGBtoRGBQUAD(COLORREF color) {
    return RGBQUAD{GetBValue(color), GetGValue(color), GetRValue(color), 0};
}

COLORREF GrImage::RGBQUADtoRGB(RGBQUAD color) { return RGB(color.rgbRed, color.rgbGreen, color.rgbBlue); }

}  // namespace glyphrun
