#include "text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace glyphrun::cli {
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
