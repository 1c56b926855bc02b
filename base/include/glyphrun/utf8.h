// UTF-8 read one character at a time, strictly: the text layer reads
// what people type with it, and the writers the text they print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace glyphrun {

// The well-formed UTF-8 sequence at `at`: its length (1-4) and the
// character it stands for; length 0 when the bytes there are not one
// (overlong forms, surrogates and values past U+10FFFF included).
struct Utf8Character {
    size_t length;
    uint32_t code;
};
inline Utf8Character Utf8CharacterAt(std::string_view text, size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return {0, 0};
    uint32_t code = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return {0, 0};
        code = code << 6 | (next & 0x3F);
    }
    constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0, 0};
    return {length, code};
}
inline size_t Utf8SequenceAt(std::string_view text, size_t at) { return Utf8CharacterAt(text, at).length; }

// The index of the first byte that does not belong to well-formed UTF-8, or npos.
inline size_t FirstInvalidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = Utf8SequenceAt(text, i);
        if (length == 0) return i;
        i += length;
    }
    return std::string_view::npos;
}

}  // namespace glyphrun
