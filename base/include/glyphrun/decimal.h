// Decimals in plain fixed notation, read and written alike on every
// platform and in every locale. WebAssembly's C++ library has no
// floating-point to_chars and from_chars; there the C library does the
// work, whose one locale is "C", so that a decimal comma never appears.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace glyphrun {

// All of `text` as a decimal in fixed notation: digits with at most one
// point, and a leading '-'; no space, '+', exponent or hexadecimal.
inline std::optional<double> ReadFixedDecimal(std::string_view text) {
    double value = 0;
#ifdef __EMSCRIPTEN__
    if (text.empty() || text.find_first_not_of("-.0123456789") != std::string_view::npos ||
        text.find('-', 1) != std::string_view::npos)
        return std::nullopt;
    const std::string terminated(text);
    char* end = nullptr;
    value = std::strtod(terminated.c_str(), &end);
    if (end != terminated.c_str() + terminated.size()) return std::nullopt;
#else
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
#endif
    return value;
}

// `value` in fixed notation with `decimals` digits after the point.
inline std::string FixedDecimal(double value, int decimals) {
    char buffer[400];  // the largest double has 309 digits before the point
#ifdef __EMSCRIPTEN__
    // The C library formats a double through a long double, which
    // WebAssembly computes in software: a microsecond a number, most of an
    // SVG's time. Whole numbers, nearly all of a drawing's, are written
    // exactly without it.
    if (value == std::trunc(value) && std::fabs(value) < 0x1p53 && !(value == 0 && std::signbit(value))) {
        const auto written = std::to_chars(buffer, buffer + 32, static_cast<int64_t>(value));
        std::string text(buffer, written.ptr);
        if (decimals > 0) text.append(1, '.').append(static_cast<size_t>(decimals), '0');
        return text;
    }
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return std::string(buffer, static_cast<size_t>(length < 0 ? 0 : length));
#else
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, written.ptr);
#endif
}

}  // namespace glyphrun
