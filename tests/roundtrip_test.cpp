// What the encoder makes, its automatic choices included, the independent reader gives back; failures come
// back as values with their reason, never answering for another layer; a symbol tells its schemes.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "codewords.h"
#include "end_forms.h"
#include "glyphrun/codecs.h"
#include "glyphrun/ecc200_stages.h"
#include "glyphrun/frontend.h"
#include "glyphrun/gs1.h"
#include "glyphrun/safe_file.h"
#include "glyphrun/symbol.h"
#include "glyphrun/text_input.h"
#include "glyphrun/vector.h"
#include "glyphrun/write.h"
#include "reader.h"

namespace glyphrun {
namespace {

using testing::EncodeAndRead;
using testing::EncodeBytes;
using testing::EndFormFault;
using testing::ReadSymbol;
using V = std::vector<int>;

std::string RandomBytes(std::mt19937& rng, size_t length, int low = 0, int high = 255) {
    std::uniform_int_distribution<int> byte(low, high);
    std::string s(length, '\0');
    for (char& c : s) c = static_cast<char>(byte(rng));
    return s;
}

int32_t Capacity(int size) { return QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size); }

Result<Symbol> EncodeText(const std::string& text, EncodeOptions options) {
    return Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, options);
}

// Each size, the DMRE sizes too, filled to capacity with one codeword per
// character and to about half with bytes of every value.
TEST(RoundTrip, EverySizeWithRandomFill) {
    std::mt19937 rng(4);
    for (int size = 0; size < kAllSymbolSizeCount; ++size) {
        SCOPED_TRACE(size);
        const std::string letters = RandomBytes(rng, Capacity(size), 'A', 'Z');
        EXPECT_EQ(EncodeAndRead(letters, EncodeScheme::Ascii, size), letters);
        const std::string bytes = RandomBytes(rng, Capacity(size) / 2);
        EXPECT_EQ(EncodeAndRead(bytes, EncodeScheme::Ascii, size), bytes);
    }
}

std::string AllBytes() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    return all;
}

