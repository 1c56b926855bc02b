// Bytes as text: UTF-8 checks, and names and messages made safe to print.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glyphrun::cli {

// The length of the well-formed UTF-8 sequence at `at` (1-4), or 0 when
// the bytes there are not one (overlong forms, surrogates and values past
// U+10FFFF included).
size_t Utf8SequenceAt(std::string_view text, size_t at);

// The index of the first byte that does not belong to well-formed UTF-8, or npos.
size_t FirstInvalidUtf8(std::string_view text);

// `text` with C-style escapes for control characters (C1 included), the
// backslash and every byte that is not UTF-8, so that a file name cannot
// split a message line or send escape sequences to a terminal.
std::string Printable(std::string_view text);

}  // namespace glyphrun::cli
