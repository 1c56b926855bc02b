// Import from a platform bitmap, and drawing onto a device.
#include <algorithm>
#include <cmath>

#include "glyphrun/gr_image.h"

namespace glyphrun {

bool GrImage::CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette) {
    if (!Destroy()) return false;
    BITMAP description;
    if (!bitmap || !GetObject(bitmap, sizeof description, &description)) {
        SetLastError("not a bitmap");
        return false;
    }
    if (!Create(static_cast<uint32_t>(description.bmWidth), static_cast<uint32_t>(description.bmHeight),
                description.bmBitsPixel, TypeUnknown))
        return false;
    const HDC screen = GetDC(nullptr);
    if (!screen) {
        SetLastError("no screen device context");
        Destroy();
        return false;
    }
    if (palette) {
        SelectPalette(screen, palette, 0);
        RealizePalette(screen);
    }
    // The block starts with the header and palette, as the conversion wants.
    const int lines =
        GetDIBits(screen, bitmap, 0, GetHeight(), GetBits(), reinterpret_cast<BITMAPINFO*>(dib_), DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines == 0) {
        SetLastError("GetDIBits failed");
        Destroy();  // nothing undefined is shown or saved
        return false;
    }
    return true;
}

int32_t GrImage::Draw(HDC dc, const RECT& rect, const RECT* clip, bool smooth) {
    return Draw(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, clip, smooth);
}

namespace {

struct PaintBox {
    int32_t left, top, right, bottom;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
};

// The part of the destination that the device's clip box lets show.
PaintBox PaintBoxOf(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy) {
    RECT box{};
    GetClipBox(dc, &box);
    const auto clamp = [](int64_t v, int64_t low, int64_t high) {
        return static_cast<int32_t>(std::max(low, std::min(high, v)));
    };
    const int32_t top = clamp(y, box.top, box.bottom);
    const int32_t left = clamp(x, box.left, box.right);
    const int32_t right = clamp(int64_t{x} + cx, box.left, box.right);
    const int32_t bottom = clamp(int64_t{y} + cy, box.top, box.bottom);
    return PaintBox{left, top, std::max(left, right), std::max(top, bottom)};
}

}  // namespace

int32_t GrImage::Draw(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, const RECT* clip, bool smooth) {
    if (!dib_ || !dc || cx == 0 || cy == 0 || !info_.enabled) return 0;
    const int32_t width = static_cast<int32_t>(GetWidth()), height = static_cast<int32_t>(GetHeight());
    if (cx < 0) cx = width;
    if (cy < 0) cy = height;
    const bool transparent = info_.transIndex != -1;
    const bool blended = transparent || alpha_ || info_.alphaPaletteEnabled;

    RECT savedBox{};
    if (clip) {
        GetClipBox(dc, &savedBox);
        const HRGN region = CreateRectRgnIndirect(clip);
        ExtSelectClipRgn(dc, region, RGN_AND);
        DeleteObject(region);
    }
    const PaintBox box = PaintBoxOf(dc, x, y, cx, cy);

    if (!blended && cx == width && cy == height) {
        // The daily path: the device clips a one-to-one copy.
        SetStretchBltMode(dc, COLORONCOLOR);
        SetDIBitsToDevice(dc, x, y, static_cast<uint32_t>(cx), static_cast<uint32_t>(cy), 0, 0, 0,
                          static_cast<uint32_t>(cy), GetBits(), reinterpret_cast<const BITMAPINFO*>(dib_),
                          DIB_RGB_COLORS);
    } else if (box.width() > 0 && box.height() > 0) {
        PaintThroughBuffer(dc, x, y, cx, cy, box.left, box.top, box.right, box.bottom, blended, smooth);
    }

    if (clip) {
        const HRGN region = CreateRectRgnIndirect(&savedBox);
        ExtSelectClipRgn(dc, region, RGN_OR);
        DeleteObject(region);
    }
    return 1;
}

