// A symbol as a file: one style for every format, the file's bytes in
// memory, or the file written safely.
//
//     const Result<Symbol> made = Encode(bytes);
//     Style style;                 // 4 pixels a module, 2 modules of quiet zone
//     style.foreground = 0x102030;  // 0xRRGGBB
//     Status saved = SaveSymbol(made.value(), "label.png", style);
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "glyphrun/export.h"
#include "glyphrun/status.h"
#include "glyphrun/symbol.h"
#include "glyphrun/vector.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

enum class Format { Png, Gif, Bmp, Pgm, Svg, Eps, Pdf };

// The format a file name's extension names, in any case: .png, .gif, .bmp,
// .pgm, .svg, .eps or .pdf; nothing for another.
std::optional<Format> FormatOfPath(std::string_view path);
const char* FormatName(Format format);  // "PNG", "GIF", ...
// The file of the `number`th symbol of a message: "label.png" gives
// "label-2.png", a name without an extension "label-2".
std::string NumberedPath(const std::string& path, int32_t number);
bool IsVector(Format format);  // SVG, EPS and PDF

enum class GifCodes { Lzw, Plain, RunLength };  // how a GIF's pixels are coded

struct Style {
    int32_t moduleSize = 4;  // pixels a module, 1 or more (with xdimMillimetres: what the dpi makes of it)
    int32_t quietZone = 2;   // modules of background on each side, 0 or more
    // Raster files only: the quiet zone in pixels instead, for one that is
    // not a whole number of modules. Vector files round it up to modules.
    std::optional<int32_t> marginPixels;
    uint32_t foreground = 0x000000;  // 0xRRGGBB
    uint32_t background = 0xFFFFFF;  // 0xRRGGBB
    // 255: opaque; 0: transparent, the page shows through (PNG, GIF, SVG,
    // EPS; BMP and PGM have no transparency and refuse it).
    uint8_t backgroundAlpha = 255;
    int32_t dpi = 96;  // the resolution a raster file records, 1-100000
    // The printed side of a module. Vector files are drawn in millimetres;
    // raster files take the whole pixels at `dpi` nearest to it, in place
    // of moduleSize.
    std::optional<double> xdimMillimetres;
    int32_t rotation = 0;    // degrees clockwise: 0, 90, 180 or 270
    bool interlace = false;  // PNG: Adam7
    GifCodes gifCodes = GifCodes::Lzw;
    // PDF only: the page's sides in points, the symbol centred on it; 0 for
    // a page exactly the symbol and its quiet zone.
    double pageWidth = 0, pageHeight = 0;
    Inks inks{};  // EPS and PDF only: the colours as CMYK inks, pure black as black ink alone
    // With a printer's resolution: every format, vector ones too, gives the
    // module a whole number of dots at `dpi`, as that printer prints it.
    bool wholeDots = false;
    // Lines of UTF-8 text centred under the symbol and its quiet zone (the
    // human-readable data, a caption), in the foreground colour: real text
    // in PDF, EPS (Latin-1) and SVG; drawn at 1 bit in the raster files by
    // FreeType, the picture staying two-colour.
    std::vector<std::string> text{};
    double fontSize = 0;   // points; 0: to fit the symbol's width, at least 6
    std::string fontFile;  // raster text: a font file; empty: DejaVu Sans, found by fontconfig
};

// The refusals of a style, and the failures of drawing it.
enum class WriteError {
    None = 0,
    BadStyle,       // a value of the style outside its range; the line names it
    TooLarge,       // a side of the picture outside 1-16384 pixels
    OutOfMemory,    // the picture could not be made
    Writer,         // the format's writer failed
    UnknownFormat,  // SaveSymbol: a file name without one of the formats' extensions
};
GLYPHRUN_ERROR_ENUM(WriteError)

// The pixels of a module for the style: moduleSize, or the nearest whole
// number to xdimMillimetres at dpi (at least 1).
int32_t ModulePixels(const Style& style);

// The printed side of a module in millimetres, as the style draws it: the
// exact X-dimension in a vector file, else the whole pixels (dots) at dpi.
double ModuleMillimetres(const Style& style, Format format);

// Scanners grade a symbol by the difference of light and dark reflectance
// and fail it below 20 %, so a pair of colours closer than that makes a
// symbol nobody can read.
inline constexpr double kLeastContrast = 0.20;
// That difference for a style's colours, 0 to 1: sRGB made linear and
// weighted by the eye's response, close to what a scanner's sensor sees. A
// transparent background counts as white, the paper or page the symbol
// will sit on.
double ScanContrast(const Style& style);

// The file's bytes.
Result<std::string> WriteSymbol(const Symbol& symbol, Format format, const Style& style);

// The file written whole or not at all: a failure leaves an existing file
// at `path` as it was. The format is the path's extension's; a name
// without one of the extensions above is refused (UnknownFormat); a
// failed write is the FileWriteError of WriteFileSafely (safe_file.h).
Status SaveSymbol(const Symbol& symbol, const std::string& path, const Style& style);

// The pages of a PDF of many labels: each label in a cell of a grid,
// centred at its true size, the cells filled in reading order and the
// pages as many as the labels need.
struct Sheet {
    double pageWidth = 0, pageHeight = 0;  // points; 0: each page its label's own size
    int32_t columns = 1, rows = 1;
    double margin = 0;  // points around the grid
    double gap = 0;     // points between neighbouring cells
};

// A PDF of many labels, in the style given but for its text (each label's
// own) and page (the sheet's), written as the labels come, so that memory
// stays flat however many there are.
class LabelDocument {
public:
    // Refused (BadStyle) when the sheet leaves no room for a cell.
    static Result<LabelDocument> Make(const Style& style, const Sheet& sheet,
                                      std::function<bool(std::string_view)> sink);
    LabelDocument(LabelDocument&&) noexcept;
    ~LabelDocument();

    // A label's drawing with its own lines of text. Safe to call from
    // several threads at once; the order of the pages is Add's.
    Result<PdfLabel> Draw(const Symbol& symbol, std::vector<std::string> text) const;
    // Where a label went: its page, and its cell on that page in reading
    // order, both from 1.
    struct Placement {
        uint64_t page = 0, cell = 0;
    };
    // The next label, in the next cell. A label larger than its cell is
    // refused (TooLarge) with both sizes, before any of it is written.
    Status Add(const PdfLabel& label, Placement* where = nullptr);
    // The last page and the document's end; refused when no label was added.
    Status Finish();

private:
    struct Parts;
    explicit LabelDocument(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> parts_;
};

}  // namespace glyphrun
GLYPHRUN_API_END
