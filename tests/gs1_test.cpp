// The GS1 bracketed syntax: what is accepted becomes the element string a
// GS1 symbol carries; what is wrong is refused naming the element.
#include <gtest/gtest.h>

#include "glyphrun/gs1.h"

namespace glyphrun {
namespace {

std::string ElementString(const char* bracketed) {
    const Result<std::string> data = ParseGs1(bracketed);
    EXPECT_TRUE(data) << bracketed << ": " << data.reason();
    return data.value();
}

// \035 is the separator, GS.
TEST(Gs1, SeparatorsFollowOnlyElementsOfUnknownLength) {
    const std::pair<const char*, const char*> cases[] = {
        {"(01)09506000134352(17)261231(10)ABC123", "01095060001343521726123110ABC123"},
        {"(01)09506000134352(10)ABC123(17)261231", "010950600013435210ABC123\03517261231"},
        {"(10)ABC(21)XYZ", "10ABC\03521XYZ"},
        {"(3103)000123(402)12345678901234560(91)x", "310300012340212345678901234560\03591x"},
        {"(00)095060001343521281", "00095060001343521281"},
        // A serial or further country codes may be left out.
        {"(253)9506000134352(8008)26123112", "2539506000134352\035800826123112"},
        {"(253)9506000134352A1(423)040", "2539506000134352A1\035423040"},
    };
    for (const auto& [bracketed, elements] : cases) EXPECT_EQ(ElementString(bracketed), elements);
}

// Each is one element, carried as it was written without the brackets.
TEST(Gs1, RealDatesTimesAndNewerAisAreAccepted) {
    const char* const cases[] = {// Dates (day 00 where the AI allows it), alone and with times.
                                 "(17)280229", "(17)260200", "(7003)2612312359", "(8008)26123100", "(7007)260101260131",
                                 "(7011)2612311430", "(4325)2612319999",
                                 // Measures, flags, codes and check characters.
                                 "(3105)001234", "(4321)0", "(4330)001234-", "(8013)1987654Ad4X4bL5ttr2310c2K",
                                 "(8010)AB#12-3/4", "(99)x"};
    for (const char* input : cases) {
        std::string expected(input);
        expected.erase(expected.find(')'), 1);
        expected.erase(0, 1);
        EXPECT_EQ(ElementString(input), expected);
    }
}

TEST(Gs1, RefusalsNameTheElementAndTheFault) {
    const std::pair<const char*, const char*> cases[] = {
        {"01095060001343", "GS1 data starts with an Application Identifier in brackets, such as (01)"},
        {"(01)09506000134353", "(01): the check digit is 3 but should be 2"},
        {"(02)0950600013435", "(02): the data must be 14 digits, not 13"},
        {"(17)261331", "(17): '261331' is not a date YYMMDD"},
        {"(11)26A231", "(11): 'A' is not a digit"},
        {"(10)AB\xe2\x82\xac", "(10): byte 0xE2 is outside the GS1 character set"},
        {"(10)", "(10): the data must be 1 to 20 characters, not 0"},
        {"(123)4", "(123): unknown Application Identifier"},
        {"(1A)4", "(1A): an Application Identifier is 2 to 4 digits"},
        {"(10)A(21", "an Application Identifier's bracket is not closed"},
        {"(421)07", "(421): the data is too short"},
        {"(253)9506000134352ABCDEFGHIJKLMNOPQR", "(253): the data must be 13 to 30 characters, not 31"},
        // Dates that do not exist; day 00 names a month only where the AI allows it.
        {"(17)260229", "(17): '260229' is not a date YYMMDD"},
        {"(7006)260200", "(7006): '260200' is not a date YYMMDD"},
        {"(7007)260101260231", "(7007): '260231' is not a date YYMMDD"},
        // Times, and times that may be partly left out.
        {"(7003)2612312500", "(7003): '2612312500' has hour 25"},
        {"(8008)261231235960", "(8008): '261231235960' has second 60"},
        {"(8008)261231121", "(8008): the data must be 8, 10 or 12 digits, not 9"},
        {"(7011)2612312400", "(7011): '2612312400' has hour 24"},
        {"(4325)2612319930", "(4325): '2612319930' is not YYMMDDHHMM or YYMMDD9999"},
        // Decimal point positions, flags, check characters and character sets.
        {"(3106)001234", "(3106): unknown Application Identifier; 310n takes n from 0 to 5"},
        {"(4321)2", "(4321): '2' is not 0 or 1"},
        {"(4307)NLD", "(4307): the data must be 2 characters, not 3"},
        {"(8013)1987654Ad4X4bL5ttr2310c2L", "(8013): the check characters are 2L but should be 2K"},
        {"(8013)2K", "(8013): the data is too short for its two check characters"},
        {"(8010)AB#1a", "(8010): 'a' is not a digit, a capital, '#', '-' or '/'"},
        // An AI may repeat only with its value; some pairs contradict each other;
        // a measure's decimal point digit does not make it another quantity.
        {"(01)09506000134352(17)261231(10)ABC(21)S1", ""},
        {"(10)ABC(21)S1(10)ABC", ""},
        {"(02)09506000134352(37)12(00)095060001343521281", ""},
        {"(3100)000123(3200)000271(7030)276ABC(7031)276DEF", ""},
        {"(10)ABC(21)S1(10)ABD", "(10) appears twice with different values"},
        {"(3100)000123(3102)012300", "(3100) and (3102) give the same quantity with different values"},
        {"(01)09506000134352(02)09506000134352", "(01) and (02) may not appear together"},
        {"(3902)123(3910)978123", "(3902) and (3910) may not appear together"},
    };
    for (const auto& [input, reason] : cases) EXPECT_EQ(ParseGs1(input).reason(), reason) << input;
}

}  // namespace
}  // namespace glyphrun
