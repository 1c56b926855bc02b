// Each writer on a 600 x 600 two-colour symbol and a 600 x 600 photo, to memory.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

constexpr uint32_t kSide = 600;

// Modules of 6 pixels, dark or light at random, as a symbol image is.
void MakeSymbol(GrImage& image) {
    image.Create(kSide, kSide, 24);
    std::mt19937 rng(1);
    std::vector<bool> dark(100 * 100);
    for (size_t i = 0; i < dark.size(); ++i) dark[i] = rng() & 1;
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < kSide; ++x) {
            const uint8_t value = dark[(y / 6) * 100 + x / 6] ? 0 : 255;
            std::fill_n(image.GetBits(y) + 3 * x, 3, value);
        }
}

// Smooth colour gradients with a little noise.
void MakePhoto(GrImage& image) {
    image.Create(kSide, kSide, 24);
    std::mt19937 rng(2);
    for (uint32_t y = 0; y < kSide; ++y)
        for (uint32_t x = 0; x < kSide; ++x) {
            uint8_t* p = image.GetBits(y) + 3 * x;
            p[0] = static_cast<uint8_t>(128 + 100 * std::sin(x / 50.0) + rng() % 8);
            p[1] = static_cast<uint8_t>(128 + 100 * std::cos(y / 70.0) + rng() % 8);
            p[2] = static_cast<uint8_t>((x + y) / 5 + rng() % 8);
        }
}

void Write(benchmark::State& state, void (*make)(GrImage&), uint32_t type, uint32_t option) {
    GrImage image;
    make(image);
    image.SetCodecOption(option, type);
    size_t bytes = 0;
    for (auto _ : state) {
        uint8_t* buffer = nullptr;
        int32_t size = 0;
        if (!image.Encode(buffer, size, type)) state.SkipWithError(image.GetLastError());
        bytes = static_cast<size_t>(size);
        GrImage::FreeMemory(buffer);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

BENCHMARK_CAPTURE(Write, symbol_bmp, MakeSymbol, TypeBmp, 0);
BENCHMARK_CAPTURE(Write, symbol_png, MakeSymbol, TypePng, 0);
BENCHMARK_CAPTURE(Write, symbol_png_adam7, MakeSymbol, TypePng, 1);
BENCHMARK_CAPTURE(Write, symbol_gif_lzw, MakeSymbol, TypeGif, 0);
BENCHMARK_CAPTURE(Write, symbol_gif_plain, MakeSymbol, TypeGif, 1);
BENCHMARK_CAPTURE(Write, symbol_gif_rle, MakeSymbol, TypeGif, 2);
BENCHMARK_CAPTURE(Write, photo_bmp, MakePhoto, TypeBmp, 0);
BENCHMARK_CAPTURE(Write, photo_png, MakePhoto, TypePng, 0);
BENCHMARK_CAPTURE(Write, photo_gif_tiles, MakePhoto, TypeGif, 0);

}  // namespace
}  // namespace glyphrun
