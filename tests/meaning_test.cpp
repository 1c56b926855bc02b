// What the data means, as a reader we did not write sees it: GS1 (and its bracketed syntax), ECI,
// Macro 05/06, reader programming, and messages over several symbols.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "glyphrun/ecc200.h"
#include "glyphrun/gs1.h"
#include "glyphrun/symbol.h"
#include "glyphrun/text_input.h"
#include "reader.h"

namespace glyphrun {
namespace {

using V = std::vector<int>;
using testing::BytesOf;
using testing::EncodeText;
using testing::ReadSymbolFully;

struct Encoded {
    V codewords;
    std::optional<testing::Reading> reading;
    std::string failure;
};

Encoded Encode(const std::string& data, const DataMeaning& meaning, EncodeScheme scheme = EncodeScheme::AutoBest) {
    const Result<Symbol> result = EncodeText(data, {.scheme = scheme, .meaning = meaning});
    if (!result) return {{}, std::nullopt, result.reason()};
    const Symbol& symbol = result.value();
    return {
        {symbol.codewords().begin(), symbol.codewords().begin() + symbol.dataCodewords()}, ReadSymbolFully(symbol), ""};
}

constexpr DataMeaning kGs1{true, false, 0};
DataMeaning Eci(int32_t eci) { return {false, true, eci}; }

TEST(Gs1Symbol, Fnc1FirstAndAsSeparatorOrRefused) {
    const Result<std::string> data = ParseGs1("(01)09506000134352(10)ABCDEFGHIJKLMNOP(21)abcdefghijklmnop");
    ASSERT_TRUE(data);
    for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal, EncodeScheme::Ascii,
                                EncodeScheme::C40, EncodeScheme::Text}) {
        const Encoded e = Encode(data.value(), kGs1, scheme);
        ASSERT_TRUE(e.reading) << SchemeName(scheme) << " " << e.failure;
        EXPECT_EQ(e.codewords.front(), 232) << SchemeName(scheme);
        EXPECT_EQ(e.reading->symbologyIdentifier, "]d2");
        EXPECT_EQ(e.reading->bytes, data.value());  // the separator read back as GS
    }
    // C40 carries FNC1 as Shift 2, 27; without the GS1 meaning GS is a plain character.
    EXPECT_EQ(Encode("10\03521", kGs1, EncodeScheme::C40).codewords, (V{232, 230, 31, 226, 169, 182, 254}));
    const Encoded plain = Encode("10\03521", DataMeaning{});
    EXPECT_EQ(plain.codewords, (V{140, 30, 151}));
    EXPECT_EQ(plain.reading->symbologyIdentifier, "]d1");

    for (EncodeScheme scheme : {EncodeScheme::X12, EncodeScheme::Edifact, EncodeScheme::Base256})
        EXPECT_NE(
            Encode("10ABC\03521XYZ", kGs1, scheme).failure.find("cannot encode FNC1 (the GS1 separator at position 6)"),
            std::string::npos);
    EXPECT_EQ(Encode("A", DataMeaning{true, true, 26}).failure, "GS1 data cannot carry an ECI designator");
    EXPECT_EQ(Encode("\03510A", kGs1).failure,
              "GS1 data cannot start with a separator: a second FNC1 there means other data");
}

