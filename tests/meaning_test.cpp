// GS1 data, ECI designators, Macro 05/06 and reader programming in the
// symbol, as a reader we did not write sees them.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "glyphrun/ecc200.h"
#include "glyphrun/gs1.h"
#include "glyphrun/text_input.h"
#include "reader.h"

namespace glyphrun {
namespace {

using V = std::vector<int>;
using testing::ReadSymbolFully;

Result<Symbol> EncodeSymbol(const std::string& data, EncodeOptions options) {
    return glyphrun::Encode(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()), options);
}

struct Encoded {
    V codewords;
    std::optional<testing::Reading> reading;
    std::string failure;
};

Encoded Encode(const std::string& data, const DataMeaning& meaning, EncodeScheme scheme = EncodeScheme::AutoBest) {
    const Result<Symbol> result = EncodeSymbol(data, {.scheme = scheme, .meaning = meaning});
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
    ASSERT_TRUE(plain.reading);
    EXPECT_EQ(plain.reading->symbologyIdentifier, "]d1");
    EXPECT_EQ(plain.codewords, (V{140, 30, 151}));

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

struct Prepared {
    Status status;
    std::string bytes;
    DataMeaning meaning;
};
Prepared Prepare(std::string_view text, const InputRule& rule) {
    Prepared prepared;
    prepared.status = PrepareInput(text, rule, prepared.bytes, prepared.meaning);
    return prepared;
}

// Text goes in as its ECI's bytes (no byte-order mark) and reads back; what
// the set lacks is refused; bytes taken as they are go under any ECI.
TEST(Eci, TextInItsCharacterSetOrRefused) {
    const std::tuple<int32_t, const char*, std::string> cases[] = {
        {3, "Köln", "K\xf6ln"},
        {7, "Привет", "\xbf\xe0\xd8\xd2\xd5\xe2"},
        {20, "日本語", "\x93\xfa\x96\x7b\x8c\xea"},
        {25, "Ω😀", std::string("\x03\xa9\xd8\x3d\xde\x00", 6)},
        {26, "Grüße 😀", "Grüße 😀"},
        {32, "中😀", "\xd6\xd0\x94\x39\xfc\x36"},
        {34, "A€", std::string("\0\0\0A\0\0\x20\xac", 8)},
        {170, "AB-12", "AB-12"},
    };
    for (const auto& [eci, text, bytes] : cases) {
        const Prepared prepared = Prepare(text, {.eci = eci});
        ASSERT_TRUE(prepared.status) << eci << ": " << prepared.status.reason();
        const Result<Symbol> encoded = EncodeSymbol(prepared.bytes, {.meaning = prepared.meaning});
        ASSERT_TRUE(encoded) << eci << ": " << encoded.reason();
        const std::optional<testing::Reading> reading = ReadSymbolFully(encoded.value());
        ASSERT_TRUE(reading) << eci;
        EXPECT_TRUE(reading->hasEci) << eci;
        EXPECT_EQ(reading->bytes, bytes) << eci;
        if (eci < 31 || eci > 35) {  // the reader knows no set of 31 to 35
            EXPECT_EQ(reading->text, text) << eci;
        }
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
    const Prepared binary = Prepare("AB€", {.binary = true, .eci = 899});
    ASSERT_TRUE(binary.status);
    EXPECT_EQ(binary.bytes, "AB€");
    EXPECT_EQ(binary.meaning.eci, 899);
}

std::string Macro(const char* number, const std::string& body) {
    return std::string("[)>\x1e") + number + "\x1d" + body + "\x1e\x04";
}

// The header and trailer become the one codeword 236 or 237, which the reader expands again.
TEST(Macro, OneCodewordForHeaderAndTrailerInEveryScheme) {
    const std::string body = "17V123456\0351P4006381333931\035SLOT42";
    for (const char* number : {"05", "06"})
        for (EncodeScheme scheme : {EncodeScheme::AutoMinimal, EncodeScheme::AutoBest, EncodeScheme::Ascii,
                                    EncodeScheme::C40, EncodeScheme::Text, EncodeScheme::Base256}) {
            const std::string data = Macro(number, body);
            const Result<Symbol> macro = EncodeSymbol(data, {scheme});
            const Result<Symbol> literal = EncodeSymbol(data, {.scheme = scheme, .detectMacro = false});
            ASSERT_TRUE(macro && literal) << number << " " << SchemeName(scheme) << " " << macro.reason();
            EXPECT_EQ(macro.value().codewords()[0], number[1] == '5' ? 236 : 237);
            EXPECT_EQ(macro.value().meaning().macro, number[1] - '0');
            EXPECT_EQ(literal.value().meaning().macro, 0);
            EXPECT_LT(macro.value().dataCodewords(), literal.value().dataCodewords());
            EXPECT_EQ(testing::ReadSymbol(macro.value()), data) << number << " " << SchemeName(scheme);
            EXPECT_EQ(testing::ReadSymbol(literal.value()), data);
        }
    const std::string longer = Macro("06", body + "ABCDEFGHIJKLMNOPQRSTUVWXABCDEF");
    EXPECT_TRUE(EncodeSymbol(longer, {.size = kSmallestRectangle}));
    EXPECT_TRUE(EncodeSymbol(longer, {.size = kSmallestRectangle, .detectMacro = false}).Is(EncodeError::DoesNotFit));
    // Under an ECI the reader puts the header before the converted text.
    const Result<Symbol> eci = EncodeSymbol(Macro("05", "K\xc3\xb6ln"), {.meaning = Eci(26)});
    ASSERT_TRUE(eci);
    EXPECT_EQ(eci.value().codewords()[0], 236);
    EXPECT_EQ(ReadSymbolFully(eci.value())->text, Macro("05", "Köln"));
}

TEST(Macro, OnlyAWholeMessageThatMayComeFirst) {
    const auto first = [](const std::string& data, const DataMeaning& meaning = {}) {
        const Result<Symbol> result = EncodeSymbol(data, {.meaning = meaning});
        return result ? result.value().codewords()[0] : -1;
    };
    EXPECT_EQ(first(Macro("07", "AB")), '[' + 1);
    EXPECT_EQ(first(Macro("05", "")), '[' + 1);  // no body
    EXPECT_EQ(first(Macro("05", "AB") + "C"), '[' + 1);
    EXPECT_EQ(first(Macro("05", "AB"), kGs1), 232);
    EXPECT_EQ(first(Macro("05", "AB"), DataMeaning{.readerInit = true}), 234);
    EXPECT_EQ(EncodeSymbol("AB", {.meaning = DataMeaning{.gs1 = true, .macro = 5}}).reason(),
              "a Macro 05/06 codeword must come first: it cannot go with GS1, reader programming or Structured Append");
    // A byte the scheme refuses is named where the caller's bytes have it.
    EXPECT_EQ(EncodeSymbol(Macro("05", "ABa"), {EncodeScheme::X12}).reason(),
              "X12 cannot encode byte 0x61 at position 10");
}

TEST(ReaderProgramming, FlagReadBackAndRefusedWithGs1) {
    for (EncodeScheme scheme : {EncodeScheme::AutoMinimal, EncodeScheme::AutoBest, EncodeScheme::Edifact}) {
        const Result<Symbol> result = EncodeSymbol("SETUP 1234", {.scheme = scheme, .meaning = {.readerInit = true}});
        ASSERT_TRUE(result) << result.reason();
        EXPECT_EQ(result.value().codewords()[0], 234);
        const std::optional<testing::Reading> reading = ReadSymbolFully(result.value());
        ASSERT_TRUE(reading);
        EXPECT_TRUE(reading->readerInit);
        EXPECT_EQ(reading->bytes, "SETUP 1234");
    }
    EXPECT_FALSE(ReadSymbolFully(EncodeSymbol("SETUP 1234", {}).value())->readerInit);
    EXPECT_EQ(EncodeSymbol("01", {.meaning = {.gs1 = true, .readerInit = true}}).reason(),
              "a reader programming symbol cannot carry GS1 data");
}

}  // namespace
}  // namespace glyphrun
