// Encodation at codeword level: ASCII, C40, Text, X12, EDIFACT, Base 256 and the changes between them.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "codewords.h"
#include "reader.h"

namespace glyphrun {
namespace {

using testing::Codewords;
using testing::EncodeAndRead;
using testing::EncodeBytes;
using V = std::vector<int>;

constexpr EncodeScheme C40 = EncodeScheme::C40, Text = EncodeScheme::Text, X12 = EncodeScheme::X12,
                       Edifact = EncodeScheme::Edifact;

TEST(Schemes, WorkedExamples) {
    const std::tuple<EncodeScheme, std::string, V> cases[] = {
        {C40, "AIMAIMAIM", {230, 91, 11, 91, 11, 91, 11, 254}},
        {C40, "AB", {230, 89, 217}},
        {C40, "A", {230, 254, 66}},
        {C40, "ABCD", {230, 89, 233, 254, 69}},
        {C40, "AB!", {230, 89, 218, 254, 34}},
        {C40, "\xc1", {230, 10, 255}},
        {C40,
         "\xe9"
         "ABC",
         {230, 10, 243, 58, 128, 254, 68}},
        {Text, "ab", {239, 89, 217}},
        {Text, "AB", {239, 12, 171, 254, 67}},  // Shift 3 for each letter
        {X12, "ABC", {238, 89, 233}},
        {X12, "AB", {238, 254, 66, 67}},  // X12 has no pad: the rest is ASCII
        {Edifact, "ABCD", {240, 4, 32, 196}},
        {Edifact, "ABCDE", {240, 4, 32, 196, 70}},
        {Edifact, "ABD15", {240, 4, 33, 49, 54}},
        {Edifact, "ABC", {240, 4, 32, 223}},
        // One or two codewords left after the latch are read as ASCII, so the data goes there in ASCII.
        {Edifact, "AB", {240, 66, 67}},
        {Edifact, "ABCDEFGH", {240, 4, 32, 196, 20, 97, 200}},  // no unlatch with one codeword left
    };
    for (const auto& [scheme, input, codewords] : cases)
        EXPECT_EQ(Codewords(input, scheme), codewords) << SchemeName(scheme) << " " << input;
    const auto failed = EncodeBytes("ABa", X12);
    EXPECT_EQ(failed.failure.error, EncodeError::NotEncodable);
    EXPECT_EQ(DescribeEncodeFailure(failed.failure), "X12 cannot encode byte 0x61 at position 3");
    EXPECT_EQ(EncodeBytes("Ab", Edifact).failure.position, 2);
    EXPECT_EQ(EncodeBytes("ABCD\xc8", Edifact).failure.error, EncodeError::NotEncodable);
}

TEST(Base256, LengthFieldAndRandomising) {
    EXPECT_EQ(Codewords("AB", EncodeScheme::Base256), (V{231, 46, 2, 153}));
    for (int n : {249, 250, 251, 1000}) {
        const V codewords = Codewords(std::string(n, '\x80'), EncodeScheme::Base256);
        ASSERT_EQ(static_cast<int>(codewords.size()), n + (n < 250 ? 2 : 3)) << n;
        const int field = Unrandomize255(codewords[1], 2);
        EXPECT_EQ(n < 250 ? field : (field - 249) * 250 + Unrandomize255(codewords[2], 3), n);
        for (size_t i = codewords.size() - n; i < codewords.size(); ++i)
            ASSERT_EQ(Unrandomize255(codewords[i], static_cast<int>(i) + 1), 0x80) << n << " at " << i;
    }
}

// The end of the data is shaped for the symbol that will hold it (a larger
// fixed size, a rectangle) and counted in codewords, not characters.
TEST(EndOfData, ReadsBackInTheRequestedSize) {
    const std::tuple<std::string, EncodeScheme, int32_t> cases[] = {
        {"ABC", C40, 1},
        {"ABCDEFGHIJ", EncodeScheme::AutoBest, kSmallestRectangle},
        {"ABCD", Edifact, 2},
        {"ABCDEFGHIJ", C40, kSmallestRectangle},
        {"abcdefghij", Text, 27},
        {"ABCDEFGHIJ", X12, 3},
        {"ABCDEFGH", Edifact, 26},
        {"ABCDE", Edifact, kSmallestRectangle},
        {"AB", X12, 1},
        {"AB", X12, kSmallestSquare},
        {"AAAAAAAA\xc1", C40, kSmallestSquare},
        {"AAAAA\xc1", C40, kSmallestSquare},
        {"aaaaaaaa\xe1", Text, kSmallestSquare},
    };
    for (const auto& [input, scheme, size] : cases)
        EXPECT_EQ(EncodeAndRead(input, scheme, size), input) << input << " size " << size;
    // A fixed size that cannot hold the data fails rather than growing.
    EXPECT_EQ(EncodeBytes("ABCDEFGHIJ", C40, 0).failure.error, EncodeError::DoesNotFit);
}

// A complete EDIFACT group needs no unlatch at the end of the symbol, and a
// Base 256 segment that runs to the end has the length 0.
TEST(EndOfData, ExactFillsReachFullCapacity) {
    EXPECT_EQ(Codewords("ABCDEFGHIJKL", Edifact, 25).size(), 10u);
    EXPECT_EQ(EncodeAndRead("ABCDEFGHIJKL", Edifact, 25), "ABCDEFGHIJKL");
    for (const std::string& full : {std::string(2076, '^'), std::string(1556, '\xc8')}) {
        const EncodeScheme scheme = full[0] == '^' ? Edifact : EncodeScheme::Base256;
        EXPECT_EQ(Codewords(full, scheme).size(), 1558u);
        EXPECT_TRUE(EncodeAndRead(full, scheme, kSmallestSquare) == full) << SchemeName(scheme);
    }
    const std::string bytes(278, '\xc8');
    EXPECT_TRUE(EncodeAndRead(bytes, EncodeScheme::Base256, 15) == bytes);  // 280 codewords in 64 x 64
    EXPECT_EQ(EncodeBytes(std::string(1557, '\xc8'), EncodeScheme::Base256).failure.error, EncodeError::TooLong);
}

// The digit after an Upper Shift's byte does not pair with it ("\2612": 0xB1, '2').
TEST(Ascii, DigitPairsAndUpperShift) {
    const std::pair<std::string, std::vector<int>> cases[] = {
        {"123456", {142, 164, 186}}, {"A1B", {66, 50, 67}},
        {"12A3", {142, 66, 52}},     {"123", {142, 52}},
        {"\xc8", {235, 73}},         {"\x80", {235, 1}},
        {"\2612", {235, 50, 51}},    {std::string("\0\xff", 2), {1, 235, 128}}};
    for (const auto& [input, codewords] : cases) EXPECT_EQ(Codewords(input, EncodeScheme::Ascii), codewords) << input;
}

TEST(Ascii, FirstDigitAfterAChangeIntoAsciiNeverPairsBackwards) {
    EncodationState state;
    const std::string input = "5";
    InitEncodationState(state, reinterpret_cast<const uint8_t*>(input.data()), 1);
    // Pretend a Base 256 segment ended in a codeword that looks like a digit.
    ChangeScheme(state, EncodeScheme::Base256, false);
    state.codewords[1] = '4' + 1;
    EncodeStep(state, EncodeScheme::Ascii);
    ASSERT_EQ(state.error, EncodationError::None);
    EXPECT_EQ(state.written / 12, 3);
    EXPECT_EQ(state.codewords[2], '5' + 1);
}

TEST(ChangeScheme, TripletChangeOffBoundaryFailsAndWritesNothing) {
    EncodationState state;
    InitEncodationState(state, nullptr, 0);
    ChangeScheme(state, EncodeScheme::C40, false);
    EXPECT_EQ(state.codewords[0], kLatchC40);
    EXPECT_EQ(state.schemeStart, 0);
    state.consumed = 20;  // the latch and one value: inside a triple
    ChangeScheme(state, EncodeScheme::Ascii, false);
    EXPECT_EQ(state.error, EncodationError::NotAtBoundary);
    EXPECT_EQ(state.scheme, EncodeScheme::C40);
    EXPECT_EQ(state.written, 12);
}

// Past the largest symbol, also by half an Upper Shift pair: too long, nothing written.
TEST(Encodation, OutputPastTheLargestSymbolFailsAsTooLong) {
    EXPECT_EQ(Codewords(std::string(1558, 'A'), EncodeScheme::Ascii).size(), 1558u);
    for (const std::string& input :
         {std::string(1559, 'A'), std::string(1557, 'A') + "\xc8", std::string(100000, 'x')}) {
        const auto e = EncodeBytes(input, EncodeScheme::Ascii);
        EXPECT_TRUE(e.codewords.empty());
        EXPECT_EQ(e.failure.error, EncodeError::TooLong) << input.size();
    }
}

TEST(Encodation, BadArgumentsFailWithoutLooping) {
    const uint8_t byte = 'A';
    uint8_t out[8];
    EncodeFailure failure{};
    const std::tuple<const uint8_t*, int32_t, int, EncodeError> calls[] = {
        {&byte, -1, 0, EncodeError::InvalidArgument}, {nullptr, 3, 0, EncodeError::InvalidArgument},
        {&byte, 0, 0, EncodeError::EmptyInput},       {&byte, 1, -1, EncodeError::UnknownScheme},
        {&byte, 1, 6, EncodeError::UnknownScheme},    {&byte, 1, 1000, EncodeError::UnknownScheme}};
    for (const auto& [input, length, scheme, error] : calls) {
        EXPECT_EQ(
            EncodeSingleScheme(out, 8, input, length, static_cast<EncodeScheme>(scheme), kSmallestSquare, &failure), 0);
        EXPECT_EQ(failure.error, error) << length << " " << scheme;
    }
    EncodationState state;
    InitEncodationState(state, &byte, 1);
    EncodeStep(state, static_cast<EncodeScheme>(42));
    EXPECT_EQ(state.error, EncodationError::UnknownScheme);
    for (auto [input, length] : {std::pair<const uint8_t*, int32_t>{nullptr, 5}, {&byte, -3}}) {
        InitEncodationState(state, input, length);
        EXPECT_EQ(state.error, EncodationError::InvalidInput);
        EncodeStep(state, EncodeScheme::Ascii);  // reads nothing
        EXPECT_EQ(state.written, 0);
    }
    // Output that does not fit the caller's buffer is refused, not overrun.
    EXPECT_EQ(EncodeSingleScheme(out, 2, reinterpret_cast<const uint8_t*>("ABC"), 3, EncodeScheme::Ascii,
                                 kSmallestSquare, &failure),
              0);
    EXPECT_EQ(failure.error, EncodeError::OutputTooSmall);
}

}  // namespace
}  // namespace glyphrun
