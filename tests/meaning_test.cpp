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
    const Gs1Data data = ParseGs1("(01)09506000134352(10)ABCDEFGHIJKLMNOP(21)abcdefghijklmnop");
    ASSERT_TRUE(data.ok);
    for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal, EncodeScheme::Ascii,
                                EncodeScheme::C40, EncodeScheme::Text}) {
        const Encoded e = Encode(data.elementString, kGs1, scheme);
        ASSERT_TRUE(e.reading) << static_cast<int>(scheme) << " " << e.failure;
        EXPECT_EQ(e.codewords.front(), 232) << static_cast<int>(scheme);
        EXPECT_EQ(e.reading->symbologyIdentifier, "]d2");
        EXPECT_EQ(e.reading->bytes, data.elementString);  // the separator read back as GS
    }
    // C40 and Text carry FNC1 as Shift 2, 27: the values 5 4 | 1 27 | 6 5 make two triples.
    EXPECT_EQ(Encode("10\x1d" "21", kGs1, EncodeScheme::C40).codewords,
              (std::vector<int>{232, 230, 31, 226, 169, 182, 254}));
    // Without the GS1 meaning the same byte is a plain GS character.
    const Encoded plain = Encode("10\x1d" "21", DataMeaning{});
    ASSERT_TRUE(plain.reading);
    EXPECT_EQ(plain.reading->symbologyIdentifier, "]d1");
    EXPECT_EQ(plain.codewords, (std::vector<int>{140, 30, 151}));
}

TEST(Gs1Symbol, SchemesWithoutFnc1FailWithAMessage) {
    for (EncodeScheme scheme : {EncodeScheme::X12, EncodeScheme::Edifact, EncodeScheme::Base256}) {
        const Encoded e = Encode("10ABC\x1d" "21XYZ", kGs1, scheme);
        EXPECT_TRUE(e.codewords.empty());
        EXPECT_NE(e.failure.find("cannot encode FNC1 (the GS1 separator at position 6)"), std::string::npos)
            << e.failure;
    }
    EXPECT_EQ(Encode("A", DataMeaning{true, true, 26}).failure, "GS1 data cannot carry an ECI designator");
    // A second FNC1 right after the first would make the reader take other data than GS1.
    EXPECT_EQ(Encode("\x1d" "10A", kGs1).failure,
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

}  // namespace
}  // namespace glyphrun
