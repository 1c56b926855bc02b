// Failures come back as values with their reason, never answering for another layer; a symbol tells its schemes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/ecc200_stages.h"
#include "glyphrun/frontend.h"
#include "glyphrun/gs1.h"
#include "glyphrun/safe_file.h"
#include "glyphrun/symbol.h"
#include "glyphrun/text_input.h"
#include "glyphrun/vector.h"
#include "glyphrun/write.h"

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

// The failures of an enum, values 1 to `last`, as Status::Failed makes them,
// with the test of each against a code.
struct Layer {
    const char* name;
    std::vector<Status> failures;
    bool (*is)(const Status&, int);
};

template <ErrorEnum Code>
Layer LayerOf(const char* name, Code last) {
    Layer layer{name, {}, [](const Status& status, int value) { return status.Is(static_cast<Code>(value)); }};
    for (int value = 1; value <= static_cast<int>(last); ++value)
        layer.failures.push_back(Status::Failed(static_cast<Code>(value), name));
    return layer;
}

TEST(Status, CodesOfDifferentLayersNeverCompareEqual) {
    const std::vector<Layer> layers = {
        LayerOf("encode", EncodeError::TooFewPlacesToSplit),
        LayerOf("gs1", Gs1Error::Invalid),
        LayerOf("input", InputError::BadGs1),
        LayerOf("file", FileWriteError::System),
        LayerOf("png", CompactPngError::OutOfMemory),
        LayerOf("pgm", PgmError::OutOfMemory),
        LayerOf("vector", VectorError::Refused),
        LayerOf("write", WriteError::UnknownFormat),
        LayerOf("barcode", BarcodeError::NoBitmap),
    };
    for (const Layer& a : layers)
        for (const Layer& b : layers)
            for (size_t i = 0; i < a.failures.size(); ++i)
                for (size_t value = 1; value <= b.failures.size(); ++value)
                    EXPECT_EQ(b.is(a.failures[i], static_cast<int>(value)), &a == &b && value == i + 1)
                        << a.name << " " << i + 1 << " as " << b.name << " " << value;
}

}  // namespace
}  // namespace glyphrun