const std::pair<EncodeScheme, std::string> kSchemeAlphabets[] = {
    {EncodeScheme::Ascii, AllBytes()},
    {EncodeScheme::C40, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ABCXYZ-.a\xc1"},
    {EncodeScheme::Text, "abcdefghijklmnopqrstuvwxyz0123456789 abcxyz-.A\xe1"},
    {EncodeScheme::X12, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 *>\r"},
    {EncodeScheme::Edifact, " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^"},
    {EncodeScheme::Base256, AllBytes()},
    {EncodeScheme::AutoBest, "ABCDEFGHIJabcdefghij0123456789 *>\r!@[^\xc1\xe9"},
    {EncodeScheme::AutoMinimal, "ABCDEFGHIJabcdefghij0123456789 *>\r!@[^\xc1\xe9"},
};

std::string RandomFrom(std::mt19937& rng, const std::string& alphabet, int length) {
    std::string input;
    for (int i = 0; i < length; ++i) input += alphabet[rng() % alphabet.size()];
    return input;
}

// Every scheme, lengths 1-40 from its own alphabet, in the smallest square,
// the smallest rectangle (with and without DMRE) and the next two fixed
// sizes, then 1000 characters over several blocks: whatever the encoder
// accepts reads back.
TEST(RoundTrip, EverySchemeAtEverySizeItFits) {
    std::mt19937 rng(11);
    for (const auto& [scheme, alphabet] : kSchemeAlphabets)
        for (int length = 1; length <= 40; ++length) {
            const std::string input = RandomFrom(rng, alphabet, length);
            const Result<Symbol> square = EncodeText(input, {scheme});
            ASSERT_TRUE(square) << SchemeName(scheme) << " " << length << ": " << square.reason();
            const int32_t next = square.value().sizeIndex() + 1;
            for (int32_t request : {kSmallestSquare, kSmallestRectangle, kSmallestRectangleOrDmre, next, next + 1}) {
                if (request > 23) continue;
                const Result<Symbol> result = EncodeText(input, {scheme, request});
                if (result)
                    EXPECT_EQ(testing::ReadSymbol(result.value()), input)
                        << SchemeName(scheme) << " length " << length << " request " << request;
                else
                    EXPECT_EQ(request, kSmallestRectangle) << result.reason();
            }
        }
    for (const auto& [scheme, alphabet] : kSchemeAlphabets) {
        const std::string input = RandomFrom(rng, alphabet, 1000);
        EXPECT_TRUE(EncodeAndRead(input, scheme, kSmallestSquare) == input) << SchemeName(scheme);
    }
}

TEST(AutoBest, WorkedExamples) {
    const std::pair<std::string, V> cases[] = {
        {"ABCDEFGHIJ", {230, 89, 233, 109, 36, 128, 95, 75}},
        // C40 to the end: the channel that reached the end first stays a candidate.
        {"8XEMM4QLA48CLORW876KZ", {230, 80, 219, 166, 153, 191, 119, 51, 241, 160, 192, 226, 236, 66, 104, 254}},
        {"BD]^AECAAD", {67, 69, 94, 95, 66, 70, 68, 66, 66, 69}},  // ties go to ASCII
        {"[A]B^C[D]E^F", {240, 108, 23, 66, 120, 54, 196, 116, 87, 134}},
        {"^^^^^^^^", {240, 121, 231, 158, 121, 231, 158}},
    };
    for (const auto& [input, codewords] : cases) {
        EXPECT_EQ(testing::Codewords(input, EncodeScheme::AutoBest), codewords) << input;
        EXPECT_EQ(EncodeAndRead(input, EncodeScheme::AutoBest, kSmallestSquare), input);
    }
    EXPECT_EQ(EncodeAndRead("ABC\351\351def", EncodeScheme::AutoBest, kSmallestSquare), "ABC\351\351def");
    // One scheme throughout can fit where the character-by-character choice does not.
    EXPECT_EQ(EncodeBytes("11 AAAAA**", EncodeScheme::AutoBest, 2).codewords.size(), 8u);  // as X12 throughout
    EXPECT_EQ(EncodeBytes("AAAAAAAAAA<&=A", EncodeScheme::AutoBest, 3).codewords.size(), 12u);
    EXPECT_EQ(EncodeAndRead("11 AAAAA**", EncodeScheme::AutoBest, 2), "11 AAAAA**");
    EXPECT_EQ(
        DescribeEncodeFailure(EncodeBytes(std::string(2400, 'A'), EncodeScheme::AutoBest, kSmallestRectangle).failure),
        "the input needs more than 1558 data codewords but the largest rectangular symbol (16x48) holds 49");
}

// Passes the choice must try rather than work out ahead (a C40 read-ahead
// to the end, a Base 256 segment past 250 bytes, the largest symbol nearly
// full), and full capacity and one character more, which is refused.
TEST(Auto, LongInputsAndFullCapacityReadBack) {
    std::string readAhead = "AA";
    while (readAhead.size() < 700) readAhead += "aA";  // the C40 values never end on a triple boundary
    const std::string segment = std::string(300, '\xb7') + "then some text, 12345678 and MORE TEXT";
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
        ASSERT_FALSE(best.codewords.empty()) << input.size();
        EXPECT_LE(EncodeBytes(input, EncodeScheme::AutoMinimal).codewords.size(), best.codewords.size());
        for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal})
            EXPECT_TRUE(EncodeAndRead(input, scheme, kSmallestSquare) == input) << input.size();
    }
    const std::tuple<EncodeScheme, char, int> full[] = {
        {EncodeScheme::AutoBest, 'A', 2335},
        {EncodeScheme::AutoMinimal, '7', 3116},
        {EncodeScheme::AutoMinimal, 'Q', 2335},
        {EncodeScheme::AutoMinimal, '\xab', 1556},
    };
    for (const auto& [scheme, c, length] : full) {
        const std::string input(length, c);
        EXPECT_EQ(EncodeBytes(input, scheme).codewords.size(), 1558u) << SchemeName(scheme) << " " << length;
        EXPECT_TRUE(EncodeAndRead(input, scheme, kSmallestSquare) == input) << SchemeName(scheme) << " " << length;
        EXPECT_EQ(EncodeBytes(input + c, scheme).failure.error, EncodeError::TooLong) << SchemeName(scheme);
    }
    EXPECT_EQ(EncodeBytes(std::string(100, 'A'), EncodeScheme::AutoMinimal, kSmallestRectangle).failure.error,
              EncodeError::DoesNotFit);
    uint8_t small[4];
    int32_t size = kSmallestSquare;
    EncodeFailure failure{};
    EXPECT_EQ(EncodeCodewords(small, 4, reinterpret_cast<const uint8_t*>("ABCDEFGHIJ"), 10, EncodeScheme::AutoMinimal,
                              size, &failure),
              0);
    EXPECT_EQ(failure.error, EncodeError::OutputTooSmall);
    EXPECT_EQ(size, -1);
}

