// GS1 data and ECI designators in the symbol, as a reader we did not write
// sees them: FNC1 first makes ]d2, FNC1 separators come back as GS, and an
// ECI makes the reader decode the bytes in that character set, which text
// is converted to before it is encoded.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "glyphrun/ecc200.h"
#include "glyphrun/gs1.h"
#include "glyphrun/text_input.h"
#include "reader.h"

namespace glyphrun {
namespace {

struct Encoded {
    std::vector<int> codewords;
    std::optional<testing::Reading> reading;
    std::string failure;
};

Result<Symbol> EncodeSymbol(const std::string& data, EncodeOptions options) {
    return glyphrun::Encode(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()), options);
}

Encoded Encode(const std::string& data, const DataMeaning& meaning, EncodeScheme scheme = EncodeScheme::AutoBest) {
    const Result<Symbol> result = EncodeSymbol(data, {.scheme = scheme, .meaning = meaning});
    if (!result) return {{}, std::nullopt, result.reason()};
    const Symbol& symbol = result.value();
    return {{symbol.codewords().begin(), symbol.codewords().begin() + symbol.dataCodewords()},
            testing::ReadSymbolFully(symbol),
            ""};
}

constexpr DataMeaning kGs1{true, false, 0};

TEST(Gs1Symbol, Fnc1FirstAndSeparatorsInEverySchemeThatHoldsThem) {
    const Result<std::string> data = ParseGs1("(01)09506000134352(10)ABCDEFGHIJKLMNOP(21)abcdefghijklmnop");
    ASSERT_TRUE(data);
    for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal, EncodeScheme::Ascii,
                                EncodeScheme::C40, EncodeScheme::Text}) {
        const Encoded e = Encode(data.value(), kGs1, scheme);
        ASSERT_TRUE(e.reading) << static_cast<int>(scheme) << " " << e.failure;
        EXPECT_EQ(e.codewords.front(), 232) << static_cast<int>(scheme);
        EXPECT_EQ(e.reading->symbologyIdentifier, "]d2");
        EXPECT_EQ(e.reading->bytes, data.value());  // the separator read back as GS
    }
    // C40 and Text carry FNC1 as Shift 2, 27: the values 5 4 | 1 27 | 6 5 make two triples.
    EXPECT_EQ(Encode("10\03521", kGs1, EncodeScheme::C40).codewords,
              (std::vector<int>{232, 230, 31, 226, 169, 182, 254}));
    // Without the GS1 meaning the same byte (\035, GS) is a plain GS character.
    const Encoded plain = Encode("10\03521", DataMeaning{});
    ASSERT_TRUE(plain.reading);
    EXPECT_EQ(plain.reading->symbologyIdentifier, "]d1");
    EXPECT_EQ(plain.codewords, (std::vector<int>{140, 30, 151}));
}

TEST(Gs1Symbol, SchemesWithoutFnc1FailWithAMessage) {
    for (EncodeScheme scheme : {EncodeScheme::X12, EncodeScheme::Edifact, EncodeScheme::Base256}) {
        const Encoded e = Encode("10ABC\03521XYZ", kGs1, scheme);
        EXPECT_TRUE(e.codewords.empty());
        EXPECT_NE(e.failure.find("cannot encode FNC1 (the GS1 separator at position 6)"), std::string::npos)
            << e.failure;
    }
    EXPECT_EQ(Encode("A", DataMeaning{true, true, 26}).failure, "GS1 data cannot carry an ECI designator");
    // A second FNC1 right after the first would make the reader take other data than GS1.
    EXPECT_EQ(Encode("\03510A", kGs1).failure,
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
    for (const char* text : {"A", "ABC", "ABCDE"}) {
        const Encoded e = Encode(text, DataMeaning{false, true, 3}, EncodeScheme::Edifact);
        ASSERT_TRUE(e.reading) << text << " " << e.failure;
        EXPECT_EQ(e.reading->bytes, text);
    }

    for (const char* text : {"Grüße aus Köln", "mixed ß 中 🎉 ok"})
        for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal, EncodeScheme::Base256}) {
            const Encoded e = Encode(text, DataMeaning{false, true, 26}, scheme);
            ASSERT_TRUE(e.reading) << text << " " << e.failure;
            EXPECT_TRUE(e.reading->hasEci);
            EXPECT_EQ(e.reading->text, text);
        }
}

