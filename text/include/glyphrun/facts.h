// What a symbol holds and how, as the CLI's report and Python's
// Symbol.report() tell it: one reading of a symbol for both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "glyphrun/export.h"
#include "glyphrun/gs1.h"
#include "glyphrun/symbol.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

struct SymbolFacts {
    int32_t rows = 0, cols = 0, sizeIndex = 0;
    const char* family = "";  // "square", "rectangle" or "DMRE"
    int32_t dataCodewords = 0, capacity = 0, eccCodewords = 0;
    std::vector<SchemeRun> schemes;
    bool gs1 = false;
    std::vector<Gs1Element> gs1Elements;  // of GS1 data
    std::optional<int32_t> eci;           // the ECI designator, when there is one
    std::string charset;                  // the character set the bytes are in, when it is known
    StructuredAppend append{};            // count 0 for a symbol on its own
};

// The facts of `symbol`, made from `input` (GS1 element strings read by
// `gs1Rules`); `text`: the input was text, so that an ECI's (or the
// readers' default) character set is the bytes' own, else bytes as given.
SymbolFacts FactsOf(const Symbol& symbol, std::string_view input, bool text, const Gs1Rules& gs1Rules = {});

}  // namespace glyphrun
GLYPHRUN_API_END
