// One line of text as a 1-bit picture, for the text under a symbol in the
// two-colour raster files. FreeType draws it in its monochrome mode, so the
// picture has no grey that the two colours would have to round away.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "glyphrun/export.h"
#include "glyphrun/status.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

inline constexpr int32_t kMaxTextPixelSize = 2000;  // pixels per em
inline constexpr int32_t kMaxTextWidth = 16384;     // pixels, as wide as the largest raster picture

struct TextBitmap {
    // Pixels. The height is the font's line at its size, ascender to
    // descender, the same for any text, so that labels of one size line up.
    int32_t width = 0, height = 0;
    int32_t baseline = 0;      // pixels from the top to the baseline
    std::vector<uint8_t> ink;  // width * height, row-major from the top; 1 where the text inks, else 0
};

enum class TextError {
    None = 0,
    NoFont,        // the font file cannot be opened or read, or fontconfig found none
    MissingGlyph,  // the font has no glyph for a character of the text
    BadText,       // not UTF-8, or a control character
    BadSize,       // a pixel size outside 1 to kMaxTextPixelSize, or a line wider than kMaxTextWidth
};
GLYPHRUN_ERROR_ENUM(TextError)

// `text` (UTF-8) on one line at `pixelSize` pixels per em in the font file
// `fontFile`, or when that is empty in the font fontconfig finds for
// "DejaVu Sans". The picture is as wide as the glyphs' advances (at least
// 1 pixel); ink that reaches past the line's ends or its ascender and
// descender is cut off. A space advances and inks nothing. Control
// characters are refused: the caller shows them some other way.
// A character the font lacks is refused with its place, e.g. "the font
// DejaVu Sans has no glyph for 'あ' (U+3042), character 3 of the text".
// Safe to call from many threads at once; each keeps its fonts open.
Result<TextBitmap> RasterText(std::string_view text, int32_t pixelSize, const std::string& fontFile = {});

// Just the width RasterText's picture would have, for layout, with the same
// refusals.
Result<int32_t> RasterTextWidth(std::string_view text, int32_t pixelSize, const std::string& fontFile = {});

}  // namespace glyphrun
GLYPHRUN_API_END
