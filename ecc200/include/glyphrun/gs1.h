// GS1 element strings in the bracketed syntax, "(01)09506000134352(10)AB1",
// checked against the table of Application Identifiers and turned into the
// data of a GS1 symbol.
#pragma once

#include <string>
#include <string_view>

namespace glyphrun {

struct Gs1Data {
    bool ok = false;
    // The AIs and their data without brackets; a GS byte (0x1D) ends each
    // element whose length a reader cannot know, unless it is the last.
    // Encode it with DataMeaning::gs1, which puts FNC1 first.
    std::string elementString;
    std::string reason;  // when !ok: one line naming the element and what is wrong
};

Gs1Data ParseGs1(std::string_view bracketed);

}  // namespace glyphrun
