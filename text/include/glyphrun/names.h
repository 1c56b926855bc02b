// The words that glyphrun-cli and the Python package share for modes,
// sizes and colours, read one way; each caller words its own refusal.
#pragma once

#include <array>
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

// "cmyk:C,M,Y,K", each ink a percentage 0-100, as inks 0 to 1 in that order.
std::optional<std::array<double, 4>> InksOf(std::string_view text);

// A page's sides in points (1/72 inch).
struct PageSize {
    double width, height;
};
inline constexpr double kMaxPageSide = 5000 * 72 / 25.4;  // 5 m
inline constexpr char kPageNames[] = "A4, A5, A6, Letter, or WxH in mm, in or pt such as 50x30mm or 4x6in";
// A named page (any case) or WxH with its unit; each side more than 0 and at most 5 m.
std::optional<PageSize> PageSizeOfName(std::string_view name);

}  // namespace glyphrun
GLYPHRUN_API_END
