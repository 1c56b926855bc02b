// Raster text where there is no FreeType to draw it (the WebAssembly
// build): every line is refused with the reason, and SVG and PDF, which hold
// their text as text, carry it instead.
#include "glyphrun/raster_text.h"

namespace glyphrun {
namespace {

Status NoRasterText() {
    return Status::Failed(TextError::NoFont,
                          "text under the symbol goes into SVG and PDF here: PNG text needs FreeType, which the "
                          "WebAssembly build leaves out");
}

}  // namespace

Result<TextBitmap> RasterText(std::string_view, int32_t, const std::string&) { return NoRasterText(); }

Result<int32_t> RasterTextWidth(std::string_view, int32_t, const std::string&) { return NoRasterText(); }

GLYPHRUN_DEFINE_ERROR_CATEGORY(TextError, "glyphrun.raster_text")

}  // namespace glyphrun