TEST(Eci, DesignatorFormsAndUtf8TextReadBack) {
    const std::pair<int32_t, V> forms[] = {{26, {241, 27, 66, 67}},
                                           {127, {241, 128, 1, 66, 67}},
                                           {16383, {241, 192, 1, 1, 66, 67}},
                                           {999999, {241, 207, 63, 129, 66, 67}}};
    for (const auto& [eci, codewords] : forms)
        EXPECT_EQ(Encode("AB", Eci(eci), EncodeScheme::Ascii).codewords, codewords);
    // ECI 48 is the codeword 49, an ASCII "0": a data digit must not pair with it.
    EXPECT_EQ(Encode("12", Eci(48), EncodeScheme::Ascii).codewords, (V{241, 49, 142}));
    EXPECT_EQ(Encode("AB", Eci(1000000)).failure, "the ECI number 1000000 is outside 0 to 999999");
    // After a two-codeword ECI the EDIFACT latch is the third codeword, and what follows may have to be ASCII.
    for (const char* text : {"A", "ABC", "ABCDE"}) {
        const Encoded e = Encode(text, Eci(3), EncodeScheme::Edifact);
        ASSERT_TRUE(e.reading) << text << " " << e.failure;
        EXPECT_EQ(e.reading->bytes, text);
    }
    for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal, EncodeScheme::Base256}) {
        const Encoded e = Encode("mixed ß 中 🎉 ok", Eci(26), scheme);
        ASSERT_TRUE(e.reading) << SchemeName(scheme) << " " << e.failure;
        EXPECT_TRUE(e.reading->hasEci);
        EXPECT_EQ(e.reading->text, "mixed ß 中 🎉 ok");
    }
}

struct Prepare {
    Prepare(std::string_view text, const InputRule& rule) { status = PrepareInput(text, rule, bytes, meaning); }
    Status status;
    std::string bytes;
    DataMeaning meaning;
};

// Text goes in as its ECI's bytes (no byte-order mark) and reads back; what the set lacks is refused.
TEST(Eci, TextInItsCharacterSetOrRefused) {
    const std::tuple<int32_t, const char*, std::string> cases[] = {
        {3, "Köln", "K\xf6ln"},
        {20, "日本語", "\x93\xfa\x96\x7b\x8c\xea"},
        {25, "Ω😀", std::string("\x03\xa9\xd8\x3d\xde\x00", 6)},
        {26, "Grüße 😀", "Grüße 😀"},
        {32, "中😀", "\xd6\xd0\x94\x39\xfc\x36"},
        {34, "A€", std::string("\0\0\0A\0\0\x20\xac", 8)},
        {170, "AB-12", "AB-12"}};
    for (const auto& [eci, text, bytes] : cases) {
        SCOPED_TRACE(eci);
        const Prepare prepared(text, {.eci = eci});
        ASSERT_TRUE(prepared.status) << prepared.status.reason();
        const Encoded e = Encode(prepared.bytes, prepared.meaning);
        ASSERT_TRUE(e.reading) << e.failure;
        EXPECT_TRUE(e.reading->hasEci);
        EXPECT_EQ(e.reading->bytes, bytes);
        if (eci >= 31 && eci <= 35) continue;  // the reader knows no set of 31 to 35
        EXPECT_EQ(e.reading->text, text);
    }
    const std::tuple<int32_t, const char*, std::string> refusals[] = {
        {29, "中😀", "the character U+1F600 at position 2 is not in ECI 29's character set (GB2312)"},
        {170, "~é", "the character U+007E at position 1 is not in ECI 170's character set (ISO 646 invariant)"},
        {899, "AB", "ECI 899 names no character set that text converts to"},
    };
    for (const auto& [eci, text, reason] : refusals) {
        const Status refused = Prepare(text, {.eci = eci}).status;
        EXPECT_TRUE(refused.Is(eci == 899 ? InputError::NoCharset : InputError::NotConvertible)) << eci;
        EXPECT_EQ(refused.reason(), reason);
    }
    const Prepare binary("AB€", {.binary = true, .eci = 899});  // bytes as they are go under any ECI
    EXPECT_TRUE(binary.status && binary.bytes == "AB€" && binary.meaning.eci == 899);
}

std::string Macro(const char* number, const std::string& body) {
    return std::string("[)>\x1e") + number + "\x1d" + body + "\x1e\x04";
}