// Runs from a few alphabets, so that each scheme has something to win; GS1
// data also has separators, never first.
std::string RandomInput(std::mt19937& rng, int length, bool gs1) {
    static const std::string alphabets[] = {
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ",       "abcdefghijklmnopqrstuvwxyz", "0123456789", " *>\r",
        "!\"#$%&'()+,-./:;<=?@[\\]^_`{|}~", "\x80\xa9\xb1\xc1\xe9\xff",
        "ABC-12/34.DE:F 5678=9+",  // EDIFACT-friendly
    };
    const int kinds = 1 + static_cast<int>(rng() % 7), first = static_cast<int>(rng() % 7);
    std::string input;
    while (static_cast<int>(input.size()) < length) {
        if (gs1 && !input.empty() && rng() % 6 == 0) input += '\x1d';
        const std::string& alphabet = alphabets[(first + rng() % kinds) % 7];
        for (int run = 1 + rng() % 9; run > 0 && static_cast<int>(input.size()) < length; --run)
            input += alphabet[rng() % alphabet.size()];
    }
    return input;
}

// Random inputs, plain, GS1, Macro 05 and reader programming, for every
// size family and fixed sizes: the minimal encodation is never longer, in
// codewords or symbol size, than any other; every encodation ends in an
// allowed end form; the lenient end is never larger; a sample reads back.
TEST(AutoMinimal, NeverLongerThanAnyOtherAndEndsAsTheStandardSays) {
    std::mt19937 rng(2026);
    int read = 0;
    for (int round = 0; round < 3000; ++round) {
        const bool gs1 = round % 5 == 4;
        std::string input = RandomInput(rng, 1 + static_cast<int>(rng() % (round % 10 == 0 ? 300 : 40)), gs1);
        if (!gs1 && round % 7 == 1) input = "[)>\03605\035" + input + "\036\004";
        constexpr int32_t kFamilies[] = {kSmallestSquare, kSmallestRectangle, kSmallestRectangleOrDmre};
        const int32_t request =
            round % 4 < 3 ? kFamilies[round % 4] : static_cast<int32_t>(rng() % kAllSymbolSizeCount);
        EncodeOptions options{EncodeScheme::AutoMinimal, request, DataMeaning{gs1, false, 0}};
        options.meaning.readerInit = !gs1 && round % 11 == 3;
        SCOPED_TRACE(::testing::PrintToString(input) + " request " + std::to_string(request));
        const Result<Symbol> minimal = EncodeText(input, options);
        for (int scheme = 0; scheme <= static_cast<int>(EncodeScheme::AutoBest); ++scheme) {
            options.scheme = static_cast<EncodeScheme>(scheme);
            const Result<Symbol> other = EncodeText(input, options);
            if (!other) continue;
            ASSERT_TRUE(minimal) << SchemeName(options.scheme) << " fits: " << minimal.reason();
            EXPECT_LE(minimal.value().dataCodewords(), other.value().dataCodewords()) << SchemeName(options.scheme);
            EXPECT_LE(minimal.value().capacity(), other.value().capacity()) << SchemeName(options.scheme);
            EXPECT_EQ(EndFormFault(other.value()), "") << SchemeName(options.scheme);
        }
        if (!minimal) continue;
        ASSERT_EQ(EndFormFault(minimal.value()), "");
        options.scheme = EncodeScheme::AutoMinimal;
        options.lenientEnd = true;
        const Result<Symbol> lenient = EncodeText(input, options);
        ASSERT_TRUE(lenient);
        EXPECT_LE(lenient.value().capacity(), minimal.value().capacity());
        if (round % 8 == 0) {
            ++read;
            ASSERT_EQ(ReadSymbol(minimal.value()), input);
            ASSERT_EQ(ReadSymbol(lenient.value()), input);
        }
    }
    EXPECT_GT(read, 300);
}

