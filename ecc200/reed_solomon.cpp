#include <array>
#include <cstring>

#include "glyphrun/ecc200_stages.h"
#include "lazy_tables.h"
#include "symbol_internal.h"

namespace glyphrun {
namespace {

constexpr int kFieldPolynomial = 0x12D;  // x^8 + x^5 + x^3 + x^2 + 1
constexpr int kMaxEccPerBlock = 68;

struct GaloisTables {
    std::array<int32_t, 256> exp{};
    std::array<int32_t, 256> log{};
};

constexpr GaloisTables BuildTables() {
    GaloisTables t;
    int32_t value = 1;
    for (int i = 0; i < 255; ++i) {
        t.exp[i] = value;
        t.log[value] = i;
        value <<= 1;
        if (value & 0x100) value ^= kFieldPolynomial;
    }
    t.exp[255] = 1;
    t.log[1] = 255;   // equal to 0 modulo 255, the only way the table is used
    t.log[0] = -255;  // never read: multiplication by 0 is answered first
    return t;
}

constexpr GaloisTables kGf = BuildTables();
static_assert(kGf.exp[8] == 45 && kGf.exp[9] == 90);

// Coefficients of x^0 .. x^(eccCount-1) of (x + a^1)(x + a^2)...(x + a^eccCount);
// the leading coefficient is 1.
std::array<uint8_t, kMaxEccPerBlock + 1> Generator(int32_t eccCount) {
    std::array<uint8_t, kMaxEccPerBlock + 1> g;
    g.fill(1);
    for (int32_t i = 1; i <= eccCount; ++i)
        // Descending j keeps g[j - 1] at its value from the previous factor.
        for (int32_t j = i - 1; j >= 0; --j) {
            g[j] = GfMultiplyPower(g[j], i);
            if (j > 0) g[j] ^= g[j - 1];
        }
    return g;
}

}  // namespace

uint8_t GfMultiply(uint8_t a, uint8_t b) {
    if (a == 0 || b == 0) return 0;
    return static_cast<uint8_t>(kGf.exp[(kGf.log[a] + kGf.log[b]) % 255]);
}

uint8_t GfMultiplyPower(uint8_t a, int32_t power) {
    if (a == 0 || power == 0) return a;
    return static_cast<uint8_t>(kGf.exp[(kGf.log[a] + power % 255 + 255) % 255]);
}

namespace {

// The remainder runs in reverse, q[i] = r[n - 1 - i], so that one step of
// the division is a shift by one byte and an exclusive or with the product
// of the generator and the step's factor: eight bytes at a time. Rows are
// padded with zeros to a whole number of words.
constexpr int32_t kRowBytes = (kMaxEccPerBlock + 7) / 8 * 8;

// products[e * kRowBytes + i] = g[n - 1 - i] * e for every field element e.
struct ProductTable {
    std::array<uint8_t, 256 * kRowBytes> products{};
};

const ProductTable* ProductsFor(int32_t eccCount) {
    // Made once per generator on first use: the sizes use 25 lengths.
    static LazyTables<ProductTable, kMaxEccPerBlock + 1> tables;
    return tables.Get(static_cast<size_t>(eccCount), [eccCount] {
        ProductTable table;
        const auto g = Generator(eccCount);
        for (int32_t e = 0; e < 256; ++e)
            for (int32_t i = 0; i < eccCount; ++i)
                table.products[e * kRowBytes + i] = GfMultiply(g[eccCount - 1 - i], static_cast<uint8_t>(e));
        return table;
    });
}

uint64_t Load(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

}  // namespace

bool FillCheckCodewords(uint8_t* codewords, int32_t sizeIndex, bool iso144) {
    const SymbolSize& size = SymbolSizes()[sizeIndex];
    const int32_t dataCount = size.dataCodewords, eccCount = size.eccPerBlock, blocks = size.blocks;
    const int32_t total = size.totalCodewords();
    const ProductTable* table = ProductsFor(eccCount);
    if (!table) return false;
    const uint8_t* products = table->products.data();
    for (int32_t block = 0; block < blocks; ++block) {
        uint8_t q[kRowBytes + 8] = {};  // the bytes past the remainder stay 0
        // Data codeword p belongs to block p mod blocks.
        for (int32_t p = block; p < dataCount; p += blocks) {
            const uint8_t* row = products + (codewords[p] ^ q[0]) * kRowBytes;
            for (int32_t i = 0; i < eccCount; i += 8) {
                const uint64_t word = Load(q + i + 1) ^ Load(row + i);
                std::memcpy(q + i, &word, sizeof word);
            }
        }
        // Check codewords interleave like the data. Most readers read on in
        // the data's interleaving, so where the blocks are uneven the
        // shorter blocks' checks come first, right after the last data
        // codeword (in 144 x 144 blocks 8 and 9); the ISO layout of
        // 144 x 144 starts with block 0's.
        int32_t q0 = (iso144 && sizeIndex == kLargestSquareSize)
                         ? dataCount + block
                         : DataCodewordsInBlock(sizeIndex, block) * blocks + block;
        for (int32_t i = 0; i < eccCount && q0 < total; ++i, q0 += blocks) codewords[q0] = q[i];
    }
    return true;
}

int ComputeEcc(Ecc200Message* message, int32_t sizeIndex) {
    if (sizeIndex < 0 || sizeIndex >= kAllSymbolSizeCount || !message || !message->codewords ||
        message->codewordCount != SymbolSizes()[sizeIndex].totalCodewords())
        return 0;
    return FillCheckCodewords(message->codewords, sizeIndex) ? 1 : 0;
}

}  // namespace glyphrun