// The header and trailer become the one codeword 236 or 237, which the reader expands again; a message without
// a body is that codeword alone.
TEST(Macro, OneCodewordForHeaderAndTrailerInEveryScheme) {
    const std::string body = "17V123456\0351P4006381333931\035SLOT42";
    for (const std::string& content : {body, std::string()})
        for (const char* number : {"05", "06"})
            for (EncodeScheme scheme : {EncodeScheme::AutoMinimal, EncodeScheme::AutoBest, EncodeScheme::Ascii,
                                        EncodeScheme::C40, EncodeScheme::Text, EncodeScheme::Base256}) {
                const std::string data = Macro(number, content);
                const Result<Symbol> macro = EncodeText(data, {scheme});
                const Result<Symbol> literal = EncodeText(data, {.scheme = scheme, .detectMacro = false});
                ASSERT_TRUE(macro && literal) << number << " " << SchemeName(scheme) << " " << macro.reason();
                EXPECT_EQ(macro.value().codewords()[0], number[1] == '5' ? 236 : 237);
                EXPECT_EQ(macro.value().meaning().macro, number[1] - '0');
                EXPECT_EQ(literal.value().meaning().macro, 0);
                EXPECT_LT(macro.value().dataCodewords(), literal.value().dataCodewords());
                EXPECT_EQ(testing::ReadSymbol(macro.value()), data) << number << " " << SchemeName(scheme);
                EXPECT_EQ(testing::ReadSymbol(literal.value()), data);
            }
    const std::string longer = Macro("06", body + "ABCDEFGHIJKLMNOPQRSTUVWXABCDEF");
    EXPECT_TRUE(EncodeText(longer, {.size = kSmallestRectangle}));
    EXPECT_TRUE(EncodeText(longer, {.size = kSmallestRectangle, .detectMacro = false}).Is(EncodeError::DoesNotFit));
    // Under an ECI the reader puts the header before the converted text.
    const Encoded eci = Encode(Macro("05", "K\xc3\xb6ln"), Eci(26));
    ASSERT_TRUE(eci.reading) << eci.failure;
    EXPECT_EQ(eci.codewords[0], 236);
    EXPECT_EQ(eci.reading->text, Macro("05", "Köln"));
}

TEST(Macro, OnlyAWholeMessageThatMayComeFirst) {
    const auto first = [](const std::string& data, const DataMeaning& meaning = {}) {
        const Result<Symbol> result = EncodeText(data, {.meaning = meaning});
        return result ? result.value().codewords()[0] : -1;
    };
    EXPECT_EQ(first(Macro("07", "AB")), '[' + 1);
    EXPECT_EQ(first(Macro("05", "AB") + "C"), '[' + 1);
    EXPECT_EQ(first(Macro("05", "AB"), kGs1), 232);
    EXPECT_EQ(first(Macro("05", "AB"), DataMeaning{.readerInit = true}), 234);
    EXPECT_EQ(EncodeText("AB", {.meaning = DataMeaning{.gs1 = true, .macro = 5}}).reason(),
              "a Macro 05/06 codeword must come first: it cannot go with GS1, reader programming or Structured Append");
    // A byte the scheme refuses is named where the caller's bytes have it.
    EXPECT_EQ(EncodeText(Macro("05", "ABa"), {EncodeScheme::X12}).reason(),
              "X12 cannot encode byte 0x61 at position 10");
}

TEST(ReaderProgramming, FlagReadBackAndRefusedWithGs1) {
    for (EncodeScheme scheme : {EncodeScheme::AutoMinimal, EncodeScheme::AutoBest, EncodeScheme::Edifact}) {
        const Encoded e = Encode("SETUP 1234", {.readerInit = true}, scheme);
        ASSERT_TRUE(e.reading) << e.failure;
        EXPECT_EQ(e.codewords[0], 234);
        EXPECT_TRUE(e.reading->readerInit && e.reading->bytes == "SETUP 1234");
    }
    EXPECT_FALSE(Encode("SETUP 1234", {}).reading->readerInit);
    EXPECT_EQ(EncodeText("01", {.meaning = {.gs1 = true, .readerInit = true}}).reason(),
              "a reader programming symbol cannot carry GS1 data");
}

