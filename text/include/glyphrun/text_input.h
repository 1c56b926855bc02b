// Text as people type it: UTF-8 in, the bytes a reader expects out. The
// command line and the Python package read their input by these rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "glyphrun/ecc200.h"
#include "glyphrun/export.h"
#include "glyphrun/gs1.h"
#include "glyphrun/status.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

// The ways an input is refused, the code of its Status.
enum class InputError {
    None = 0,
    NotUtf8,         // text that is not UTF-8: the caller may offer to take the bytes as they are
    NotConvertible,  // a character the ECI's character set lacks, or a set iconv cannot write
    NoCharset,       // text under an ECI that names no character set we convert to: only bytes may go under it
    BadGs1,          // GS1 element strings that do not check out
    BadEscape,       // an escape that ReadEscapes does not know, or a number out of its range
};
GLYPHRUN_ERROR_ENUM(InputError)

// The character set of an ECI, as iconv names it; null for an ECI that
// names none we convert to (only bytes as they are may go under it).
const char* CharsetOfEci(int32_t eci);

// The ECIs whose character sets text is converted to, in the register's order.
std::vector<int32_t> TextEcis();

// UTF-8 `text` as readers expect it with no ECI told: ISO 8859-1 bytes when
// every character is at most U+00FF, else the UTF-8 bytes under ECI 26.
// Invalid UTF-8 is refused with its byte's position.
Status EncodeText(std::string_view text, std::string& bytes, DataMeaning& meaning);

// UTF-8 `text` converted to the character set of `eci`; a character the set
// lacks is refused, named with its position, and so is an ECI whose set we
// do not convert to.
Status ConvertToEci(std::string_view text, int32_t eci, std::string& bytes);

// How an input is read.
struct InputRule {
    bool gs1 = false;            // GS1 element strings in brackets, checked and joined
    bool binary = false;         // the bytes as they are: no conversion, no ECI of our own
    std::optional<int32_t> eci;  // an ECI before the data; text is converted to its set
    Gs1Rules gs1Rules{};         // what GS1 data is checked for beside its syntax
    bool gs1Gs = false;          // GS1 fields separated by the GS character, not FNC1
};

// The bytes to encode and what they mean, by `rule`: GS1 first, then the
// bytes as they are, then text converted to the ECI's set, else EncodeText.
Status PrepareInput(std::string_view input, const InputRule& rule, std::string& bytes, DataMeaning& meaning);

// `text` with its escapes read, for data that cannot be typed: \n \r \t
// \\ \0, \xHH (a byte), \uHHHH and \U00HHHHHH (a character, as UTF-8), and
// \G \R \E for the GS, RS and EOT of ISO/IEC 15434 messages. Anything
// else after a backslash is refused (BadEscape) with its position. With
// `gs1`, \( and \) stay as they are: the GS1 parser's brackets within data.
Status ReadEscapes(std::string_view text, std::string& bytes, bool gs1 = false);

// The line of text printed under a symbol for people to read (its
// human-readable interpretation), as UTF-8: GS1 element strings (read by
// `rule`) with each AI in round brackets and the data as it is; anything
// else as it is, with what
// does not print shown escaped as a reader of labels expects: \n \r \t,
// \G \R \E for the GS, RS and EOT of structured messages, \xHH for any
// other control character or byte that is not UTF-8, \uHHHH for the
// control characters past ASCII.
std::string HumanReadable(std::string_view input, const InputRule& rule = {});

}  // namespace glyphrun
GLYPHRUN_API_END
