// Symbols decoded by the independent reader must give back the input bytes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "reader.h"

namespace glyphrun {
namespace {

using testing::EncodeAndRead;

std::string RandomBytes(std::mt19937& rng, size_t length, int low = 0, int high = 255) {
    std::uniform_int_distribution<int> byte(low, high);
    std::string s(length, '\0');
    for (char& c : s) c = static_cast<char>(byte(rng));
    return s;
}

int32_t Capacity(int size) { return QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size); }

// Fills each size, the DMRE sizes too, to its capacity with random
// printable text (one codeword per character) and to about half with random
// bytes of every value.
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

EncodeResult EncodeText(const std::string& text, int32_t size, bool iso144) {
    EncodeOptions options{EncodeScheme::Ascii, size};
    options.iso144 = iso144;
    return Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, options);
}

// 144 x 144 in its two block layouts: the default for zxing-cpp (and most
// readers), the other for the second reader. No other size has a second layout.
TEST(RoundTrip, LargestSymbolInEitherBlockLayout) {
    std::mt19937 rng(144);
    const std::string text = RandomBytes(rng, Capacity(23), 'A', 'Z');
    const EncodeResult common = EncodeText(text, 23, false), iso = EncodeText(text, 23, true);
    ASSERT_TRUE(common && iso);
    EXPECT_EQ(testing::ReadSymbol(common.symbol), text);
    EXPECT_EQ(testing::ReadWithSecondReader(iso.symbol), text);
    EXPECT_NE(common.symbol.modules, iso.symbol.modules);
    for (int size : {22, 35})
        EXPECT_EQ(EncodeText(text.substr(0, 60), size, false).symbol.modules,
                  EncodeText(text.substr(0, 60), size, true).symbol.modules);
}

TEST(RoundTrip, LengthsUpToTheLargestCapacity) {
    std::mt19937 rng(7);
    for (int length = 1; length <= kMaxDataCodewords; length += length < 64 ? 1 : 37) {
        const std::string text = RandomBytes(rng, length, 32, 126);
        EXPECT_EQ(EncodeAndRead(text, EncodeScheme::Ascii, kSmallestSquare), text) << length;
    }
    const std::string full(kMaxDataCodewords, 'x');
    EXPECT_EQ(EncodeAndRead(full, EncodeScheme::Ascii, kSmallestSquare), full);
    const std::string digits(2 * kMaxDataCodewords, '9');
    EXPECT_EQ(EncodeAndRead(digits, EncodeScheme::Ascii, kSmallestSquare), digits);
}

TEST(RoundTrip, EveryByteValueAndDigitRuns) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(EncodeAndRead(all, EncodeScheme::Ascii, kSmallestSquare), all);
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(EncodeAndRead(one, EncodeScheme::Ascii, kSmallestSquare), one) << b;
    }
    for (int count = 1; count <= 41; ++count) {
        const std::string digits = std::string(count, '7') + "\xb1" + std::string(count % 3, '2');
        EXPECT_EQ(EncodeAndRead(digits, EncodeScheme::Ascii, kSmallestSquare), digits) << count;
    }
}

// The encoder record paints its own image at every module size and margin.
TEST(RoundTrip, EveryModuleSizeAndMargin) {
    const std::string text = "Glyphrun 0123";
    for (int moduleSize = 1; moduleSize <= 5; ++moduleSize)
        for (int margin = 0; margin <= 10; ++margin) {
            Ecc200Encoder encoder = InitEncoder();
            encoder.scheme = EncodeScheme::Ascii;
            encoder.moduleSize = moduleSize;
            encoder.margin = margin;
            ASSERT_EQ(EncodeMessage(&encoder, static_cast<int32_t>(text.size()),
                                    reinterpret_cast<const uint8_t*>(text.data()), kSmallestSquare),
                      1);
            EXPECT_EQ(testing::ReadSymbol(*encoder.image, moduleSize), text) << moduleSize << "/" << margin;
            FreeEncoder(&encoder);
        }
}

}  // namespace
}  // namespace glyphrun

namespace glyphrun {
namespace {

struct SchemeAlphabet {
    EncodeScheme scheme;
    std::string alphabet;
};

std::string AllBytes() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    return all;
}

const SchemeAlphabet kSchemeAlphabets[] = {
    {EncodeScheme::Ascii, AllBytes()},
    {EncodeScheme::C40, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ABCXYZ-.a\xc1"},
    {EncodeScheme::Text, "abcdefghijklmnopqrstuvwxyz0123456789 abcxyz-.A\xe1"},
    {EncodeScheme::X12, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 *>\r"},
    {EncodeScheme::Edifact, " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^"},
    {EncodeScheme::Base256, AllBytes()},
    {EncodeScheme::AutoBest, "ABCDEFGHIJabcdefghij0123456789 *>\r!@[^\xc1\xe9"},
    {EncodeScheme::AutoMinimal, "ABCDEFGHIJabcdefghij0123456789 *>\r!@[^\xc1\xe9"},
};

// Every scheme, lengths 1-40 from its own alphabet, in the smallest square,
// the smallest rectangle (without and with the DMRE sizes) and the next two
// larger fixed sizes: whatever the encoder accepts must read back as the input.
TEST(RoundTrip, EverySchemeAtEverySizeItFits) {
    std::mt19937 rng(11);
    for (const auto& [scheme, alphabet] : kSchemeAlphabets) {
        for (int length = 1; length <= 40; ++length) {
            std::string input;
            for (int i = 0; i < length; ++i) input += alphabet[rng() % alphabet.size()];
            Ecc200Encoder probe = InitEncoder();
            probe.scheme = scheme;
            ASSERT_EQ(EncodeMessage(&probe, length, reinterpret_cast<const uint8_t*>(input.data()), kSmallestSquare), 1)
                << SchemeName(scheme) << " " << length;
            const int32_t square = probe.sizeIndex;
            FreeEncoder(&probe);
            for (int32_t request :
                 {kSmallestSquare, kSmallestRectangle, kSmallestRectangleOrDmre, square + 1, square + 2}) {
                if (request > 23) continue;
                Ecc200Encoder encoder = InitEncoder();
                encoder.scheme = scheme;
                encoder.moduleSize = 2;
                encoder.margin = 2;
                if (EncodeMessage(&encoder, length, reinterpret_cast<const uint8_t*>(input.data()), request))
                    EXPECT_EQ(testing::ReadSymbol(*encoder.image, 2), input)
                        << SchemeName(scheme) << " length " << length << " request " << request;
                else
                    EXPECT_EQ(request, kSmallestRectangle) << DescribeEncodeFailure(encoder.failure);
                FreeEncoder(&encoder);
            }
        }
    }
}

TEST(RoundTrip, LongInputsInEveryScheme) {
    std::mt19937 rng(5);
    for (const auto& [scheme, alphabet] : kSchemeAlphabets) {
        for (int length : {100, 500, 1000}) {
            std::string input;
            for (int i = 0; i < length; ++i) input += alphabet[rng() % alphabet.size()];
            const auto read = EncodeAndRead(input, scheme, kSmallestSquare);
            EXPECT_TRUE(read == input) << SchemeName(scheme) << " " << length;
        }
    }
}

}  // namespace
}  // namespace glyphrun
