// Encodes the first argument and prints the symbol on the terminal, one
// character pair per module ("##" dark), with a one-module quiet zone.
#include <cstdio>
#include <cstring>

#include "glyphrun/ecc200.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: encode_label TEXT\n");
        return 2;
    }
    glyphrun::Ecc200Encoder encoder = glyphrun::InitEncoder();
    encoder.moduleSize = 1;  // one pixel per module: the image is the module grid
    encoder.margin = 1;
    const auto* bytes = reinterpret_cast<const uint8_t*>(argv[1]);
    if (!glyphrun::EncodeMessage(&encoder, static_cast<int32_t>(std::strlen(argv[1])), bytes,
                                 glyphrun::kSmallestSquare)) {
        std::fprintf(stderr, "encode_label: %s\n", glyphrun::DescribeEncodeFailure(encoder.failure).c_str());
        glyphrun::FreeEncoder(&encoder);
        return 1;
    }
    std::printf("%dx%d\n", encoder.symbolRows, encoder.symbolCols);
    const glyphrun::ModuleImage& image = *encoder.image;
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x)
            std::fputs(image.pixels[3 * (y * image.width + x)] == 0 ? "##" : "  ", stdout);
        std::putchar('\n');
    }
    glyphrun::FreeEncoder(&encoder);
    return 0;
}
