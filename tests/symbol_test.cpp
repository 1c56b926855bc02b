// The symbol that Encode makes is the one the encoder records describe,
// module for module, and a failure comes back as a value with its reason.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "glyphrun/ecc200_stages.h"
#include "glyphrun/symbol.h"

namespace glyphrun {
namespace {

std::span<const uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// Every size, module for module. (That every size reads is roundtrip_test's.)
TEST(Symbol, EverySizeAgreesWithTheRecords) {
    std::mt19937 rng(11);
    for (int size = 0; size < kAllSymbolSizeCount; ++size) {
        SCOPED_TRACE(size);
        const SymbolSize& table = SymbolSizes()[size];
        std::string text(table.dataCodewords - 1, '\0');
        for (char& c : text) c = static_cast<char>('A' + rng() % 26);

        const Result<Symbol> result = Encode(BytesOf(text), EncodeOptions{EncodeScheme::Ascii, size});
        ASSERT_TRUE(result) << result.reason();
        const Symbol& symbol = result.value();
        EXPECT_EQ(symbol.sizeIndex(), size);
        EXPECT_EQ(symbol.rows(), table.rows);
        EXPECT_EQ(symbol.cols(), table.cols);
        EXPECT_EQ(symbol.dataCodewords(), table.dataCodewords - 1);
        EXPECT_EQ(symbol.capacity(), table.dataCodewords);

        Ecc200Encoder encoder = InitEncoder();
        encoder.scheme = EncodeScheme::Ascii;
        ASSERT_EQ(EncodeMessage(&encoder, static_cast<int32_t>(text.size()), BytesOf(text).data(), size), 1);
        ASSERT_EQ(symbol.codewords().size(), static_cast<size_t>(encoder.message->codewordCount));
        EXPECT_TRUE(std::equal(symbol.codewords().begin(), symbol.codewords().end(), encoder.message->codewords));
        int mismatches = 0;
        for (int row = 0; row < symbol.rows(); ++row)
            for (int col = 0; col < symbol.cols(); ++col) {
                // The records count rows from the bottom.
                const int32_t status = ModuleStatus(encoder.message, size, symbol.rows() - 1 - row, col);
                mismatches += symbol.dark(row, col) != ((status & ModuleDarkBits) != 0);
            }
        EXPECT_EQ(mismatches, 0);
        FreeEncoder(&encoder);
    }
}

TEST(Symbol, FailuresComeBackWithTheirReason) {
    const std::string label = "LABEL-000001 LOT 2026-03-14 QA";
    EXPECT_TRUE(Encode(BytesOf(label)));

    const Result<Symbol> tooLong = Encode(BytesOf(label), EncodeOptions{EncodeScheme::Ascii, 0});
    EXPECT_FALSE(tooLong);
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
