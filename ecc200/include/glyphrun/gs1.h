// GS1 element strings in the bracketed syntax, "(01)09506000134352(10)AB1",
// checked against the table of Application Identifiers and turned into the
// data of a GS1 symbol.
#pragma once

#include <string>
#include <string_view>

#include "glyphrun/export.h"
#include "glyphrun/status.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

enum class Gs1Error { None = 0, Invalid };
GLYPHRUN_ERROR_ENUM(Gs1Error)

// The element string: the AIs and their data without brackets; a GS byte
// (0x1D) ends each element whose length a reader cannot know, unless it is
// the last. Encode it with DataMeaning::gs1, which puts FNC1 first. Refused
// (Gs1Error::Invalid) with one line naming the element and what is wrong.
Result<std::string> ParseGs1(std::string_view bracketed);

}  // namespace glyphrun
GLYPHRUN_API_END