// The bytes (or text) of all the symbols in order, each checked for its place.
std::string ReadMessage(const Result<std::vector<Symbol>>& result, StructuredAppendOptions append, bool text = false) {
    std::string joined;
    const int count = static_cast<int>(result.value().size());
    for (int i = 0; i < count; ++i) {
        const std::optional<testing::Reading> reading =
            testing::ReadSymbolFully(result.value()[static_cast<size_t>(i)]);
        if (!reading) return "symbol " + std::to_string(i + 1) + " does not read";
        EXPECT_EQ(reading->sequenceIndex, i);
        EXPECT_EQ(reading->sequenceSize, count);
        EXPECT_EQ(reading->sequenceId, std::to_string(256 * append.fileId1 + append.fileId2));
        joined += text ? reading->text : reading->bytes;
    }
    return joined;
}

TEST(StructuredAppend, AutoTakesTheFewestSymbolsAndReadsBack) {
    std::string input;
    for (int i = 0; input.size() < 5000; ++i)
        input += "LOT " + std::to_string(i * 7919 % 10007) + " batch/ACME Corp. x";
    const StructuredAppendOptions append{0, 17, 200};
    const EncodeOptions largest{.size = 23};  // 144 x 144
    ASSERT_FALSE(EncodeText(input, largest));
    const Result<std::vector<Symbol>> result = EncodeStructuredAppend(BytesOf(input), largest, append);
    ASSERT_TRUE(result) << result.reason();
    ASSERT_GE(result.value().size(), 2u);
    for (const Symbol& symbol : result.value()) EXPECT_EQ(symbol.rows(), 144);
    EXPECT_EQ(ReadMessage(result, append), input);
    const auto fewer = static_cast<int32_t>(result.value().size()) - 1;
    EXPECT_EQ(EncodeStructuredAppend(BytesOf(input), largest, {fewer, 17, 200}).reason(),
              "the input needs more than " + std::to_string(fewer) + " symbols of the requested size 144x144");
    // A message one symbol holds is that symbol alone, even where the Structured Append codewords would not fit.
    for (const std::string& alone : {std::string("SHORT"), std::string(3116, '7')}) {
        const Result<std::vector<Symbol>> one = EncodeStructuredAppend(BytesOf(alone), largest, {});
        ASSERT_TRUE(one && one.value().size() == 1u) << alone.size();
        EXPECT_NE(one.value()[0].codewords()[0], 233);  // no Structured Append codeword
    }
}

// Every scheme, Base 256 (randomised by codeword position) too, with the count given.
TEST(StructuredAppend, GivenCountInEverySchemeAndSize) {
    const std::string text = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (EncodeScheme scheme : {EncodeScheme::AutoMinimal, EncodeScheme::AutoBest, EncodeScheme::Ascii,
                                EncodeScheme::C40, EncodeScheme::X12, EncodeScheme::Edifact, EncodeScheme::Base256})
        for (int32_t count : {2, 5, 16}) {
            const StructuredAppendOptions append{count, 1, 254};
            const Result<std::vector<Symbol>> result =
                EncodeStructuredAppend(BytesOf(text), {.scheme = scheme}, append);
            ASSERT_TRUE(result) << SchemeName(scheme) << " " << count << ": " << result.reason();
            ASSERT_EQ(result.value().size(), static_cast<size_t>(count));
            EXPECT_EQ(ReadMessage(result, append), text) << SchemeName(scheme) << " " << count;
        }
    std::string binary;
    for (int i = 0; i < 800; ++i) binary += static_cast<char>(i * 37 % 256);
    const StructuredAppendOptions append{3, 9, 9};
    const Result<std::vector<Symbol>> result = EncodeStructuredAppend(BytesOf(binary), {}, append);
    ASSERT_TRUE(result) << result.reason();
    EXPECT_EQ(ReadMessage(result, append), binary);
}

