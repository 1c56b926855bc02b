// A message over several symbols, as a reader we did not write sees it:
// each symbol's place, count and file identification, and the whole input.
#include <gtest/gtest.h>

#include <string>

#include "glyphrun/gs1.h"
#include "glyphrun/symbol.h"
#include "reader.h"

namespace glyphrun {
namespace {

std::span<const uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
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

std::string LongText(size_t length) {
    std::string text;
    for (int i = 0; text.size() < length; ++i)
        text += "LOT " + std::to_string(i * 7919 % 10007) + " batch/ACME Corp. x";
    return text.substr(0, length);
}

TEST(StructuredAppend, AutoTakesTheFewestSymbolsAndReadsBack) {
    const std::string input = LongText(5000);
    const StructuredAppendOptions append{0, 17, 200};
    const EncodeOptions largest{.size = 23};  // 144 x 144
    ASSERT_FALSE(Encode(BytesOf(input), largest));
    const Result<std::vector<Symbol>> result = EncodeStructuredAppend(BytesOf(input), largest, append);
    ASSERT_TRUE(result) << result.reason();
    ASSERT_GE(result.value().size(), 2u);
    for (const Symbol& symbol : result.value()) EXPECT_EQ(symbol.rows(), 144);
    EXPECT_EQ(ReadMessage(result, append), input);
    const auto fewer = static_cast<int32_t>(result.value().size()) - 1;
    EXPECT_EQ(EncodeStructuredAppend(BytesOf(input), largest, {fewer, 17, 200}).reason(),
              "the input needs more than " + std::to_string(fewer) + " symbols of the requested size 144x144");
    // A message that one symbol holds is that symbol alone, even where the
    // Structured Append codewords would not fit beside it.
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
    EXPECT_EQ(EncodeStructuredAppend(BytesOf(binary), {.size = kSmallestRectangle}, {0, 9, 9}).reason(),
              "the input needs more than 16 symbols of the largest rectangular symbol (16x48)");
    const StructuredAppendOptions append{3, 9, 9};
    const Result<std::vector<Symbol>> result = EncodeStructuredAppend(BytesOf(binary), {}, append);
    ASSERT_TRUE(result) << result.reason();
    EXPECT_EQ(ReadMessage(result, append), binary);
}

// An ECI in every symbol, no UTF-8 character cut in two; GS1's FNC1 only in
// the first, and no separator where a reader would take it for a leading FNC1.
TEST(StructuredAppend, EciInEverySymbolAndGs1InTheFirst) {
    const std::string utf8 = "Grüße aus Köln, Καλημέρα κόσμε, 日本語のテキスト, 😀 emoji 🚀";
    const StructuredAppendOptions append{6, 3, 4};
    const Result<std::vector<Symbol>> text =
        EncodeStructuredAppend(BytesOf(utf8), {.meaning = DataMeaning{false, true, 26}}, append);
    ASSERT_TRUE(text) << text.reason();
    EXPECT_EQ(ReadMessage(text, append, true), utf8);

    const Result<std::string> gs1 =
        ParseGs1("(01)09506000134352(10)A1(21)B2(22)C3(90)D4(91)E5(92)F6(93)G7(94)H8(95)I9");
    ASSERT_TRUE(gs1);
    const StructuredAppendOptions parts{8, 5, 6};
    const Result<std::vector<Symbol>> result =
        EncodeStructuredAppend(BytesOf(gs1.value()), {.meaning = DataMeaning{true, false, 0}}, parts);
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
    // The four Structured Append codewords leave no room in a 10 x 10 symbol.
    EXPECT_EQ(reason("ABC", {.size = 0}, {2, 1, 1}),
              "the input needs 5 data codewords but the requested size 10x10 holds 3");
    EXPECT_EQ(reason("ABCDEFGHIJKLMNOPQRSTUVWXYZ", {.size = 1}, {2, 1, 1}),
              "the input needs more than 2 symbols of the requested size 12x12");
}

}  // namespace
}  // namespace glyphrun
