// The barcode front end: an options record in, a screen-compatible bitmap
// of the symbol in the chosen colours out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "glyphrun/ecc200.h"
#include "glyphrun/export.h"
#include "glyphrun/gdi.h"
#include "glyphrun/gr_image.h"
#include "glyphrun/status.h"
#include "glyphrun/write.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

inline constexpr int32_t kBarcodeTextSize = 3300;

struct BarcodeOptions {
    uint8_t text[kBarcodeTextSize];  // the bytes to encode
    int32_t length;                  // bytes of text; 0: up to the first zero byte (written back)
    int32_t mode;                    // see below; -1 (default) automatic
    int32_t moduleSize;              // pixels per module, 1 or more
    int32_t sizeIndex;               // 0-47 or a family: kSmallestSquare, kSmallestRectangle, ...
    int32_t margin;                  // quiet zone in pixels on each side
    COLORREF backgroundColor;        // light modules and margin
    COLORREF barColor;               // dark modules
    DataMeaning meaning{};           // zero (the default): plain bytes; GS1 or an ECI otherwise
};

// Front-end modes: 0 ASCII, 1 C40, 2 Text, 3 Base 256, 4 X12, 5 EDIFACT,
// 8 the minimal encodation; any other value the automatic choice.
inline constexpr int32_t kModeMinimal = 8;
EncodeScheme SchemeForMode(int32_t mode);

// Zeroes the record, then: mode -1, module size 2, size index -1, margin 4,
// white background, black bars.
void SetDefaultBarcodeOptions(BarcodeOptions* options);

// The symbol as a bitmap compatible with the screen, exactly as large as
// the symbol and its margins. The front end holds the bitmap (one per
// thread) until ReleaseBarcodeBitmap or the next call. Null on failure;
// EncodeBarcodeBitmap tells why.
HBITMAP EncodeToBitmap(BarcodeOptions* options);
int ReleaseBarcodeBitmap();  // always 1

// Paints a module image into a new screen-compatible bitmap: pixels whose
// channel 0 is 0 in the bar colour, the others in the background colour.
HBITMAP RenderModuleImage(const ModuleImage* image, int32_t width, int32_t height, COLORREF background, COLORREF bar);

enum class BarcodeError : int32_t {
    None = 0,
    NoOptions,
    BadLength,      // `length` outside 0-3300
    Unterminated,   // length 0 and no zero byte in the text
    BadModuleSize,  // below 1
    BadMargin,      // negative
    Encoder,        // the encoder's own reason
    NoBitmap,       // the drawing layer could not make the bitmap
};
GLYPHRUN_ERROR_ENUM(BarcodeError)

// What EncodeToBitmap does, with the reason for a failure: the bitmap, held
// as EncodeToBitmap holds it, or null with a BarcodeError and one line.
Result<HBITMAP> EncodeBarcodeBitmap(BarcodeOptions* options);

// The symbol as a 1-bit image with the palette {background, foreground}:
// the pixels of the raster files for the same style, rotation included,
// and of EncodeToBitmap's screen bitmap for the same options. What the
// window shows and copies.
Status RenderSymbol(const Symbol& symbol, const Style& style, GrImage& image);

// One grey byte a pixel, top row first, 0 black.
struct GreyPicture {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
};
// The symbol as a reader checking a file about to be written should see
// it: a raster format's own pixels, or a vector format's module grid at
// moduleSize pixels (at least 4), without the text under it, the background a
// transparent one leaves white, and light modules on a dark ground
// (reflectance reversed) turned over, as scanners read them.
Result<GreyPicture> PictureToRead(const Symbol& symbol, Format format, Style style);

}  // namespace glyphrun
GLYPHRUN_API_END
