// The device-independent bitmap types of the drawing platform: colours,
// palette entries and the bitmap info header, laid out as the platform
// stores them in memory and in BMP files (little-endian, no padding).
#pragma once

#include <cstdint>
#include "glyphrun/export.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

using COLORREF = uint32_t;  // 0x00BBGGRR

struct RGBQUAD {
    uint8_t rgbBlue;
    uint8_t rgbGreen;
    uint8_t rgbRed;
    uint8_t rgbReserved;
};

struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;  // positive: rows are stored bottom-up
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

static_assert(sizeof(RGBQUAD) == 4 && sizeof(BITMAPINFOHEADER) == 40, "platform layouts have no padding");

constexpr COLORREF RGB(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<COLORREF>(red) | static_cast<COLORREF>(green) << 8 | static_cast<COLORREF>(blue) << 16;
}
constexpr uint8_t GetRValue(COLORREF c) { return c & 0xFF; }
constexpr uint8_t GetGValue(COLORREF c) { return c >> 8 & 0xFF; }
constexpr uint8_t GetBValue(COLORREF c) { return c >> 16 & 0xFF; }
// The colour as 0xRRGGBB, as documents and web colours write it.
constexpr uint32_t ToRrggbb(COLORREF c) {
    return static_cast<uint32_t>(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
}
constexpr COLORREF FromRrggbb(uint32_t rrggbb) {
    return RGB(static_cast<uint8_t>(rrggbb >> 16), static_cast<uint8_t>(rrggbb >> 8), static_cast<uint8_t>(rrggbb));
}

}  // namespace glyphrun
GLYPHRUN_API_END
