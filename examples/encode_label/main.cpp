// Encodes the first argument and prints the symbol on the terminal, one
// character pair per module ("##" dark), with a one-module quiet zone.
#include <cstdio>
#include <cstring>

#include "glyphrun/symbol.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: encode_label TEXT\n");
        return 2;
    }
    const glyphrun::EncodeResult result =
        glyphrun::Encode({reinterpret_cast<const uint8_t*>(argv[1]), std::strlen(argv[1])});
    if (!result) {
        std::fprintf(stderr, "encode_label: %s\n", result.reason().c_str());
        return 1;
    }
    const glyphrun::Symbol& symbol = result.symbol;
    std::printf("%dx%d\n", symbol.rows, symbol.cols);
    for (int32_t row = -1; row <= symbol.rows; ++row) {
        for (int32_t col = -1; col <= symbol.cols; ++col) {
            const bool inside = row >= 0 && row < symbol.rows && col >= 0 && col < symbol.cols;
            std::fputs(inside && symbol.dark(row, col) ? "##" : "  ", stdout);
        }
        std::putchar('\n');
    }
    return 0;
}
