// Names and messages made safe to print.
#pragma once

#include <string>
#include <string_view>

#include "glyphrun/utf8.h"

namespace glyphrun::cli {

// `text` with C-style escapes for control characters (C1 included), the
// backslash and every byte that is not UTF-8, so that a file name cannot
// split a message line or send escape sequences to a terminal.
std::string Printable(std::string_view text);

}  // namespace glyphrun::cli