// An ECI in every symbol, no UTF-8 character cut in two; GS1's FNC1 only in the first, no separator leading another.
TEST(StructuredAppend, EciInEverySymbolAndGs1InTheFirst) {
    const std::string utf8 = "Grüße aus Köln, Καλημέρα κόσμε, 日本語のテキスト, 😀 emoji 🚀";
    const StructuredAppendOptions append{6, 3, 4};
    const Result<std::vector<Symbol>> text = EncodeStructuredAppend(BytesOf(utf8), {.meaning = Eci(26)}, append);
    ASSERT_TRUE(text) << text.reason();
    EXPECT_EQ(ReadMessage(text, append, true), utf8);

    const Result<std::string> gs1 =
        ParseGs1("(01)09506000134352(10)A1(21)B2(22)C3(90)D4(91)E5(92)F6(93)G7(94)H8(95)I9");
    ASSERT_TRUE(gs1);
    const StructuredAppendOptions parts{8, 5, 6};
    const Result<std::vector<Symbol>> result = EncodeStructuredAppend(BytesOf(gs1.value()), {.meaning = kGs1}, parts);
    ASSERT_TRUE(result) << result.reason();
    EXPECT_EQ(ReadMessage(result, parts), gs1.value());
    for (size_t i = 0; i < result.value().size(); ++i)
        EXPECT_EQ(testing::ReadSymbolFully(result.value()[i])->symbologyIdentifier, i == 0 ? "]d2" : "]d1") << i;
}

TEST(StructuredAppend, RefusesWhatCannotBeSplit) {
    const auto reason = [](const std::string& data, const EncodeOptions& options, StructuredAppendOptions append) {
        return EncodeStructuredAppend(BytesOf(data), options, append).reason();
    };
    EXPECT_EQ(reason("ABC", {}, {1, 1, 1}), "Structured Append takes 2 to 16 symbols, not 1");
    EXPECT_EQ(reason("ABC", {}, {2, 0, 1}), "a Structured Append file identification is 1 to 254, not 0");
    EXPECT_EQ(reason("ABC", {}, {4, 1, 1}), "4 symbols need a byte each but the input has 3");
    EXPECT_EQ(reason("ABC", {.meaning = {.readerInit = true}}, {}),
              "a reader programming symbol cannot be part of a Structured Append message");
    EXPECT_EQ(reason("", {}, {}), "the input is empty");
    EXPECT_EQ(  // the four Structured Append codewords leave no room in 10 x 10
        reason("ABC", {.size = 0}, {2, 1, 1}), "the input needs 5 data codewords but the requested size 10x10 holds 3");
    EXPECT_EQ(reason("ABCDEFGHIJKLMNOPQRSTUVWXYZ", {.size = 1}, {2, 1, 1}),
              "the input needs more than 2 symbols of the requested size 12x12");
}

std::string ElementString(const char* bracketed) {
    const Result<std::string> data = ParseGs1(bracketed);
    EXPECT_TRUE(data) << bracketed << ": " << data.reason();
    return data.value();
}

// \035 is the separator, GS; a serial or further country codes may be left out. One element alone is carried
// without its brackets: dates (day 00 where the AI allows it), times, measures, flags and check characters.
TEST(Gs1, AcceptedElementsAndTheirSeparators) {
    const std::pair<const char*, const char*> cases[] = {
        {"(01)09506000134352(17)261231(10)ABC123", "01095060001343521726123110ABC123"},
        {"(01)09506000134352(10)ABC123(17)261231", "010950600013435210ABC123\03517261231"},
        {"(3103)000123(402)12345678901234560(91)x", "310300012340212345678901234560\03591x"},
        {"(253)9506000134352(8008)26123112", "2539506000134352\035800826123112"},
        {"(253)9506000134352A1(423)040", "2539506000134352A1\035423040"},
        // a bracket in the data: escaped in the (01) form, as it is in the [01] form
        {"(01)09506000134352(10)A\\(B\\)C(21)X", "010950600013435210A(B)C\03521X"},
        {"[01]09506000134352[10]A(B)C[21]X", "010950600013435210A(B)C\03521X"},
    };
    for (const auto& [bracketed, elements] : cases) EXPECT_EQ(ElementString(bracketed), elements);
    for (const std::string input :
         {"(17)280229", "(17)260200", "(7003)2612312359", "(8008)26123100", "(7007)260101260131", "(7011)2612311430",
          "(4325)2612319999", "(3105)001234", "(4321)0", "(4330)001234-", "(8013)1987654Ad4X4bL5ttr2310c2K",
          "(8010)AB#12-3/4", "(99)x"}) {
        std::string expected = input.substr(1);
        EXPECT_EQ(ElementString(input.c_str()), expected.erase(expected.find(')'), 1));
    }
}

