// The automatic choice and the minimal encodation.
#include <gtest/gtest.h>

#include <random>

#include "codewords.h"
#include "reader.h"

namespace glyphrun {
namespace {

using testing::Codewords;
using testing::EncodeAndRead;
using testing::EncodeBytes;
using V = std::vector<int>;

V Auto(const std::string& s) { return Codewords(s, EncodeScheme::AutoBest); }

TEST(AutoBest, WorkedExamples) {
    EXPECT_EQ(Auto("123456"), (V{142, 164, 186}));
    EXPECT_EQ(Auto("ABCDEFGHIJ"), (V{230, 89, 233, 109, 36, 128, 95, 75}));
    // C40 to the end: the channel that reached the end first stays a
    // candidate, one codeword shorter than leaving C40 for "876KZ".
    EXPECT_EQ(Auto("8XEMM4QLA48CLORW876KZ"),
              (V{230, 80, 219, 166, 153, 191, 119, 51, 241, 160, 192, 226, 236, 66, 104, 254}));
    EXPECT_EQ(Auto("BD]^AECAAD"), (V{67, 69, 94, 95, 66, 70, 68, 66, 66, 69}));  // ties go to ASCII
    EXPECT_EQ(Auto("[A]B^C[D]E^F"), (V{240, 108, 23, 66, 120, 54, 196, 116, 87, 134}));
    EXPECT_EQ(Auto("^^^^^^^^"), (V{240, 121, 231, 158, 121, 231, 158}));
    for (const std::string s : {"8XEMM4QLA48CLORW876KZ", "[A]B^C[D]E^F", "hello world 123", "ABC\xe9\xe9" "def"})
        EXPECT_EQ(EncodeAndRead(s, EncodeScheme::AutoBest, kSmallestSquare), s);
}

TEST(AutoBest, NearFullCapacityEncodesOrFailsCleanly) {
    const std::string fits(2335, 'A');
    EXPECT_TRUE(EncodeAndRead(fits, EncodeScheme::AutoBest, kSmallestSquare) == fits);
    EXPECT_EQ(EncodeBytes(std::string(2334, 'A'), EncodeScheme::AutoBest).size, 23);
    for (int n : {2336, 2400, 5000}) {
        const auto e = EncodeBytes(std::string(n, 'A'), EncodeScheme::AutoBest);
        EXPECT_TRUE(e.codewords.empty());
        EXPECT_EQ(e.failure.error, EncodeError::TooLong) << n;
    }
    EXPECT_EQ(EncodeBytes("", EncodeScheme::AutoBest).failure.error, EncodeError::EmptyInput);
}

// One scheme throughout can fit where the character-by-character choice,
// which keeps only the cheapest way into each scheme, does not.
TEST(AutoBest, NeverFailsWhereASingleSchemeFits) {
    EXPECT_EQ(EncodeBytes("11 AAAAA**", EncodeScheme::AutoBest, 2).codewords.size(), 8u);  // as X12 throughout
    EXPECT_EQ(EncodeBytes("AAAAAAAAAA<&=A", EncodeScheme::AutoBest, 3).codewords.size(), 12u);
    EXPECT_EQ(EncodeAndRead("11 AAAAA**", EncodeScheme::AutoBest, 2), "11 AAAAA**");
    // Failures name what the request offered.
    EXPECT_EQ(DescribeEncodeFailure(EncodeBytes(std::string(2400, 'A'), EncodeScheme::AutoBest, kSmallestRectangle).failure),
              "the input needs more than 1558 data codewords but the largest rectangular symbol (16x48) holds 49");
}

// Long inputs with passes whose steps the choice cannot work out ahead and
// must try: a C40 read-ahead that runs to the end of the data, a Base 256
// segment past 250 bytes, the largest symbol's capacity. Both automatic
// encodations read back, and the minimal one is never the longer.
TEST(AutoBest, LongInputsWithTriedPassesReadBack) {
    std::string readAhead = "AA";
    while (readAhead.size() < 700) readAhead += "aA";  // the C40 values never end on a triple boundary
    std::string segment(300, '\xb7');
    segment += "then some text, 12345678 and MORE TEXT";
    std::mt19937 rng(11);
    std::string nearFull;
    while (nearFull.size() < 1800) {
        const char* const runs[] = {"0123456789", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "!\"#$%&'()+,-./:;<=?@", "ab\xe9\xb7"};
        const std::string alphabet = runs[rng() % 4];
        for (int n = 1 + static_cast<int>(rng() % 12); n > 0; --n) nearFull += alphabet[rng() % alphabet.size()];
    }
    nearFull.resize(1800);  // 1550 codewords of the largest symbol's 1558
    for (const std::string& input : {readAhead, segment, nearFull}) {
        const auto best = EncodeBytes(input, EncodeScheme::AutoBest);
        const auto minimal = EncodeBytes(input, EncodeScheme::AutoMinimal);
        ASSERT_FALSE(best.codewords.empty()) << input.size();
        EXPECT_LE(minimal.codewords.size(), best.codewords.size()) << input.size();
        EXPECT_TRUE(EncodeAndRead(input, EncodeScheme::AutoBest, kSmallestSquare) == input) << input.size();
        EXPECT_TRUE(EncodeAndRead(input, EncodeScheme::AutoMinimal, kSmallestSquare) == input) << input.size();
    }
}

TEST(AutoMinimal, ReachesTheFullCapacities) {
    for (const std::string& s : {std::string(3116, '7'), std::string(2335, 'Q'), std::string(1556, '\xab')}) {
        const auto e = EncodeBytes(s, EncodeScheme::AutoMinimal);
        EXPECT_EQ(e.codewords.size(), 1558u) << s.size();
        EXPECT_TRUE(EncodeAndRead(s, EncodeScheme::AutoMinimal, kSmallestSquare) == s) << s.size();
    }
    for (const std::string& s : {std::string(3117, '7'), std::string(2337, 'Q'), std::string(1557, '\xab')})
        EXPECT_EQ(EncodeBytes(s, EncodeScheme::AutoMinimal).failure.error, EncodeError::TooLong) << s.size();
    EXPECT_EQ(EncodeBytes(std::string(100, 'A'), EncodeScheme::AutoMinimal, kSmallestRectangle).failure.error,
              EncodeError::DoesNotFit);
    EXPECT_EQ(EncodeBytes("A", EncodeScheme::AutoFast).failure.error, EncodeError::Unsupported);
    uint8_t small[4];
    int32_t size = kSmallestSquare;
    EncodeFailure failure{};
    EXPECT_EQ(EncodeCodewords(small, 4, reinterpret_cast<const uint8_t*>("ABCDEFGHIJ"), 10, EncodeScheme::AutoMinimal,
                              size, &failure), 0);
    EXPECT_EQ(failure.error, EncodeError::OutputTooSmall);
    EXPECT_EQ(size, -1);
}

// Random text from mixed alphabets: the minimal encodation decodes to the
// input and never takes more codewords than the automatic choice or any
// single scheme, for square and rectangular sizes (with the DMRE sizes and
// without) and fixed sizes of all 48.
TEST(AutoMinimal, NeverLongerThanAnyOtherEncodation) {
    const std::string alphabets[] = {
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz", "0123456789", " *>\r", "!\"#$%&'()+,-./:;<=?@[\\]^",
        "\x80\xa9\xc1\xe9\xff"};
    std::mt19937 rng(2026);
    for (int round = 0; round < 600; ++round) {
        std::string input;
        const int length = 1 + static_cast<int>(rng() % (round % 10 == 0 ? 300 : 40));
        // Runs from a few alphabets, so that each scheme has something to win.
        while (static_cast<int>(input.size()) < length) {
            const std::string& alphabet = alphabets[rng() % 6];
            for (int run = 1 + rng() % 8; run > 0 && static_cast<int>(input.size()) < length; --run)
                input += alphabet[rng() % alphabet.size()];
        }
        constexpr int32_t kFamilies[] = {kSmallestSquare, kSmallestRectangle, kSmallestRectangleOrDmre};
        const int32_t request = round % 4 < 3 ? kFamilies[round % 4] : static_cast<int32_t>(rng() % kAllSymbolSizeCount);
        const auto minimal = EncodeBytes(input, EncodeScheme::AutoMinimal, request);
        for (int scheme = 0; scheme <= 6; ++scheme) {
            const auto other = EncodeBytes(input, static_cast<EncodeScheme>(scheme), request);
            if (other.codewords.empty()) continue;
            ASSERT_FALSE(minimal.codewords.empty()) << "scheme " << scheme << " fits " << input.size() << " bytes";
            ASSERT_LE(minimal.codewords.size(), other.codewords.size()) << "scheme " << scheme << ": " << input;
            ASSERT_LE(QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, minimal.size),
                      QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, other.size));
        }
        if (!minimal.codewords.empty()) {
            ASSERT_EQ(EncodeAndRead(input, EncodeScheme::AutoMinimal, request), input) << "request " << request;
        }
    }
}

}  // namespace
}  // namespace glyphrun
