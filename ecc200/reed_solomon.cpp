#include <array>

#include "glyphrun/ecc200_stages.h"
#include "symbol_internal.h"

namespace glyphrun {
namespace {

constexpr int kFieldPolynomial = 0x12D;  // x^8 + x^5 + x^3 + x^2 + 1
constexpr int kMaxEccPerBlock = 68;

struct GaloisTables {
    std::array<int32_t, 256> exp{};
    std::array<int32_t, 256> log{};
    std::array<uint8_t, 510> expTwice{};  // exp over two periods: no modulo for a sum of two logs
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
    for (int i = 0; i < 510; ++i) t.expTwice[i] = static_cast<uint8_t>(t.exp[i % 255]);
    t.log[1] = 255;  // equal to 0 modulo 255, the only way the table is used
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

void FillCheckCodewords(uint8_t* codewords, int32_t sizeIndex) {
    const SymbolSize& size = SymbolSizes()[sizeIndex];
    const int32_t dataCount = size.dataCodewords, eccCount = size.eccPerBlock, blocks = size.blocks;
    const int32_t total = size.totalCodewords();
    // The generator's coefficients are never 0, so their logarithms are
    // taken once and each step costs one table lookup per coefficient.
    const auto g = Generator(eccCount);
    std::array<int32_t, kMaxEccPerBlock> logG{};
    for (int32_t k = 0; k < eccCount; ++k) logG[k] = kGf.log[g[k]] % 255;
    for (int32_t block = 0; block < blocks; ++block) {
        std::array<uint8_t, kMaxEccPerBlock> r{};
        // Data codeword p belongs to block p mod blocks.
        for (int32_t p = block; p < dataCount; p += blocks) {
            const uint8_t e = codewords[p] ^ r[eccCount - 1];
            if (e == 0) {
                for (int32_t k = eccCount - 1; k >= 1; --k) r[k] = r[k - 1];
                r[0] = 0;
                continue;
            }
            const int32_t logE = kGf.log[e] % 255;
            for (int32_t k = eccCount - 1; k >= 1; --k) r[k] = r[k - 1] ^ kGf.expTwice[logG[k] + logE];
            r[0] = kGf.expTwice[logG[0] + logE];
        }
        // Check codewords interleave like the data; in 144 x 144 the two
        // shorter blocks come first, right after the last data codeword.
        int32_t q = DataCodewordsInBlock(sizeIndex, block) * blocks + block;
        for (int32_t k = eccCount - 1; k >= 0 && q < total; --k, q += blocks) codewords[q] = r[k];
    }
}

int ComputeEcc(Ecc200Message* message, int32_t sizeIndex) {
    if (sizeIndex < 0 || sizeIndex >= kSymbolSizeCount || !message || !message->codewords ||
        message->codewordCount != SymbolSizes()[sizeIndex].totalCodewords())
        return 0;
    FillCheckCodewords(message->codewords, sizeIndex);
    return 1;
}

}  // namespace glyphrun
