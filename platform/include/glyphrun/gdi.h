// A small headless drawing layer with the names and rules of the desktop
// platform's drawing services: device contexts, bitmaps, regions and the
// device-independent bitmap transfers, all in memory.
//
// Handles are checked: a null, stale or deleted handle gives the failure
// value (0, null or CLR_INVALID) and never crashes. Bitmaps and device
// contexts have y growing downward; device-independent pixel blocks are
// bottom-up unless their height is negative, rows padded to 4 bytes,
// 24-bit pixels in blue-green-red order. Colours are 0x00BBGGRR.
//
// Object lookups take no lock, so the per-pixel calls stay cheap; creating
// and deleting objects is safe from several threads, using one object from
// several threads at once is not.
#pragma once

#include <cstdint>

#include "glyphrun/export.h"
#include "glyphrun/gdi_types.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

struct HDC__;
struct HBITMAP__;
struct HRGN__;
struct HPALETTE__;
struct HWND__;
using HDC = HDC__*;
using HBITMAP = HBITMAP__*;
using HRGN = HRGN__*;
using HPALETTE = HPALETTE__*;
using HWND = HWND__*;
using HGDIOBJ = void*;
using BOOL = int;
using UINT = unsigned int;

struct RECT {
    int32_t left, top, right, bottom;
};

struct BITMAP {
    int32_t bmType;
    int32_t bmWidth;
    int32_t bmHeight;
    int32_t bmWidthBytes;
    uint16_t bmPlanes;
    uint16_t bmBitsPixel;
    void* bmBits;  // the rows of a DIB section, null otherwise
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];  // as many as the bit count needs follow
};

struct PALETTEENTRY {
    uint8_t peRed, peGreen, peBlue, peFlags;
};

struct LOGPALETTE {
    uint16_t palVersion;
    uint16_t palNumEntries;
    PALETTEENTRY palPalEntry[1];  // palNumEntries of them follow
};

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t SRCCOPY = 0x00CC0020;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int RGN_AND = 1, RGN_OR = 2, RGN_COPY = 5;
inline constexpr int ERROR_REGION = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;

// ---- device contexts
HDC GetDC(HWND window);  // null window: the screen
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);  // null: compatible with the screen
BOOL DeleteDC(HDC dc);           // deselects its bitmap, which is then free
// A device context drawing into the caller's 32-bit pixels (0x00RRGGBB in
// memory order blue, green, red, unused), top row first, `stride` bytes
// per row. The pixels stay the caller's; DeleteDC releases the context.
HDC CreateDCForBuffer(uint8_t* pixels, int32_t width, int32_t height, int32_t stride);

// ---- objects
HBITMAP CreateCompatibleBitmap(HDC dc, int32_t width, int32_t height);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section, uint32_t offset);
HPALETTE CreatePalette(const LOGPALETTE* palette);
HRGN CreateRectRgn(int32_t left, int32_t top, int32_t right, int32_t bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// The previous object of the same kind, or null on failure; a bitmap that
// is selected into another context cannot be selected.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Fails for an object still selected into a context, and for stock objects.
BOOL DeleteObject(HGDIOBJ object);
// Bytes written to `out`: a BITMAP for bitmaps. 0 on failure.
int GetObject(HGDIOBJ object, int size, void* out);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);

// ---- pixels
COLORREF SetPixel(HDC dc, int32_t x, int32_t y, COLORREF color);  // the colour set, or CLR_INVALID
COLORREF GetPixel(HDC dc, int32_t x, int32_t y);
BOOL BitBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t sourceX, int32_t sourceY,
            uint32_t rop);
// Copies a bitmap's lines into a DIB of the format `info` describes
// (filling its colour table for 8 bits or less); the number of lines, 0 on failure.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
// Copies DIB lines to the device, clipped by the surface and the clip
// region; the number of lines copied, 0 on failure.
int SetDIBitsToDevice(HDC dc, int32_t x, int32_t y, uint32_t width, uint32_t height, int32_t sourceX, int32_t sourceY,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
int SetStretchBltMode(HDC dc, int mode);  // the previous mode, 0 on failure

// ---- clipping
int GetClipBox(HDC dc, RECT* box);
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
int SelectClipRgn(HDC dc, HRGN region);

// ---- the virtual screen
// Bits per pixel of the screen and of bitmaps compatible with it: 32 (the
// default), 24, 16, 8, 4 or 1. False for any other depth.
bool SetScreenDepth(int bitsPerPixel);
int GetScreenDepth();
// Objects alive now, to find leaks in tests.
int CountGdiObjects();

}  // namespace glyphrun
GLYPHRUN_API_END
