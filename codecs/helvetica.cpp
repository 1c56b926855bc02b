#include "helvetica.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "glyphrun/utf8.h"

namespace glyphrun {
namespace {

constexpr int32_t kDigitWidth = 556;

// U+0020 to U+007E, from the font's published metrics; the quote and the
// grave accent are the upright ones, as PDF's WinAnsiEncoding maps them.
constexpr std::array<int16_t, 95> kAsciiWidths = {
    278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,  //  !"#$%&'()*+,-./
    556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,  // 0-9 :;<=>?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // @A-O
    667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,  // P-Z [\]^_
    333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,  // `a-o
    556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584,       // p-z {|}~
};

// U+00A0 to U+00FF.
constexpr std::array<int16_t, 96> kLatin1Widths = {
    278, 333, 556, 556, 556, 556, 260,  556, 333, 737, 370, 556, 584, 333, 737, 333,  // nbsp-macron
    400, 584, 333, 333, 333, 556, 537,  278, 333, 333, 365, 556, 834, 834, 834, 611,  // degree-questiondown
    667, 667, 667, 667, 667, 667, 1000, 722, 667, 667, 667, 667, 278, 278, 278, 278,  // Agrave-Idieresis
    722, 722, 778, 778, 778, 778, 778,  584, 778, 722, 722, 722, 722, 667, 667, 611,  // Eth-germandbls
    556, 556, 556, 556, 556, 556, 889,  500, 556, 556, 556, 556, 278, 278, 278, 278,  // agrave-idieresis
    556, 556, 556, 556, 556, 556, 556,  584, 611, 556, 556, 556, 556, 500, 556, 500,  // eth-ydieresis
};

}  // namespace

std::optional<int32_t> HelveticaWidth(char32_t character) {
    if (character >= 0x20 && character <= 0x7E) return kAsciiWidths[character - 0x20];
    if (character >= 0xA0 && character <= 0xFF) return kLatin1Widths[character - 0xA0];
    return std::nullopt;
}

double HelveticaTextWidth(std::string_view text) {
    int64_t thousandths = 0;
    for (size_t at = 0; at < text.size();) {
        const Utf8Character character = Utf8CharacterAt(text, at);
        thousandths += HelveticaWidth(character.code).value_or(kDigitWidth);
        at += std::max<size_t>(character.length, 1);
    }
    return thousandths / 1000.0;
}

std::optional<std::string> HelveticaBytes(std::string_view text, std::string& reason) {
    std::string bytes;
    for (size_t at = 0, position = 1; at < text.size(); ++position) {
        const Utf8Character character = Utf8CharacterAt(text, at);
        if (character.length == 0 || !HelveticaWidth(character.code)) {
            char name[96];
            std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(character.code));
            reason = "the character '" + std::string(text.substr(at, std::max<size_t>(character.length, 1))) + "' (" +
                     name + "), character " + std::to_string(position) +
                     " of the text, is not in the standard font of PDF and EPS text, which shows Latin-1; SVG shows "
                     "any character";
            return std::nullopt;
        }
        bytes += static_cast<char>(character.code);
        at += character.length;
    }
    return bytes;
}

}  // namespace glyphrun