// The rules beside the syntax: without the check digits and dates, data for a test label passes
// while its syntax is still checked; with GS between fields a reader gets the same element string,
// the separator a GS character rather than FNC1; the long keys of AIs 91-99 take up to 90 characters.
TEST(Gs1, ChecksOffAndGsSeparatorsReadBack) {
    InputRule rule;
    rule.gs1 = true;
    const std::string untested = "(01)09506000134353(17)261332(10)A1";
    std::string bytes;
    DataMeaning meaning;
    EXPECT_EQ(PrepareInput(untested, rule, bytes, meaning).reason(), "(01): the check digit is 3 but should be 2");
    rule.gs1Rules.checkDigitsAndDates = false;
    ASSERT_TRUE(PrepareInput(untested, rule, bytes, meaning));
    EXPECT_EQ(bytes, "01095060001343531726133210A1");
    EXPECT_EQ(PrepareInput("(01)0950600013435", rule, bytes, meaning).reason(),
              "(01): the data must be 14 digits, not 13");
    rule.gs1Gs = true;
    ASSERT_TRUE(PrepareInput("(10)A1(21)B2", rule, bytes, meaning));
    const Encoded gs = Encode(bytes, meaning);
    EXPECT_EQ(gs.codewords, (V{232, 140, 66, 50, 30, 151, 67, 51}));  // FNC1 first, then GS (30) between
    ASSERT_TRUE(gs.reading);
    EXPECT_EQ(gs.reading->symbologyIdentifier, "]d2");
    EXPECT_EQ(gs.reading->bytes, "10A1\03521B2");
    EXPECT_TRUE(ParseGs1("(91)" + std::string(90, 'K')));
    EXPECT_EQ(ParseGs1("(99)" + std::string(91, 'K')).reason(), "(99): the data must be 1 to 90 characters, not 91");
    // More than any symbol holds is refused before its elements are read; up to that, thousands
    // of elements are checked against one another in a few looks each.
    std::string many;
    while (many.size() < 9348) many += "(91)x";
    EXPECT_TRUE(ParseGs1(many.substr(0, 9345)));
    EXPECT_EQ(ParseGs1(many).reason(), "GS1 data of 9350 characters is more than any symbol holds (9348 at most)");
}

