// C40, Text, X12, EDIFACT and Base 256 at codeword level.
#include <gtest/gtest.h>

#include "codewords.h"
#include "reader.h"

namespace glyphrun {
namespace {

using testing::Codewords;
using testing::EncodeAndRead;
using testing::EncodeBytes;
using V = std::vector<int>;

TEST(Triplets, WorkedExamples) {
    const auto c40 = [](const std::string& s) { return Codewords(s, EncodeScheme::C40); };
    EXPECT_EQ(c40("AIMAIMAIM"), (V{230, 91, 11, 91, 11, 91, 11, 254}));
    EXPECT_EQ(c40("ABC"), (V{230, 89, 233}));
    EXPECT_EQ(c40("AB"), (V{230, 89, 217}));
    EXPECT_EQ(c40("A"), (V{230, 254, 66}));
    EXPECT_EQ(c40("ABCD"), (V{230, 89, 233, 254, 69}));
    EXPECT_EQ(c40("AB!"), (V{230, 89, 218, 254, 34}));
    EXPECT_EQ(c40("\xc1"), (V{230, 10, 255}));
    EXPECT_EQ(c40("\xe9"
                  "ABC"),
              (V{230, 10, 243, 58, 128, 254, 68}));
    EXPECT_EQ(Codewords("ab", EncodeScheme::Text), (V{239, 89, 217}));
    EXPECT_EQ(Codewords("AB", EncodeScheme::Text), (V{239, 12, 171, 254, 67}));  // Shift 3 for each letter
    EXPECT_EQ(Codewords("ABC", EncodeScheme::X12), (V{238, 89, 233}));
    const auto failed = EncodeBytes("ABa", EncodeScheme::X12);
    EXPECT_EQ(failed.failure.error, EncodeError::NotEncodable);
    EXPECT_EQ(failed.failure.position, 3);
    EXPECT_EQ(DescribeEncodeFailure(failed.failure), "X12 cannot encode byte 0x61 at position 3");
}

TEST(Edifact, WorkedExamples) {
    const auto edifact = [](const std::string& s) { return Codewords(s, EncodeScheme::Edifact); };
    EXPECT_EQ(edifact("ABCD"), (V{240, 4, 32, 196}));
    EXPECT_EQ(edifact("ABCDE"), (V{240, 4, 32, 196, 70}));
    EXPECT_EQ(edifact("ABD15"), (V{240, 4, 33, 49, 54}));
    EXPECT_EQ(edifact("ABC"), (V{240, 4, 32, 223}));
    // Right after the latch one or two codewords are left in the symbol, which
    // a reader takes as ASCII: the data follows there in ASCII.
    EXPECT_EQ(edifact("A"), (V{240, 66}));
    EXPECT_EQ(edifact("AB"), (V{240, 66, 67}));
    EXPECT_EQ(EncodeBytes("Ab", EncodeScheme::Edifact).failure.position, 2);
    EXPECT_EQ(edifact("ABCDEFGH"),
              (V{240, 4, 32, 196, 20, 97, 200}));  // a full group needs no unlatch when one codeword is left
}

TEST(Base256, LengthFieldAndRandomising) {
    EXPECT_EQ(Codewords("AB", EncodeScheme::Base256), (V{231, 46, 2, 153}));
    for (int n : {249, 250, 251, 1000}) {
        const std::string bytes(n, '\x80');
        const V codewords = Codewords(bytes, EncodeScheme::Base256);
        ASSERT_EQ(static_cast<int>(codewords.size()), n + (n < 250 ? 2 : 3)) << n;
        const int field = Unrandomize255(codewords[1], 2);
        EXPECT_EQ(n < 250 ? field : (field - 249) * 250 + Unrandomize255(codewords[2], 3), n);
        // Every data codeword, moved or not, carries its byte for its position.
        for (size_t i = codewords.size() - n; i < codewords.size(); ++i)
            ASSERT_EQ(Unrandomize255(codewords[i], static_cast<int>(i) + 1), 0x80) << n << " at " << i;
    }
}

// The end of the data is shaped for the symbol that will hold it: in a
// larger fixed size or a rectangle the pads must not read as scheme data.
TEST(EndOfData, MeasuredAgainstTheRequestedSize) {
    struct Case {
        std::string input;
        EncodeScheme scheme;
        int32_t size;
    };
    const Case cases[] = {
        {"ABC", EncodeScheme::C40, 1},
        {"ABCDEFGHIJ", EncodeScheme::AutoBest, kSmallestRectangle},
        {"ABCD", EncodeScheme::Edifact, 2},
        {"ABCDEFGHIJ", EncodeScheme::C40, kSmallestRectangle},
        {"abcdefghij", EncodeScheme::Text, 27},
        {"ABCDEFGHIJ", EncodeScheme::X12, 3},
        {"ABCDEFGH", EncodeScheme::Edifact, 26},
        {"ABCDE", EncodeScheme::Edifact, kSmallestRectangle},
        {"AB", EncodeScheme::X12, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EncodeAndRead(c.input, c.scheme, c.size), c.input) << c.input << " size " << c.size;
    // A fixed size that cannot hold the data fails rather than growing.
    EXPECT_EQ(EncodeBytes("ABCDEFGHIJ", EncodeScheme::C40, 0).failure.error, EncodeError::DoesNotFit);
}

// Tails whose last byte takes two ASCII codewords, and X12's lack of a pad.
// A forced scheme fills a symbol exactly where the standard lets it: a
// complete EDIFACT group needs no unlatch at the end of the symbol, and a
// Base 256 segment that runs to the end has the length 0.
TEST(EndOfData, ExactFillsReachFullCapacity) {
    EXPECT_EQ(Codewords("ABCDEFGHIJKL", EncodeScheme::Edifact, 25).size(), 10u);
    EXPECT_EQ(EncodeAndRead("ABCDEFGHIJKL", EncodeScheme::Edifact, 25), "ABCDEFGHIJKL");
    for (const std::string& full : {std::string(2076, '^'), std::string(1556, '\xc8')}) {
        const EncodeScheme scheme = full[0] == '^' ? EncodeScheme::Edifact : EncodeScheme::Base256;
        EXPECT_EQ(Codewords(full, scheme).size(), 1558u);
        EXPECT_TRUE(EncodeAndRead(full, scheme, kSmallestSquare) == full) << SchemeName(scheme);
    }
    const std::string bytes(278, '\xc8');
    EXPECT_TRUE(EncodeAndRead(bytes, EncodeScheme::Base256, 15) == bytes);  // 280 codewords in 64 x 64
    EXPECT_EQ(EncodeBytes(std::string(1557, '\xc8'), EncodeScheme::Base256).failure.error, EncodeError::TooLong);
}

TEST(EndOfData, CountsCodewordsNotCharacters) {
    for (const std::string& input : {std::string("AAAAAAAA\xc1"), std::string("AAAAA\xc1")})
        EXPECT_EQ(EncodeAndRead(input, EncodeScheme::C40, kSmallestSquare), input);
    EXPECT_EQ(EncodeAndRead("aaaaaaaa\xe1", EncodeScheme::Text, kSmallestSquare), "aaaaaaaa\xe1");
    EXPECT_EQ(EncodeBytes("ABCD\xc8", EncodeScheme::Edifact).failure.error, EncodeError::NotEncodable);
    EXPECT_EQ(Codewords("AB", EncodeScheme::X12), (V{238, 254, 66, 67}));
    EXPECT_EQ(EncodeAndRead("AB", EncodeScheme::X12, kSmallestSquare), "AB");
}

}  // namespace
}  // namespace glyphrun
