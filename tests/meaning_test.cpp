// GS1 data and ECI designators in the symbol, as a reader we did not write
// sees them: FNC1 first makes ]d2, FNC1 separators come back as GS, and an
// ECI makes the reader decode the bytes in that character set.
#include <gtest/gtest.h>

#include <string>

#include "glyphrun/ecc200.h"
#include "glyphrun/gs1.h"
#include "reader.h"

namespace glyphrun {
namespace {

struct Encoded {
    std::vector<int> codewords;
    std::optional<testing::Reading> reading;
    std::string failure;
};

Encoded Encode(const std::string& data, const DataMeaning& meaning, EncodeScheme scheme = EncodeScheme::AutoBest) {
    Ecc200Encoder encoder = InitEncoder();
    encoder.scheme = scheme;
    encoder.moduleSize = 3;
    encoder.margin = 6;
    encoder.meaning = meaning;
    Encoded result;
    if (EncodeMessage(&encoder, static_cast<int32_t>(data.size()), reinterpret_cast<const uint8_t*>(data.data()),
                      kSmallestSquare)) {
        result.codewords.assign(encoder.message->codewords, encoder.message->codewords + encoder.dataCodewords);
        result.reading = testing::ReadSymbolFully(*encoder.image, 3);
    } else {
        result.failure = DescribeEncodeFailure(encoder.failure);
    }
    FreeEncoder(&encoder);
    return result;
}

constexpr DataMeaning kGs1{true, false, 0};

TEST(Gs1Symbol, Fnc1FirstAndSeparatorsInEverySchemeThatHoldsThem) {
    const Result<std::string> data = ParseGs1("(01)09506000134352(10)ABCDEFGHIJKLMNOP(21)abcdefghijklmnop");
    ASSERT_TRUE(data);
    for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal, EncodeScheme::Ascii,
                                EncodeScheme::C40, EncodeScheme::Text}) {
        const Encoded e = Encode(data.value, kGs1, scheme);
        ASSERT_TRUE(e.reading) << static_cast<int>(scheme) << " " << e.failure;
        EXPECT_EQ(e.codewords.front(), 232) << static_cast<int>(scheme);
        EXPECT_EQ(e.reading->symbologyIdentifier, "]d2");
        EXPECT_EQ(e.reading->bytes, data.value);  // the separator read back as GS
    }
    // C40 and Text carry FNC1 as Shift 2, 27: the values 5 4 | 1 27 | 6 5 make two triples.
    EXPECT_EQ(Encode("10\x1d"
                     "21",
                     kGs1, EncodeScheme::C40)
                  .codewords,
              (std::vector<int>{232, 230, 31, 226, 169, 182, 254}));
    // Without the GS1 meaning the same byte is a plain GS character.
    const Encoded plain = Encode("10\x1d"
                                 "21",
                                 DataMeaning{});
    ASSERT_TRUE(plain.reading);
    EXPECT_EQ(plain.reading->symbologyIdentifier, "]d1");
    EXPECT_EQ(plain.codewords, (std::vector<int>{140, 30, 151}));
}

TEST(Gs1Symbol, SchemesWithoutFnc1FailWithAMessage) {
    for (EncodeScheme scheme : {EncodeScheme::X12, EncodeScheme::Edifact, EncodeScheme::Base256}) {
        const Encoded e = Encode("10ABC\x1d"
                                 "21XYZ",
                                 kGs1, scheme);
        EXPECT_TRUE(e.codewords.empty());
        EXPECT_NE(e.failure.find("cannot encode FNC1 (the GS1 separator at position 6)"), std::string::npos)
            << e.failure;
    }
    EXPECT_EQ(Encode("A", DataMeaning{true, true, 26}).failure, "GS1 data cannot carry an ECI designator");
    // A second FNC1 right after the first would make the reader take other data than GS1.
    EXPECT_EQ(Encode("\x1d"
                     "10A",
                     kGs1)
                  .failure,
              "GS1 data cannot start with a separator: a second FNC1 there means other data");
}

TEST(Eci, DesignatorFormsAndUtf8TextReadBack) {
    EXPECT_EQ(Encode("AB", DataMeaning{false, true, 26}, EncodeScheme::Ascii).codewords,
              (std::vector<int>{241, 27, 66, 67}));
    EXPECT_EQ(Encode("AB", DataMeaning{false, true, 127}, EncodeScheme::Ascii).codewords,
              (std::vector<int>{241, 128, 1, 66, 67}));
    EXPECT_EQ(Encode("AB", DataMeaning{false, true, 16383}, EncodeScheme::Ascii).codewords,
              (std::vector<int>{241, 192, 1, 1, 66, 67}));
    EXPECT_EQ(Encode("AB", DataMeaning{false, true, 999999}, EncodeScheme::Ascii).codewords,
              (std::vector<int>{241, 207, 63, 129, 66, 67}));
    // ECI 48 is the codeword 49, an ASCII "0": a data digit must not pair with it.
    EXPECT_EQ(Encode("12", DataMeaning{false, true, 48}, EncodeScheme::Ascii).codewords,
              (std::vector<int>{241, 49, 142}));
    EXPECT_EQ(Encode("AB", DataMeaning{false, true, 1000000}).failure, "the ECI number 1000000 is outside 0 to 999999");
    // After a two-codeword ECI the EDIFACT latch is the third codeword; one
    // more byte grows the symbol to five, and the two after the latch must
    // read as ASCII.
    for (const char* text : {"A", "AB", "ABC", "ABCD", "ABCDE"}) {
        const Encoded e = Encode(text, DataMeaning{false, true, 3}, EncodeScheme::Edifact);
        ASSERT_TRUE(e.reading) << text << " " << e.failure;
        EXPECT_EQ(e.reading->bytes, text);
    }

    for (const char* text : {"Grüße aus Köln", "Καλημέρα κόσμε", "日本語のテキスト", "😀 emoji 🚀", "mixed ß 中 🎉 ok"})
        for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal, EncodeScheme::Base256}) {
            const Encoded e = Encode(text, DataMeaning{false, true, 26}, scheme);
            ASSERT_TRUE(e.reading) << text << " " << e.failure;
            EXPECT_TRUE(e.reading->hasEci);
            EXPECT_EQ(e.reading->text, text);
        }
}

