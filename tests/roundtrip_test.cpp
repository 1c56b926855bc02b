// What the encoder makes, its automatic choices included, the independent reader gives back; failures come
// back as values with their reason, never answering for another layer; a symbol tells its schemes.
#include <gtest/gtest.h>

#include <cstdlib>
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
using testing::EncodeText;
using testing::EndFormFault;
using testing::ReadSymbol;
using V = std::vector<int>;

std::string AllBytes() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    return all;
}

std::string RandomFrom(std::mt19937& rng, const std::string& alphabet, int length) {
    std::string input;
    for (int i = 0; i < length; ++i) input += alphabet[rng() % alphabet.size()];
    return input;
}

// Each size, the DMRE sizes too, filled with one codeword per character and to about half with any bytes.
TEST(RoundTrip, EverySizeWithRandomFill) {
    std::mt19937 rng(4);
    for (int size = 0; size < kAllSymbolSizeCount; ++size) {
        const int32_t capacity = QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size);
        for (const std::string& input :
             {RandomFrom(rng, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", capacity), RandomFrom(rng, AllBytes(), capacity / 2)})
            EXPECT_EQ(EncodeAndRead(input, EncodeScheme::Ascii, size), input) << size;
    }
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

// Lengths 1-40 of each scheme's alphabet in each family and the next two sizes, then 1000 characters: all read back.
TEST(RoundTrip, EverySchemeAtEverySizeItFits) {
    std::mt19937 rng(11);
    for (const auto& [scheme, alphabet] : kSchemeAlphabets)
        for (int length = 1; length <= 41; ++length) {  // 41 stands for 1000, over several blocks
            const std::string input = RandomFrom(rng, alphabet, length <= 40 ? length : 1000);
            const Result<Symbol> square = EncodeText(input, {scheme});
            ASSERT_TRUE(square) << SchemeName(scheme) << " " << length << ": " << square.reason();
            const int32_t next = square.value().sizeIndex() + 1;
            for (int32_t request : {kSmallestSquare, kSmallestRectangle, kSmallestRectangleOrDmre, next, next + 1}) {
                if (request > 23) continue;
                const Result<Symbol> result = EncodeText(input, {scheme, request});
                if (result)
                    EXPECT_TRUE(ReadSymbol(result.value()) == input)
                        << SchemeName(scheme) << " length " << length << " request " << request;
                else
                    EXPECT_TRUE(request == kSmallestRectangle || length > 40) << result.reason();
            }
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
        {"UVQJ 6RHS", {230, 218, 23, 144, 67, 197, 41}},  // one codeword left: no unlatch, the pad follows
    };
    for (const auto& [input, codewords] : cases) {
        EXPECT_EQ(testing::Codewords(input, EncodeScheme::AutoBest), codewords) << input;
        EXPECT_EQ(EncodeAndRead(input, EncodeScheme::AutoBest, kSmallestSquare), input);
    }
    // One scheme throughout can fit where the character-by-character choice does not.
    EXPECT_EQ(EncodeBytes("11 AAAAA**", EncodeScheme::AutoBest, 2).codewords.size(), 8u);  // as X12 throughout
    EXPECT_EQ(EncodeBytes("AAAAAAAAAA<&=A", EncodeScheme::AutoBest, 3).codewords.size(), 12u);
    EXPECT_EQ(EncodeAndRead("11 AAAAA**", EncodeScheme::AutoBest, 2), "11 AAAAA**");
    EXPECT_EQ(
        DescribeEncodeFailure(EncodeBytes(std::string(2400, 'A'), EncodeScheme::AutoBest, kSmallestRectangle).failure),
        "the input needs more than 1558 data codewords but the largest rectangular symbol (16x48) holds 49");
}

// Runs from a few alphabets, so that each scheme has something to win; GS1 data has separators, never first.
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

// A C40 read-ahead to the end, a Base 256 segment past 250 bytes, a nearly full symbol; full and one more refused.
TEST(Auto, LongInputsAndFullCapacityReadBack) {
    std::string readAhead = "AA";
    while (readAhead.size() < 700) readAhead += "aA";  // the C40 values never end on a triple boundary
    const std::string segment = std::string(300, '\xb7') + "then some text, 12345678 and MORE TEXT";
    std::mt19937 rng(11);
    const std::string nearFull = RandomInput(rng, 1725, false);  // 1549 codewords of the largest symbol's 1558
    for (const std::string& input : {readAhead, segment, nearFull}) {
        const auto best = EncodeBytes(input, EncodeScheme::AutoBest);
        ASSERT_FALSE(best.codewords.empty()) << input.size();
        EXPECT_LE(EncodeBytes(input, EncodeScheme::AutoMinimal).codewords.size(), best.codewords.size());
        for (EncodeScheme scheme : {EncodeScheme::AutoBest, EncodeScheme::AutoMinimal})
            EXPECT_TRUE(EncodeAndRead(input, scheme, kSmallestSquare) == input) << input.size();
    }
    const std::tuple<EncodeScheme, char, int> full[] = {{EncodeScheme::AutoBest, 'A', 2335},
                                                        {EncodeScheme::AutoMinimal, '7', 3116},
                                                        {EncodeScheme::AutoMinimal, 'Q', 2335},
                                                        {EncodeScheme::AutoMinimal, '\xab', 1556}};
    for (const auto& [scheme, c, length] : full) {
        const std::string input(length, c);
        EXPECT_EQ(EncodeBytes(input, scheme).codewords.size(), 1558u) << SchemeName(scheme) << " " << length;
        EXPECT_TRUE(EncodeAndRead(input, scheme, kSmallestSquare) == input) << SchemeName(scheme) << " " << length;
        EXPECT_EQ(EncodeBytes(input + c, scheme).failure.error, EncodeError::TooLong) << SchemeName(scheme);
    }
    uint8_t small[4];
    int32_t size = kSmallestSquare;
    EncodeFailure failure{};
    EXPECT_EQ(EncodeCodewords(small, 4, reinterpret_cast<const uint8_t*>("ABCDEFGHIJ"), 10, EncodeScheme::AutoMinimal,
                              size, &failure),
              0);
    EXPECT_EQ(failure.error, EncodeError::OutputTooSmall);
    EXPECT_EQ(size, -1);
}

// Plain, GS1, Macro 05 and reader programming input in every family and fixed sizes: minimal is never longer than
// any scheme, every end form is allowed, the lenient end is never larger, and a sample reads back.
// GLYPHRUN_PROPERTY_ROUNDS sets the rounds for a long run (3000 by default).
TEST(AutoMinimal, NeverLongerThanAnyOtherAndEndsAsTheStandardSays) {
    std::mt19937 rng(2026);
    const char* rounds = std::getenv("GLYPHRUN_PROPERTY_ROUNDS");
    const int roundCount = rounds ? std::atoi(rounds) : 3000;
    int read = 0;
    for (int round = 0; round < roundCount; ++round) {
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
    EXPECT_GT(read, roundCount / 10);
}

// After EDIFACT a digit pair may fill the last codeword: 16 x 16 rather than 18 x 18.
TEST(AutoMinimal, EdifactEndsWithADigitPair) {
    const Result<Symbol> symbol = EncodeText("JY]K;MH>*D0H478", {});
    ASSERT_TRUE(symbol);
    EXPECT_EQ(symbol.value().rows(), 16);
    EXPECT_EQ(symbol.value().codewords()[11], 130 + 78);
    EXPECT_EQ(ReadSymbol(symbol.value()), "JY]K;MH>*D0H478");
}

// The lenient end spares a symbol size and reads back, but the checker names its end form.
TEST(AutoMinimal, LenientEndIsSmallerButNotTheStandardsEnd) {
    const std::pair<std::string, std::string> cases[] = {
        {" BF 9A0E018", "after C40 the last codeword is a digit pair"},
        {"7 5fa66dh86", "after Text the last codeword is a digit pair"},
        {"deaa 2fd8?", "after Text the last codeword is a character, not a pad or one character of one Text value"},
        {"2:BB 664 -8B65B", "after EDIFACT a third character"},
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

// Each forced scheme is what the codewords say, and the runs of an automatic choice add up to the data codewords.
TEST(Symbol, SchemeRunsFollowTheCodewordsOrTheFailureItsCode) {
    EXPECT_TRUE(Encode({}).Is(EncodeError::EmptyInput));
    EXPECT_TRUE(EncodeText("A", {EncodeScheme::AutoMinimal, 48}).Is(EncodeError::InvalidSize));
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

// Every code of each layer's enum, values 1 to its last, as a failing Status carries it.
template <ErrorEnum... Last>
std::vector<std::error_code> EveryCode(Last... last) {
    std::vector<std::error_code> codes;
    (
        [&] {
            for (int v = 1; v <= static_cast<int>(last); ++v) codes.push_back(Status::Failed(Last(v), "").code);
        }(),
        ...);
    return codes;
}

TEST(Status, CodesOfDifferentLayersNeverCompareEqual) {
    const std::vector<std::error_code> codes =
        EveryCode(EncodeError::TooFewPlacesToSplit, Gs1Error::Invalid, InputError::BadGs1, FileWriteError::System,
                  CompactPngError::OutOfMemory, PgmError::OutOfMemory, VectorError::Refused, WriteError::UnknownFormat,
                  BarcodeError::NoBitmap);
    for (size_t i = 0; i < codes.size(); ++i)
        for (size_t j = 0; j < codes.size(); ++j)
            EXPECT_EQ(codes[i] == codes[j], i == j) << codes[i].category().name() << " " << codes[i].value() << " as "
                                                    << codes[j].category().name() << " " << codes[j].value();
}

}  // namespace
}  // namespace glyphrun