// The lenient end spares a symbol size; readers decode it, but our checker
// says it is not one of the allowed end forms.
TEST(AutoMinimal, LenientEndIsSmallerButNotTheStandardsEnd) {
    const std::pair<std::string, std::string> cases[] = {
        {"2.2B1 3B99", "after C40 the last codeword is a digit pair"},
        {"7 5fa66dh86", "after Text the last codeword is a digit pair"},
        {"-B6:6 5B88", "after EDIFACT a digit pair"},
        {"\xff$[-[<[-<$\xe9", "after EDIFACT an Upper Shift"},
    };
    for (const auto& [input, fault] : cases) {
        const Result<Symbol> strict = EncodeText(input, {});
        const Result<Symbol> lenient = EncodeText(input, EncodeOptions{.lenientEnd = true});
        ASSERT_TRUE(strict && lenient) << input;
        EXPECT_LT(lenient.value().capacity(), strict.value().capacity()) << input;
        EXPECT_EQ(EndFormFault(strict.value()), "") << input;
        EXPECT_NE(EndFormFault(lenient.value()).find(fault), std::string::npos) << EndFormFault(lenient.value());
        EXPECT_EQ(ReadSymbol(strict.value()), input);
        EXPECT_EQ(ReadSymbol(lenient.value()), input);
    }
}

TEST(Symbol, FailuresComeBackWithTheirReason) {
    const std::string label = "LABEL-000001 LOT 2026-03-14 QA";
    const Result<Symbol> tooLong = EncodeText(label, EncodeOptions{EncodeScheme::Ascii, 0});
    EXPECT_TRUE(tooLong.Is(EncodeError::DoesNotFit));
    EXPECT_EQ(tooLong.reason(), "the input needs 23 data codewords but the requested size 10x10 holds 3");

    EXPECT_TRUE(Encode({}).Is(EncodeError::EmptyInput));
    EXPECT_TRUE(EncodeText(label, EncodeOptions{EncodeScheme::AutoMinimal, 48}).Is(EncodeError::InvalidSize));
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
        const Result<Symbol> result = EncodeText(text, EncodeOptions{scheme});
        ASSERT_TRUE(result) << SchemeName(scheme) << ": " << result.reason();
        const std::vector<SchemeRun> runs = SchemeRunsOf(result.value());
        ASSERT_FALSE(runs.empty());
        EXPECT_EQ(runs.front().scheme, scheme) << SchemeName(scheme);
        EXPECT_GE(runs.front().codewords, result.value().dataCodewords() - 2) << SchemeName(scheme);
    }
    const std::string mixed[] = {"LABEL-000001 LOT 2026-03-14 QA", "abc ABCDEFGHIJKLMNOP 1234567890 \xe9\xe9 *>*>*>",
                                 std::string(1556, 'a')};
    for (const std::string& text : mixed) {
        const Result<Symbol> result = EncodeText(text, {});
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