// Text read by `rule`: the bytes to encode and what they mean, or why not.
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

// "41 00 ac" as the bytes it writes in hexadecimal.
std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 3)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

// Text typical of each set we convert to goes into the symbol as that set's
// bytes (no byte-order mark), and a reader that knows the set gets the text
// back.
TEST(Eci, TextReadsBackInEveryCharacterSetWeConvertTo) {
    struct Case {
        int32_t eci;
        const char* text;
        const char* bytes;
    };
    const Case cases[] = {
        {0, "Ä½░", "8e ab b0"},
        {1, "Grüße", "47 72 fc df 65"},
        {2, "é╬", "82 ce"},
        {3, "Köln", "4b f6 6c 6e"},
        {4, "Łódź", "a3 f3 64 bc"},
        {5, "ĉĝ", "e6 f8"},
        {6, "ĀŖ", "c0 a3"},
        {7, "Привет", "bf e0 d8 d2 d5 e2"},
        {8, "سلام", "d3 e4 c7 e5"},
        {9, "Καλημέρα", "ca e1 eb e7 ec dd f1 e1"},
        {10, "שלום", "f9 ec e5 ed"},
        {11, "İğş", "dd f0 fe"},
        {12, "ŊŦ", "af ab"},
        {13, "สวัสดี", "ca c7 d1 ca b4 d5"},
        {15, "Šiaulių", "d0 69 61 75 6c 69 f8"},
        {16, "Ŵŷ", "d0 fe"},
        {17, "€Œ", "a4 bc"},
        {18, "Șț", "aa fe"},
        {20, "日本語", "93 fa 96 7b 8c ea"},
        {21, "Česko", "c8 65 73 6b 6f"},
        {22, "Привет", "cf f0 e8 e2 e5 f2"},
        {23, "€ café", "80 20 63 61 66 e9"},
        {24, "سلام", "d3 e1 c7 e3"},
        {25, "Ω😀", "03 a9 d8 3d de 00"},
        {26, "Grüße 😀", "47 72 c3 bc c3 9f 65 20 f0 9f 98 80"},
        {27, "AB#", "41 42 23"},
        {28, "臺灣", "bb 4f c6 57"},
        {29, "中文", "d6 d0 ce c4"},
        {30, "한국어", "c7 d1 b1 b9 be ee"},
        {31, "國語", "87 f8 d5 5a"},
        {32, "中😀", "d6 d0 94 39 fc 36"},
        {33, "AB€", "41 00 42 00 ac 20"},
        {34, "AB€", "00 00 00 41 00 00 00 42 00 00 20 ac"},
        {35, "AB€", "41 00 00 00 42 00 00 00 ac 20 00 00"},
        {170, "AB-12", "41 42 2d 31 32"},
    };
    for (const auto& [eci, text, hex] : cases) {
        const Prepared prepared = Prepare(text, {.eci = eci});
        ASSERT_TRUE(prepared.status) << eci << ": " << prepared.status.reason();
        const Result<Symbol> encoded = EncodeSymbol(prepared.bytes, {.meaning = prepared.meaning});
        ASSERT_TRUE(encoded) << eci << ": " << encoded.reason();
        const std::optional<testing::Reading> reading = testing::ReadSymbolFully(encoded.value());
        ASSERT_TRUE(reading) << eci;
        EXPECT_TRUE(reading->hasEci) << eci;
        EXPECT_EQ(reading->bytes, FromHex(hex)) << eci;
        // The reader knows none of the sets of ECIs 31 to 35 (GBK to UTF-32LE).
        if (eci < 31 || eci > 35) {
            EXPECT_EQ(reading->text, text) << eci;
        }
    }
}

