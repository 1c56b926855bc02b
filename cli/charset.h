// Text as people type it: UTF-8 in, the bytes a reader expects out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "glyphrun/ecc200.h"
#include "report.h"

namespace glyphrun::cli {

// The character set of an ECI, as iconv names it; null for an ECI that
// names none we convert to (its bytes are then taken as they are).
const char* CharsetOfEci(int32_t eci);

// UTF-8 `text` as readers expect it with no ECI told: ISO 8859-1 bytes when
// every character is at most U+00FF, else the UTF-8 bytes under ECI 26.
// Invalid UTF-8 is refused with its byte's position.
Failure EncodeText(std::string_view text, std::string& bytes, DataMeaning& meaning);

// UTF-8 `text` converted to the character set of `eci`; a character the set
// lacks is refused, named with its position.
Failure ConvertToEci(std::string_view text, int32_t eci, std::string& bytes);

}  // namespace glyphrun::cli
