// Internal: the standard Helvetica's character widths, which every PDF and
// PostScript reader has, so that text in those files needs no embedded font.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glyphrun {

// The advance of a character in thousandths of the font size, for the
// printable characters of Latin-1 (U+0020-U+007E, U+00A0-U+00FF); nothing
// for any other.
std::optional<int32_t> HelveticaWidth(char32_t character);

// The width of UTF-8 `text` in font sizes. A character the font lacks
// counts as a digit's width (SVG text, which the viewer's font shows).
double HelveticaTextWidth(std::string_view text);

// `text` as Latin-1 bytes, or the reason naming the first character that
// the standard font cannot show.
std::optional<std::string> HelveticaBytes(std::string_view text, std::string& reason);

}  // namespace glyphrun