// Text is refused rather than written in bytes its ECI does not announce;
// bytes taken as they are go under any ECI.
TEST(Eci, TextRefusedWhereItsBytesWouldBeWrong) {
    const std::string invariant = "'s character set (ISO 646 invariant)";
    const std::tuple<int32_t, const char*, std::string> refusals[] = {
        {29, "中😀", "the character U+1F600 at position 2 is not in ECI 29's character set (GB2312)"},
        {170, "AB#", "the character U+0023 at position 3 is not in ECI 170" + invariant},
        {170, "~é", "the character U+007E at position 1 is not in ECI 170" + invariant},
        {899, "AB", "ECI 899 names no character set that text converts to"},
    };
    for (const auto& [eci, text, reason] : refusals) {
        const Status refused = Prepare(text, {.eci = eci}).status;
        const bool noSet = reason.rfind("ECI ", 0) == 0;
        EXPECT_TRUE(refused.Is(noSet ? InputError::NoCharset : InputError::NotConvertible)) << eci << " " << text;
        EXPECT_EQ(refused.reason(), reason);
    }
    for (int32_t eci : {899, 100, 33}) {
        const Prepared prepared = Prepare("AB€", {.binary = true, .eci = eci});
        ASSERT_TRUE(prepared.status) << eci;
        EXPECT_EQ(prepared.bytes, "AB€");
        EXPECT_EQ(prepared.meaning.eci, eci);
    }
}

// A Macro 05/06 message: the header and trailer become the one codeword
// 236 or 237, which the reader expands again.
std::string Macro(const char* number, const std::string& body) {
    return std::string("[)>\x1e") + number + "\x1d" + body + "\x1e\x04";
}

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
            // Base 256 randomises each byte by its position, which the macro moves.
            EXPECT_EQ(testing::ReadSymbol(macro.value()), data) << number << " " << SchemeName(scheme);
            EXPECT_EQ(testing::ReadSymbol(literal.value()), data);
        }
    // Smaller by a size, and a rectangle that holds the message only so.
    EXPECT_EQ(EncodeSymbol(Macro("06", body), {}).value().rows(), 20);
    EXPECT_EQ(EncodeSymbol(Macro("06", body), {.detectMacro = false}).value().rows(), 22);
    const std::string longer = Macro("06", body + "ABCDEFGHIJKLMNOPQRSTUVWXABCDEF");
    EXPECT_TRUE(EncodeSymbol(longer, {.size = kSmallestRectangle}));
    EXPECT_TRUE(EncodeSymbol(longer, {.size = kSmallestRectangle, .detectMacro = false}).Is(EncodeError::DoesNotFit));

    // Under an ECI the reader puts the header before the converted text.
    const Result<Symbol> eci = EncodeSymbol(Macro("05", "K\xc3\xb6ln"), {.meaning = DataMeaning{false, true, 26}});
    ASSERT_TRUE(eci);
    EXPECT_EQ(eci.value().codewords()[0], 236);
    EXPECT_EQ(testing::ReadSymbolFully(eci.value())->text, Macro("05", "Köln"));
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
        const std::optional<testing::Reading> reading = testing::ReadSymbolFully(result.value());
        ASSERT_TRUE(reading);
        EXPECT_TRUE(reading->readerInit);
        EXPECT_EQ(reading->bytes, "SETUP 1234");
    }
    EXPECT_FALSE(testing::ReadSymbolFully(EncodeSymbol("SETUP 1234", {}).value())->readerInit);
    EXPECT_EQ(EncodeSymbol("01", {.meaning = {.gs1 = true, .readerInit = true}}).reason(),
              "a reader programming symbol cannot carry GS1 data");  // with Structured Append: its own test
}

}  // namespace
}  // namespace glyphrun
