// GS1 element strings in the bracketed syntax, "(01)09506000134352(10)AB1",
// checked against the table of Application Identifiers and turned into the
// data of a GS1 symbol.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "glyphrun/export.h"
#include "glyphrun/status.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

enum class Gs1Error { None = 0, Invalid };
GLYPHRUN_ERROR_ENUM(Gs1Error)

// What is checked beside the syntax (the AIs, their characters and
// lengths, where separators go): off, for test labels and data that a
// rule of its own has checked.
struct Gs1Rules {
    bool checkDigitsAndDates = true;  // check digits and pairs, dates and times
};

// The element string of "(01)09506000134352(10)AB1" or "[01]09506000134352[10]AB1":
// the AIs and their data without brackets; a GS byte (0x1D) ends each
// element whose length a reader cannot know, unless it is the last. In the
// (01) form a bracket within the data is written \( or \); in the [01] form
// it stands as it is. Encode it with DataMeaning::gs1, which puts FNC1
// first. Refused (Gs1Error::Invalid) with one line naming the element and
// what is wrong.
Result<std::string> ParseGs1(std::string_view bracketed, const Gs1Rules& rules = {});

// The same, as its elements in order.
struct Gs1Element {
    std::string ai, data;
};
Result<std::vector<Gs1Element>> ParseGs1Elements(std::string_view bracketed, const Gs1Rules& rules = {});

// The data title GS1 gives an AI, such as "GTIN" for 01 or "BATCH/LOT" for
// 10, for the AIs most labels carry; empty for the others.
std::string_view Gs1Title(std::string_view ai);

}  // namespace glyphrun
GLYPHRUN_API_END