RGBQUAD GrImage::SampleColor(float sx, float sy, bool smooth) const {
    const int32_t width = static_cast<int32_t>(GetWidth()), height = static_cast<int32_t>(GetHeight());
    const auto pixel = [&](int32_t px, int32_t py) {
        return GetPixelColor(std::clamp(px, 0, width - 1), std::clamp(py, 0, height - 1), false);
    };
    if (!smooth) return pixel(static_cast<int32_t>(std::floor(sx)), static_cast<int32_t>(std::floor(sy)));
    // Bilinear between the four pixels around (sx - 0.5, sy - 0.5), edges repeated.
    const float fx = sx - 0.5f, fy = sy - 0.5f;
    const int32_t x0 = static_cast<int32_t>(std::floor(fx)), y0 = static_cast<int32_t>(std::floor(fy));
    const float ax = fx - x0, ay = fy - y0;
    const RGBQUAD c00 = pixel(x0, y0), c10 = pixel(x0 + 1, y0), c01 = pixel(x0, y0 + 1), c11 = pixel(x0 + 1, y0 + 1);
    const auto mix = [&](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        const float value = (a * (1 - ax) + b * ax) * (1 - ay) + (c * (1 - ax) + d * ax) * ay;
        return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 255.0f)));
    };
    return RGBQUAD{mix(c00.rgbBlue, c10.rgbBlue, c01.rgbBlue, c11.rgbBlue),
                   mix(c00.rgbGreen, c10.rgbGreen, c01.rgbGreen, c11.rgbGreen),
                   mix(c00.rgbRed, c10.rgbRed, c01.rgbRed, c11.rgbRed), 0};
}

void GrImage::PaintThroughBuffer(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, int32_t left, int32_t top,
                                 int32_t right, int32_t bottom, bool blended, bool smooth) {
    const int32_t width = static_cast<int32_t>(GetWidth()), height = static_cast<int32_t>(GetHeight());
    const int32_t paintWidth = right - left, paintHeight = bottom - top;
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), paintWidth, paintHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const HDC memory = CreateCompatibleDC(dc);
    void* bits = nullptr;
    const HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section) {
        DeleteDC(memory);
        return;
    }
    const HGDIOBJ previous = SelectObject(memory, section);
    // A blended image goes over what the device shows already.
    if (blended) BitBlt(memory, 0, 0, paintWidth, paintHeight, dc, left, top, SRCCOPY);

    const bool sameSize = cx == width && cy == height;
    const float fx = static_cast<float>(width) / static_cast<float>(cx);
    const float fy = static_cast<float>(height) / static_cast<float>(cy);
    const int64_t stride = (int64_t{paintWidth} * 24 + 31) / 32 * 4;
    for (int32_t k = 0; k < paintHeight; ++k) {  // k = 0: the bottom row of the paint box
        uint8_t* out = static_cast<uint8_t*>(bits) + k * stride;
        for (int32_t j = 0; j < paintWidth; ++j, out += 3) {
            int32_t column, row;
            RGBQUAD color;
            if (sameSize) {
                column = left - x + j;
                row = height - bottom + y + k;
                color = GetPixelColor(column, row, false);
            } else {
                const float sx = static_cast<float>(j + left - x) * fx;
                const float sy = static_cast<float>(height) - static_cast<float>((bottom - k) - y) * fy;
                column = std::clamp(static_cast<int32_t>(std::floor(sx)), 0, width - 1);
                row = std::clamp(static_cast<int32_t>(std::floor(sy)), 0, height - 1);
                color = SampleColor(sx, sy, smooth);
            }
            if (!blended) {
                out[0] = color.rgbBlue;
                out[1] = color.rgbGreen;
                out[2] = color.rgbRed;
                continue;
            }
            BlendPixel(out, column, row, color);
        }
    }
    SetDIBitsToDevice(dc, left, top, static_cast<uint32_t>(paintWidth), static_cast<uint32_t>(paintHeight), 0, 0, 0,
                      static_cast<uint32_t>(paintHeight), bits, &info, DIB_RGB_COLORS);
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
}

// Puts one source pixel over the background byte triple `out`.
void GrImage::BlendPixel(uint8_t* out, int32_t column, int32_t row, RGBQUAD color) const {
    int a = alpha_ ? alpha_[static_cast<size_t>(row) * GetWidth() + column] : 255;
    a = a * (info_.alphaMax + 1) / 256;
    if (IsIndexed()) {
        const uint8_t index = GetPixelIndex(column, row);
        if (info_.alphaPaletteEnabled) a = a * (GetPaletteColor(index).rgbReserved + 1) / 256;
        if (info_.transIndex != -1 && index == info_.transIndex) return;
    } else if (info_.transIndex != -1) {
        const RGBQUAD key = GetTransColor();
        if (color.rgbBlue == key.rgbBlue && color.rgbGreen == key.rgbGreen && color.rgbRed == key.rgbRed &&
            color.rgbReserved == key.rgbReserved)
            return;
    }
    if (a == 0) return;
    if (a == 255) {
        out[0] = color.rgbBlue;
        out[1] = color.rgbGreen;
        out[2] = color.rgbRed;
        return;
    }
    out[0] = static_cast<uint8_t>((out[0] * (255 - a) + color.rgbBlue * a) / 256);
    out[1] = static_cast<uint8_t>((out[1] * (255 - a) + color.rgbGreen * a) / 256);
    out[2] = static_cast<uint8_t>((out[2] * (255 - a) + color.rgbRed * a) / 256);
}

}  // namespace glyphrun
