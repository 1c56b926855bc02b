#include "glyphrun/names.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <utility>

#include "glyphrun/decimal.h"
#include "glyphrun/vector.h"

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

std::optional<std::array<double, 4>> InksOf(std::string_view text) {
    constexpr std::string_view kPrefix = "cmyk:";
    if (!text.starts_with(kPrefix)) return std::nullopt;
    text.remove_prefix(kPrefix.size());
    std::array<double, 4> inks{};
    for (size_t i = 0; i < inks.size(); ++i) {
        const size_t comma = i + 1 < inks.size() ? text.find(',') : text.size();
        if (comma == std::string_view::npos) return std::nullopt;
        const std::string_view part = text.substr(0, comma);
        const std::optional<double> percent = ReadFixedDecimal(part);
        if (!percent || !(*percent >= 0 && *percent <= 100)) return std::nullopt;
        inks[i] = *percent / 100;
        text.remove_prefix(std::min(comma + 1, text.size()));
    }
    return inks;
}

std::optional<PageSize> PageSizeOfName(std::string_view name) {
    static constexpr std::pair<std::string_view, PageSize> kNamed[] = {
        {"a4", {210 * kPointsPerMillimetre, 297 * kPointsPerMillimetre}},
        {"a5", {148 * kPointsPerMillimetre, 210 * kPointsPerMillimetre}},
        {"a6", {105 * kPointsPerMillimetre, 148 * kPointsPerMillimetre}},
        {"letter", {612, 792}},
    };
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& [known, page] : kNamed)
        if (lower == known) return page;
    static constexpr std::pair<std::string_view, double> kUnits[] = {
        {"mm", kPointsPerMillimetre}, {"in", 72}, {"pt", 1}};
    for (const auto& [unit, points] : kUnits) {
        if (!lower.ends_with(unit)) continue;
        const std::string_view sides = std::string_view(lower).substr(0, lower.size() - unit.size());
        const size_t x = sides.find('x');
        if (x == std::string_view::npos) return std::nullopt;
        const std::optional<double> width = ReadFixedDecimal(sides.substr(0, x)),
                                    height = ReadFixedDecimal(sides.substr(x + 1));
        if (!width || !height) return std::nullopt;
        const PageSize page{*width * points, *height * points};
        if (!(page.width > 0 && page.height > 0 && page.width <= kMaxPageSide && page.height <= kMaxPageSide))
            return std::nullopt;
        return page;
    }
    return std::nullopt;
}

std::optional<HexColour> HexColourOf(std::string_view text) {
    uint32_t value = 0;
    if ((text.size() != 6 && text.size() != 8) || !ReadWhole(text, value, 16)) return std::nullopt;
    if (text.size() == 6) return HexColour{value, 0xFF};
    return HexColour{value >> 8, static_cast<uint8_t>(value)};
}

}  // namespace glyphrun
