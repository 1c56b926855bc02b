#include "text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace glyphrun::cli {

Utf8Character Utf8CharacterAt(std::string_view text, size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return {0, 0};
    uint32_t code = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return {0, 0};
        code = code << 6 | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0, 0};
    return {length, code};
}

size_t FirstInvalidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceAt(text, i);
        if (length == 0) return i;
        i += length;
    }
    return std::string_view::npos;
}

namespace {

void AppendHex(std::string& out, unsigned char c) {
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02x", c);
    out += escape;
}

// U+0080-U+009F: the C1 controls, which some terminals obey as escapes.
bool IsC1Control(std::string_view text, size_t at, size_t length) {
    return length == 2 && static_cast<unsigned char>(text[at]) == 0xC2 &&
           static_cast<unsigned char>(text[at + 1]) < 0xA0;
}

}  // namespace

std::string Printable(std::string_view text) {
    static constexpr std::string_view kNamed = "\a\b\t\n\v\f\r\\", kLetters = "abtnvfr\\";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceAt(text, i);
        if (const size_t named = kNamed.find(static_cast<char>(c)); named != std::string_view::npos) {
            out += '\\';
            out += kLetters[named];
        } else if (length == 0 || c < 0x20 || c == 0x7F || IsC1Control(text, i, length)) {
            for (size_t k = 0; k < std::max<size_t>(length, 1); ++k)
                AppendHex(out, static_cast<unsigned char>(text[i + k]));
        } else {
            out.append(text, i, length);
        }
        i += std::max<size_t>(length, 1);
    }
    return out;
}

}  // namespace glyphrun::cli
