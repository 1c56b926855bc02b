// UTF-8 read one character at a time, strictly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include "glyphrun/export.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

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

}  // namespace glyphrun
GLYPHRUN_API_END
