// The GS1 bracketed syntax: what is accepted becomes the element string a
// GS1 symbol carries; what is wrong is refused naming the element.
#include <gtest/gtest.h>

#include "glyphrun/gs1.h"

namespace glyphrun {
namespace {

std::string ElementString(const char* bracketed) {
    const Gs1Data data = ParseGs1(bracketed);
    EXPECT_TRUE(data.ok) << bracketed << ": " << data.reason;
    return data.elementString;
}

TEST(Gs1, SeparatorsFollowOnlyElementsOfUnknownLength) {
    EXPECT_EQ(ElementString("(01)09506000134352(17)261231(10)ABC123"), "01095060001343521726123110ABC123");
    EXPECT_EQ(ElementString("(01)09506000134352(10)ABC123(17)261231"), "010950600013435210ABC123\x1d" "17261231");
    EXPECT_EQ(ElementString("(10)ABC(21)XYZ"), "10ABC\x1d" "21XYZ");
    EXPECT_EQ(ElementString("(3103)000123(402)12345678901234560(91)x"), "310300012340212345678901234560\x1d" "91x");
    EXPECT_EQ(ElementString("(421)0761234(8003)0950600013435212345"), "4210761234\x1d" "80030950600013435212345");
    EXPECT_EQ(ElementString("(00)095060001343521281"), "00095060001343521281");
    // A serial or further country codes may be left out.
    EXPECT_EQ(ElementString("(253)9506000134352(8008)26123112"), "2539506000134352\x1d" "800826123112");
    EXPECT_EQ(ElementString("(253)9506000134352A1(423)040"), "2539506000134352A1\x1d" "423040");
}

TEST(Gs1, RefusalsNameTheElementAndTheFault) {
    const std::pair<const char*, const char*> cases[] = {
        {"01095060001343", "GS1 data starts with an Application Identifier in brackets, such as (01)"},
        {"(01)09506000134353", "(01): the check digit is 3 but should be 2"},
        {"(00)095060001343521287", "(00): the check digit is 7 but should be 1"},
        {"(02)0950600013435", "(02): the data must be 14 digits, not 13"},
        {"(00)0950600013435212", "(00): the data must be 18 digits, not 16"},
        {"(17)2612310", "(17): the data must be 6 digits, not 7"},
        {"(17)261331", "(17): '261331' is not a date YYMMDD"},
        {"(11)26A231", "(11): 'A' is not a digit"},
        {"(10)AB\xe2\x82\xac", "(10): byte 0xE2 is outside the GS1 character set"},
        {"(10)A B", "(10): byte 0x20 is outside the GS1 character set"},
        {"(10)", "(10): the data must be 1 to 20 characters, not 0"},
        {"(21)123456789012345678901", "(21): the data must be 1 to 20 characters, not 21"},
        {"(123)4", "(123): unknown Application Identifier"},
        {"(1A)4", "(1A): an Application Identifier is 2 to 4 digits"},
        {"(12345)4", "(12345): an Application Identifier is 2 to 4 digits"},
        {"(10)A(21", "an Application Identifier's bracket is not closed"},
        {"(421)07", "(421): the data is too short"},
    };
    for (const auto& [input, reason] : cases) {
        const Gs1Data data = ParseGs1(input);
        EXPECT_FALSE(data.ok) << input;
        EXPECT_EQ(data.reason, reason) << input;
    }
}

}  // namespace
}  // namespace glyphrun
