// The words that glyphrun-cli and the Python package share for modes,
// sizes and colours, read one way; each caller words its own refusal.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "glyphrun/ecc200.h"
#include "glyphrun/export.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

inline constexpr char kSchemeNames[] = "minimal, auto, ascii, c40, text, x12, edifact or base256";
std::optional<EncodeScheme> SchemeOfName(std::string_view name);

// The index of the size of `rows` x `cols` modules.
std::optional<int32_t> SizeIndexOfDimensions(int64_t rows, int64_t cols);
// "square", "rect", "dmre", an index or "ROWSxCOLS" ("16x48") as a size request.
std::optional<int32_t> SizeRequestOfName(std::string_view name);

// RRGGBB or RRGGBBAA in hexadecimal; without alpha it is ff (opaque).
struct HexColour {
    uint32_t rgb;  // 0xRRGGBB
    uint8_t alpha;
};
std::optional<HexColour> HexColourOf(std::string_view text);

}  // namespace glyphrun
GLYPHRUN_API_END
