#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "codewords.h"

namespace glyphrun {
namespace {

using testing::Codewords;
using testing::EncodeBytes;

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
