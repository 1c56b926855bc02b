// Symbols decoded by the independent reader must give back the input bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

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

// GF(256) with the field polynomial x^8 + x^5 + x^3 + x^2 + 1, multiplied
// bit by bit rather than through the encoder's tables.
uint8_t GfTimes(uint8_t a, uint8_t b) {
    int product = 0;
    for (int x = a; b != 0; b >>= 1, x = (x << 1) ^ ((x & 0x80) ? 0x12D : 0))
        if (b & 1) product ^= x;
    return static_cast<uint8_t>(product);
}

// A block, data then checks, first the highest power, is right when it is 0
// at each root a^1 .. a^checks of the generator.
bool HasZeroSyndromes(const std::vector<uint8_t>& block, int checks) {
    uint8_t root = 1;
    for (int i = 1; i <= checks; ++i) {
        root = GfTimes(root, 2);
        uint8_t value = 0;
        for (uint8_t c : block) value = GfTimes(value, root) ^ c;
        if (value != 0) return false;
    }
    return true;
}

// 144 x 144 has ten blocks of 62 checks; data codeword i is in block i mod
// 10. The iso144 layout puts check j of block b at 10 j + b past the data;
// the default one goes on in the data's interleaving.
bool EveryBlockOf144Checks(const std::vector<uint8_t>& codewords, bool iso144) {
    constexpr int kBlocks = 10, kChecks = 62;
    if (codewords.size() != kMaxDataCodewords + kBlocks * kChecks) return false;
    for (int b = 0; b < kBlocks; ++b) {
        std::vector<uint8_t> block;
        const size_t end = iso144 ? kMaxDataCodewords : codewords.size();
        for (size_t p = b; p < end; p += kBlocks) block.push_back(codewords[p]);
        for (int j = 0; iso144 && j < kChecks; ++j) block.push_back(codewords[kMaxDataCodewords + kBlocks * j + b]);
        if (!HasZeroSyndromes(block, kChecks)) return false;
    }
    return true;
}

// zxing-cpp reads the default layout; the iso144 one shares its placement,
// so its codewords are checked: the same data, blocks right in its own
// interleaving only. No other size has a second layout.
TEST(RoundTrip, LargestSymbolInEitherBlockLayout) {
    std::mt19937 rng(144);
    const std::string text = RandomBytes(rng, Capacity(23), 'A', 'Z');
    const Result<Symbol> common = EncodeText(text, {EncodeScheme::Ascii, 23});
    const Result<Symbol> iso = EncodeText(text, {.scheme = EncodeScheme::Ascii, .size = 23, .iso144 = true});
    ASSERT_TRUE(common && iso);
    EXPECT_EQ(testing::ReadSymbol(common.value()), text);
    const std::vector<uint8_t>&commonWords = common.value().codewords(), &isoWords = iso.value().codewords();
    EXPECT_TRUE(std::equal(isoWords.begin(), isoWords.begin() + kMaxDataCodewords, commonWords.begin()));
    EXPECT_TRUE(EveryBlockOf144Checks(isoWords, true));
    EXPECT_FALSE(EveryBlockOf144Checks(isoWords, false));
    EXPECT_TRUE(EveryBlockOf144Checks(commonWords, false));
    EXPECT_FALSE(EveryBlockOf144Checks(commonWords, true));
    for (int size : {22, 35})
        EXPECT_EQ(EncodeText(text.substr(0, 60), {EncodeScheme::Ascii, size}).value().modules(),
                  EncodeText(text.substr(0, 60), {.scheme = EncodeScheme::Ascii, .size = size, .iso144 = true})
                      .value()
                      .modules());
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

}  // namespace
}  // namespace glyphrun