TEST(Gs1, RefusalsNameTheElementAndTheFault) {
    const std::pair<const char*, const char*> cases[] = {
        {"01095060001343", "GS1 data starts with an Application Identifier in brackets, such as (01) or [01]"},
        {"(01)09506000134353", "(01): the check digit is 3 but should be 2"},
        {"(02)0950600013435", "(02): the data must be 14 digits, not 13"},
        {"(11)26A231", "(11): 'A' is not a digit"},
        {"(10)AB\xe2\x82\xac", "(10): byte 0xE2 is outside the GS1 character set"},
        {"(10)", "(10): the data must be 1 to 20 characters, not 0"},
        {"(123)4", "(123): unknown Application Identifier"},
        {"(1A)4", "(1A): an Application Identifier is 2 to 4 digits"},
        {"(10)A(21", "an Application Identifier's bracket is not closed"},
        {"(421)07", "(421): the data is too short"},
        {"(17)260229", "(17): '260229' is not a date YYMMDD"},
        {"(7006)260200", "(7006): '260200' is not a date YYMMDD"},
        {"(7003)2612312500", "(7003): '2612312500' has hour 25"},
        {"(8008)261231235960", "(8008): '261231235960' has second 60"},
        {"(8008)261231121", "(8008): the data must be 8, 10 or 12 digits, not 9"},
        {"(4325)2612319930", "(4325): '2612319930' is not YYMMDDHHMM or YYMMDD9999"},
        {"(3106)001234", "(3106): unknown Application Identifier; 310n takes n from 0 to 5"},
        {"(4321)2", "(4321): '2' is not 0 or 1"},
        {"(8013)1987654Ad4X4bL5ttr2310c2L", "(8013): the check characters are 2L but should be 2K"},
        {"(8013)2K", "(8013): the data is too short for its two check characters"},
        {"(8010)AB#1a", "(8010): 'a' is not a digit, a capital, '#', '-' or '/'"},
        {"(10)ABC(21)S1(10)ABC", ""},
        {"(02)09506000134352(37)12(00)095060001343521281", ""},
        {"(3100)000123(3200)000271(7030)276ABC(7031)276DEF", ""},
        {"(10)ABC(21)S1(10)ABD", "(10) appears twice with different values"},
        {"(3100)000123(3102)012300", "(3100) and (3102) give the same quantity with different values"},
        {"(01)09506000134352(02)09506000134352", "(01) and (02) may not appear together"},
        {"(01)09506000134352(91)x(21)A(91)x(37)1", "(01) and (37) may not appear together"},
    };
    for (const auto& [input, reason] : cases) EXPECT_EQ(ParseGs1(input).reason(), reason) << input;
}

// What cannot be typed, written with escapes: each read to its bytes, which the reader returns from
// the symbol, and shown under a symbol in the same escaped form; a bad escape is refused with its place.
TEST(Escapes, ReadToTheBytesAReaderReturnsAndShownTheSameWay) {
    const std::tuple<std::string, std::string, std::string> read[] = {
        // escaped, the bytes, as shown under the symbol
        {"[)>\\R06\\G17V123\\R\\E",
         "[)>\x1e"
         "06\x1d"
         "17V123\x1e\x04",
         "[)>\\R06\\G17V123\\R\\E"},
        {"a\\nb\\tc\\rd\\\\e", "a\nb\tc\rd\\e", "a\\nb\\tc\\rd\\e"},
        {"\\x00\\xff\\x7F", std::string("\0\xff\x7f", 3), "\\x00\\xFF\\x7F"},
        {"\\u00e9\\U0001F600\\0", std::string("\xc3\xa9\xf0\x9f\x98\x80\0", 7), "\xc3\xa9\xf0\x9f\x98\x80\\x00"},
    };
    for (const auto& [escaped, bytes, shown] : read) {
        std::string made;
        ASSERT_TRUE(ReadEscapes(escaped, made)) << escaped;
        EXPECT_EQ(made, bytes) << escaped;
        EXPECT_EQ(HumanReadable(made), shown) << escaped;
        const Result<Symbol> symbol =
            glyphrun::Encode({reinterpret_cast<const uint8_t*>(made.data()), made.size()}, {.detectMacro = false});
        ASSERT_TRUE(symbol) << symbol.reason();
        const auto reading = ReadSymbolFully(symbol.value());
        ASSERT_TRUE(reading);
        EXPECT_EQ(reading->bytes, bytes) << escaped;
    }
    const std::pair<std::string, std::string> refused[] = {
        {"ab\\q", "the backslash at position 3 and 'q' are no escape (--help lists them: n r t 0 x u U G R E, and a "
                  "second backslash)"},
        {"ab\\", "the backslash at position 3 ends the text: a backslash itself is written twice"},
        {"\\x4", "the backslash at position 1 and 'x' need 2 hexadecimal digits"},
        {"\\uD800",
         "the backslash at position 1 and 'u' name no character: U+D800 to U+DFFF and past U+10FFFF are none"},
    };
    for (const auto& [escaped, reason] : refused) {
        std::string made;
        const Status status = ReadEscapes(escaped, made);
        EXPECT_TRUE(status.Is(InputError::BadEscape)) << escaped;
        EXPECT_EQ(status.reason(), reason);
    }
}

}  // namespace
}  // namespace glyphrun
