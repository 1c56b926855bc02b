// The vector writers: a grid of modules as an SVG, EPS or PDF document. Dark
// modules are drawn as merged rectangles, one per horizontal run, so that
// the file stays small and renderers leave no seams between neighbours.
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

GLYPHRUN_API_BEGIN
namespace glyphrun {

inline constexpr int32_t kMaxGridSide = 1000;              // modules on a side
inline constexpr double kPointsPerMillimetre = 72 / 25.4;  // PDF and PostScript measure in points
inline constexpr int32_t kMaxQuietZone = 16384;  // modules on each side, as wide as the largest raster picture

// Row 0 is the top; dark[row * cols + col] != 0 is a dark module.
struct ModuleGrid {
    int32_t rows = 0, cols = 0;
    std::vector<uint8_t> dark;
};

enum class VectorFormat { Svg, Eps, Pdf };
enum class VectorUnit { Pixel, Millimetre };

// Inks from 0 to 1 each.
struct CmykColour {
    double cyan = 0, magenta = 0, yellow = 0, black = 0;
};
// The inks of an RGB colour: its darkness in black ink alone, the rest in
// the three colours, so that pure black is printed as black only.
CmykColour CmykOf(uint32_t rgb);
// The colour that inks print, as 0xRRGGBB.
uint32_t RgbOf(const CmykColour& inks);

// EPS and PDF: whether the colours are given as inks, the exact ones when
// given, else CmykOf the RGB colours.
struct Inks {
    bool cmyk = false;
    std::optional<CmykColour> foreground{}, background{};
};

struct VectorStyle {
    double moduleSize = 4;  // one module's side in `unit`, 0.001 to 1000
    VectorUnit unit = VectorUnit::Pixel;
    int32_t quietZone = 2;                                  // modules of background on each side
    uint32_t foreground = 0x000000, background = 0xFFFFFF;  // 0xRRGGBB
    bool drawBackground = true;                             // false: the page shows through the light modules
    // PDF only: the page's sides in points, the symbol centred on it; 0 for
    // a page exactly the symbol and its quiet zone.
    double pageWidth = 0, pageHeight = 0;
    Inks inks{};  // SVG refuses CMYK
    // Lines of UTF-8 text centred under the symbol and its quiet zone, in
    // the foreground colour: real text in the standard Helvetica in EPS and
    // PDF (Latin-1; another character is refused by name), any character in
    // SVG. A line wider than the symbol widens the label.
    std::vector<std::string> text{};
    double fontSize = 0;  // points (a pixel counting as a point); 0: DefaultFontSize
};

// The text's size when none is given, in the unit of `symbolWidth` (the
// symbol without its quiet zone): the longest line as wide as the symbol,
// `widestLine` being its width at size 1, but no more than a quarter of the
// symbol's width, and never below `least`.
double DefaultFontSize(double symbolWidth, double widestLine, double least);
inline constexpr double kLeastFontPoints = 6;
// A line of text takes this many times the font size, top to bottom.
inline constexpr double kLineSpacing = 1.2;

enum class VectorError { None = 0, Refused };
GLYPHRUN_ERROR_ENUM(VectorError)

// The whole document, or a refusal (VectorError::Refused) of a grid or
// style that cannot be drawn.
Result<std::string> VectorDocument(VectorFormat format, const ModuleGrid& grid, const VectorStyle& style);

// Writes the document through WriteFileSafely: a failure leaves an existing
// file at `path` as it was. A refused document is the writer's failure
// (FileWriteError::Writer); the others are the write's own.
Status WriteVectorFile(const std::string& path, VectorFormat format, const ModuleGrid& grid, const VectorStyle& style);

// One label's drawing for a PDF page, in points, its lower left corner at
// the origin.
struct PdfLabel {
    std::string content;
    double width = 0, height = 0;
};
// The label of `grid` in `style` (whose page is not looked at), or its refusal.
Result<PdfLabel> DrawPdfLabel(const ModuleGrid& grid, const VectorStyle& style);

// A PDF document written as it is made, so that a run of a million labels
// takes no more memory than one page: each page goes to `sink` when the
// next begins, and only the objects' offsets are kept for the
// cross-reference table at the end. The pages share one resource
// dictionary (the text's font).
class PdfWriter {
public:
    // `sink` takes the document's bytes in order; false: it could not.
    explicit PdfWriter(std::function<bool(std::string_view)> sink);
    ~PdfWriter();
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // A new page, its sides in points; the one before goes out.
    Status NewPage(double width, double height);
    // `label` on the current page, its lower left corner at (left, bottom).
    void Place(const PdfLabel& label, double left, double bottom);
    // The last page and the document's end. A document without pages is refused.
    Status Finish();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace glyphrun
GLYPHRUN_API_END
