// A symbol drawn straight into a two-colour raster image, with no screen
// bitmap in between: what the command line saves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "glyphrun/gdi_types.h"
#include "glyphrun/gr_image.h"
#include "glyphrun/status.h"
#include "glyphrun/symbol.h"
#include "glyphrun/vector.h"

namespace glyphrun {

struct RasterStyle {
    int32_t moduleSize = 4;  // pixels per module, 1 or more
    int32_t margin = 8;      // pixels of background on each side, 0 or more
    COLORREF background = RGB(255, 255, 255);
    COLORREF bar = RGB(0, 0, 0);
    int32_t dpi = 96;                    // the resolution the file records
    bool transparentBackground = false;  // PNG and GIF: the background's palette entry is transparent
};

// Scanners grade a symbol by the difference of light and dark reflectance
// and fail it below 20 %, so a pair of colours closer than that makes a
// symbol nobody can read.
inline constexpr double kLeastContrast = 0.20;
// That difference for a style's colours, 0 to 1: sRGB made linear and
// weighted by the eye's response, close to what a scanner's sensor sees. A
// transparent background counts as white, the paper or page the symbol
// will sit on, whatever colour its transparent palette entry holds.
double ScanContrast(const RasterStyle& style);

// The ways a picture of a symbol is refused or fails, the code of the
// Status of the functions below; EncodeSymbolFile hands on the compact PNG
// writer's own (CompactPngError) unchanged.
enum class RenderError {
    None = 0,
    BadStyle,     // a module size below 1 or a negative margin
    TooLarge,     // a side of the picture outside 1-kMaxImageSide
    OutOfMemory,  // the image could not be made
    Writer,       // the image writer failed, with its GetLastError text
};

// The same picture as a vector document, a module `style.moduleSize`
// pixels: the quiet zone keeps its width in modules (the margin over the
// module size, rounded up), a transparent background is left out.
VectorStyle VectorStyleOf(const RasterStyle& style);

// The symbol as an SVG or EPS document of that picture, a module
// `moduleMillimetres` wide when it is given (else `style.moduleSize`
// pixels). Refused, as the raster files are, when a side of the raster
// picture would be outside 1-kMaxImageSide, so that a margin one format
// takes, every format takes; or as VectorDocument refuses.
Result<std::string> SymbolVectorDocument(const Symbol& symbol, const RasterStyle& style, VectorFormat format,
                                         std::optional<double> moduleMillimetres = std::nullopt);

// The symbol turned clockwise by `degrees`, 0, 90, 180 or 270 (any other
// value turns it by none): rows and columns swap at 90 and 270. Its size,
// codewords and their meaning stay; readers read it in any of the four.
Symbol Rotated(const Symbol& symbol, int32_t degrees);

// The picture's side for `modules` modules; outside 1-kMaxImageSide a
// raster file cannot hold it.
int64_t PictureSide(const RasterStyle& style, int32_t modules);
// Refused (RenderError::TooLarge) when a side of the symbol's picture is
// outside 1-kMaxImageSide.
Status CheckPictureSides(const Symbol& symbol, const RasterStyle& style);

// Makes `image` a 1-bit image of the symbol with the palette {background,
// bar}: the pixels of EncodeToBitmap's screen bitmap for the same options.
// Fails for a bad module size or margin, a side outside 1-kMaxImageSide,
// or memory that runs out.
Status RenderSymbol(const Symbol& symbol, const RasterStyle& style, GrImage& image);

// The symbol as the bytes of a raster file of `type` (TypePng, TypeGif or
// TypeBmp), appended to `file`. PNG is the compact two-colour form unless
// `codecOption` 1 asks for Adam7 interlacing (then libpng writes it); for
// GIF the option picks the compressor as GrImage's codec option does.
Status EncodeSymbolFile(const Symbol& symbol, const RasterStyle& style, uint32_t type, uint32_t codecOption,
                        std::string& file);

}  // namespace glyphrun