// A Macro 05/06 message: the header and trailer become the one codeword
// 236 or 237, which the reader expands again.
std::string Macro(const char* number, const std::string& body) {
    return std::string("[)>\x1e") + number + "\x1d" + body + "\x1e\x04";
}

EncodeResult EncodeSymbol(const std::string& data, EncodeOptions options) {
    return glyphrun::Encode(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()), options);
}

TEST(Macro, OneCodewordForHeaderAndTrailerInEveryScheme) {
    const std::string body = "17V123456\x1d"
                             "1P4006381333931\x1dSLOT42";
    for (const char* number : {"05", "06"})
        for (EncodeScheme scheme : {EncodeScheme::AutoMinimal, EncodeScheme::AutoBest, EncodeScheme::Ascii,
                                    EncodeScheme::C40, EncodeScheme::Text, EncodeScheme::Base256}) {
            const std::string data = Macro(number, body);
            const EncodeResult macro = EncodeSymbol(data, {scheme});
            const EncodeResult literal = EncodeSymbol(data, {.scheme = scheme, .detectMacro = false});
            ASSERT_TRUE(macro && literal) << number << " " << SchemeName(scheme) << " " << macro.reason();
            EXPECT_EQ(macro.symbol.codewords[0], number[1] == '5' ? 236 : 237);
            EXPECT_EQ(macro.symbol.meaning.macro, number[1] - '0');
            EXPECT_EQ(literal.symbol.meaning.macro, 0);
            EXPECT_LT(macro.symbol.dataCodewords, literal.symbol.dataCodewords);
            // Base 256 randomises each byte by its position, which the macro moves.
            EXPECT_EQ(testing::ReadSymbol(macro.symbol), data) << number << " " << SchemeName(scheme);
            EXPECT_EQ(testing::ReadSymbol(literal.symbol), data);
        }
    // Smaller by a size, and a rectangle that holds the message only so.
    EXPECT_EQ(EncodeSymbol(Macro("06", body), {}).symbol.rows, 20);
    EXPECT_EQ(EncodeSymbol(Macro("06", body), {.detectMacro = false}).symbol.rows, 22);
    const std::string longer = Macro("06", body + "ABCDEFGHIJKLMNOPQRSTUVWXABCDEF");
    EXPECT_TRUE(EncodeSymbol(longer, {.size = kSmallestRectangle}));
    EXPECT_EQ(EncodeSymbol(longer, {.size = kSmallestRectangle, .detectMacro = false}).failure.error,
              EncodeError::DoesNotFit);

    // Under an ECI the reader puts the header before the converted text.
    const EncodeResult eci = EncodeSymbol(Macro("05", "K\xc3\xb6ln"), {.meaning = DataMeaning{false, true, 26}});
    ASSERT_TRUE(eci);
    EXPECT_EQ(eci.symbol.codewords[0], 236);
    EXPECT_EQ(testing::ReadSymbolFully(eci.symbol)->text, Macro("05", "Köln"));
}

TEST(Macro, OnlyAWholeMessageThatMayComeFirst) {
    const auto first = [](const std::string& data, const DataMeaning& meaning = {}) {
        const EncodeResult result = EncodeSymbol(data, {.meaning = meaning});
        return result ? result.symbol.codewords[0] : -1;
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

TEST(ReaderProgramming, FlagReadBackAndRefusedWithGs1OrStructuredAppend) {
    for (EncodeScheme scheme : {EncodeScheme::AutoMinimal, EncodeScheme::AutoBest, EncodeScheme::Edifact}) {
        const EncodeResult result = EncodeSymbol("SETUP 1234", {.scheme = scheme, .meaning = {.readerInit = true}});
        ASSERT_TRUE(result) << result.reason();
        EXPECT_EQ(result.symbol.codewords[0], 234);
        const std::optional<testing::Reading> reading = testing::ReadSymbolFully(result.symbol);
        ASSERT_TRUE(reading);
        EXPECT_TRUE(reading->readerInit);
        EXPECT_EQ(reading->bytes, "SETUP 1234");
    }
    EXPECT_FALSE(testing::ReadSymbolFully(EncodeSymbol("SETUP 1234", {}).symbol)->readerInit);
    EXPECT_EQ(EncodeSymbol("01", {.meaning = {.gs1 = true, .readerInit = true}}).reason(),
              "a reader programming symbol cannot carry GS1 data");
    EXPECT_EQ(EncodeSymbol("AB", {.meaning = {.readerInit = true, .append = {0, 2, 1, 1}}}).reason(),
              "a reader programming symbol cannot be part of a Structured Append message");
}

}  // namespace
}  // namespace glyphrun
