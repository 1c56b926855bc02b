#include "glyphrun/names.h"

#include <charconv>
#include <utility>

namespace glyphrun {
namespace {

// Digits only, all of them, as sizes and indexes are written: no sign,
// no space, nothing after.
template <typename Number>
bool ReadWhole(std::string_view text, Number& value, int base = 10) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && text[0] != '-' && text[0] != '+' && error == std::errc() && stop == end;
}

}  // namespace

std::optional<EncodeScheme> SchemeOfName(std::string_view name) {
    static constexpr std::pair<std::string_view, EncodeScheme> kSchemes[] = {
        {"minimal", EncodeScheme::AutoMinimal}, {"auto", EncodeScheme::AutoBest},
        {"ascii", EncodeScheme::Ascii},         {"c40", EncodeScheme::C40},
        {"text", EncodeScheme::Text},           {"x12", EncodeScheme::X12},
        {"edifact", EncodeScheme::Edifact},     {"base256", EncodeScheme::Base256}};
    for (const auto& [known, scheme] : kSchemes)
        if (name == known) return scheme;
    return std::nullopt;
}

std::optional<int32_t> SizeIndexOfDimensions(int64_t rows, int64_t cols) {
    const auto sizes = SymbolSizes();
    for (size_t index = 0; index < sizes.size(); ++index)
        if (sizes[index].rows == rows && sizes[index].cols == cols) return static_cast<int32_t>(index);
    return std::nullopt;
}

std::optional<int32_t> SizeRequestOfName(std::string_view name) {
    if (name == "square") return kSmallestSquare;
    if (name == "rect") return kSmallestRectangle;
    if (name == "dmre") return kSmallestRectangleOrDmre;
    uint32_t rows = 0, cols = 0, index = 0;
    if (const size_t x = name.find('x'); x != std::string_view::npos)
        return ReadWhole(name.substr(0, x), rows) && ReadWhole(name.substr(x + 1), cols)
                   ? SizeIndexOfDimensions(rows, cols)
                   : std::nullopt;
    if (ReadWhole(name, index) && index < static_cast<uint32_t>(kAllSymbolSizeCount))
        return static_cast<int32_t>(index);
    return std::nullopt;
}

std::optional<HexColour> HexColourOf(std::string_view text) {
    uint32_t value = 0;
    if ((text.size() != 6 && text.size() != 8) || !ReadWhole(text, value, 16)) return std::nullopt;
    if (text.size() == 6) return HexColour{value, 0xFF};
    return HexColour{value >> 8, static_cast<uint8_t>(value)};
}

}  // namespace glyphrun
