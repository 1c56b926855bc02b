// A failure of Encode comes back as a value with its reason, and a symbol
// tells the schemes its codewords are in.
#include <gtest/gtest.h>

#include <string>

#include "glyphrun/ecc200_stages.h"
#include "glyphrun/symbol.h"

namespace glyphrun {
namespace {

std::span<const uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(Symbol, FailuresComeBackWithTheirReason) {
    const std::string label = "LABEL-000001 LOT 2026-03-14 QA";
    const Result<Symbol> tooLong = Encode(BytesOf(label), EncodeOptions{EncodeScheme::Ascii, 0});
    EXPECT_TRUE(tooLong.Is(EncodeError::DoesNotFit));
    EXPECT_EQ(tooLong.reason(), "the input needs 23 data codewords but the requested size 10x10 holds 3");

    EXPECT_TRUE(Encode({}).Is(EncodeError::EmptyInput));
    EXPECT_TRUE(Encode(BytesOf(label), EncodeOptions{EncodeScheme::AutoMinimal, 48}).Is(EncodeError::InvalidSize));
}

// Each forced scheme is what the codewords say, and the runs of an
// automatic choice add up to the data codewords.
TEST(Symbol, SchemeRunsFollowTheCodewords) {
    const std::pair<EncodeScheme, std::string> forced[] = {
        {EncodeScheme::Ascii, "Label 42"},         {EncodeScheme::C40, "ABCDEFGHIJKL"},
        {EncodeScheme::Text, "abcdefghijkl"},      {EncodeScheme::X12, "ABC*DEF>GHI"},
        {EncodeScheme::Edifact, "ABCD-EFGH/IJKL"}, {EncodeScheme::Base256, std::string(300, '\xe9')},
    };
    for (const auto& [scheme, text] : forced) {
        const Result<Symbol> result = Encode(BytesOf(text), EncodeOptions{scheme});
        ASSERT_TRUE(result) << SchemeName(scheme) << ": " << result.reason();
        const std::vector<SchemeRun> runs = SchemeRunsOf(result.value());
        ASSERT_FALSE(runs.empty());
        EXPECT_EQ(runs.front().scheme, scheme) << SchemeName(scheme);
        EXPECT_GE(runs.front().codewords, result.value().dataCodewords() - 2) << SchemeName(scheme);
    }
    const std::string mixed[] = {"LABEL-000001 LOT 2026-03-14 QA", "abc ABCDEFGHIJKLMNOP 1234567890 \xe9\xe9 *>*>*>",
                                 std::string(1556, 'a')};
    for (const std::string& text : mixed) {
        const Result<Symbol> result = Encode(BytesOf(text));
        ASSERT_TRUE(result);
        int32_t sum = 0;
        for (const SchemeRun& run : SchemeRunsOf(result.value())) sum += run.codewords;
        EXPECT_EQ(sum, result.value().dataCodewords()) << text.substr(0, 20);
    }
}

}  // namespace
}  // namespace glyphrun
