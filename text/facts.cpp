#include "glyphrun/facts.h"

#include "glyphrun/text_input.h"

namespace glyphrun {

SymbolFacts FactsOf(const Symbol& symbol, std::string_view input, bool text, const Gs1Rules& gs1Rules) {
    SymbolFacts facts;
    facts.rows = symbol.rows();
    facts.cols = symbol.cols();
    facts.sizeIndex = symbol.sizeIndex();
    facts.family = IsDmreSize(symbol.sizeIndex()) ? "DMRE" : symbol.rows() == symbol.cols() ? "square" : "rectangle";
    facts.dataCodewords = symbol.dataCodewords();
    facts.capacity = symbol.capacity();
    facts.eccCodewords = static_cast<int32_t>(symbol.codewords().size()) - symbol.capacity();
    facts.schemes = SchemeRunsOf(symbol);
    const DataMeaning& meaning = symbol.meaning();
    facts.gs1 = meaning.gs1;
    if (meaning.gs1) {
        if (Result<std::vector<Gs1Element>> elements = ParseGs1Elements(input, gs1Rules))
            facts.gs1Elements = std::move(elements).value();
    } else if (meaning.eciGiven) {
        facts.eci = meaning.eci;
        if (const char* charset = CharsetOfEci(meaning.eci); charset && text) facts.charset = charset;
    } else {
        facts.charset = text ? "ISO 8859-1" : "bytes as given";
    }
    facts.append = meaning.append;
    return facts;
}

}  // namespace glyphrun
