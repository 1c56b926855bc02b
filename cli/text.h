// Bytes as text: UTF-8 checks, and names and messages made safe to print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace glyphrun::cli {

// The well-formed UTF-8 sequence at `at`: its length (1-4) and the
// character it stands for; length 0 when the bytes there are not one
// (overlong forms, surrogates and values past U+10FFFF included).
struct Utf8Character {
    size_t length;
    uint32_t code;
};
Utf8Character Utf8CharacterAt(std::string_view text, size_t at);
inline size_t Utf8SequenceAt(std::string_view text, size_t at) { return Utf8CharacterAt(text, at).length; }

// The index of the first byte that does not belong to well-formed UTF-8, or npos.
size_t FirstInvalidUtf8(std::string_view text);

// `text` with C-style escapes for control characters (C1 included), the
// backslash and every byte that is not UTF-8, so that a file name cannot
// split a message line or send escape sequences to a terminal.
std::string Printable(std::string_view text);

}  // namespace glyphrun::cli
