// Encodes the first argument, prints the symbol on the terminal (one
// character pair per module, "##" dark, with a one-module quiet zone) and,
// given a second argument, writes it as NAME.png, .svg, .eps and .pgm.
#include <cstdio>
#include <cstring>
#include <string>

#include "glyphrun/glyphrun.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: encode_label TEXT [NAME]\n");
        return 2;
    }
    const glyphrun::Result<glyphrun::Symbol> made =
        glyphrun::Encode({reinterpret_cast<const uint8_t*>(argv[1]), std::strlen(argv[1])});
    if (!made) {
        std::fprintf(stderr, "encode_label: %s\n", made.reason().c_str());
        return 1;
    }
    const glyphrun::Symbol& symbol = made.value();
    std::printf("%dx%d\n", symbol.rows(), symbol.cols());
    for (int32_t row = -1; row <= symbol.rows(); ++row) {
        for (int32_t col = -1; col <= symbol.cols(); ++col) std::fputs(symbol.dark(row, col) ? "##" : "  ", stdout);
        std::putchar('\n');
    }
    if (argc == 3) {
        glyphrun::Style style;  // 4 pixels a module, a quiet zone of 2 modules
        style.foreground = 0x102040;
        for (const char* extension : {".png", ".svg", ".eps", ".pgm"}) {
            const glyphrun::Status saved = glyphrun::SaveSymbol(symbol, argv[2] + std::string(extension), style);
            if (!saved) {
                std::fprintf(stderr, "encode_label: %s\n", saved.reason().c_str());
                return 1;
            }
        }
    }
    return 0;
}
