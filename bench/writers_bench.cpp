// Each writer on a 600 x 600 two-colour symbol and a 600 x 600 photo, to
// memory; and the compact PNG writer against libpng on 1-bit images of real
// symbols.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"

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
    RegisterImageWriters();
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

// A symbol encoded by the library, drawn into a 1-bit image, black on white.
void MakeBilevel(GrImage& image, const std::string& text, EncodeScheme scheme, int32_t moduleSize, int32_t margin) {
    const Result<Symbol> result =
        Encode({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, EncodeOptions{scheme});
    Style style;
    style.moduleSize = moduleSize;
    style.marginPixels = margin;
    if (!result || !RenderSymbol(result.value(), style, image)) std::abort();
}

// A 30-byte label, 22 x 22 modules of 4 pixels and an 8-pixel margin: 104 x 104.
void MakeLabel(GrImage& image) { MakeBilevel(image, "LOT 2026-12-07/A SN 0042 qty 12", EncodeScheme::AutoBest, 4, 8); }

// 1,556 letters in ASCII, 144 x 144 modules of 1 pixel and a 2-pixel margin: 148 x 148.
void MakeLargest(GrImage& image) {
    std::string text;
    for (int i = 0; text.size() < 1556; ++i) text += static_cast<char>('A' + i % 26);
    MakeBilevel(image, text, EncodeScheme::Ascii, 1, 2);
}

void CompactPng(benchmark::State& state, void (*make)(GrImage&)) {
    GrImage image;
    make(image);
    size_t bytes = 0;
    for (auto _ : state) {
        std::string file;
        if (const Status written = EncodeCompactPng(image, file); !written)
            state.SkipWithError(written.reason().c_str());
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

BENCHMARK_CAPTURE(CompactPng, label, MakeLabel);
BENCHMARK_CAPTURE(CompactPng, largest, MakeLargest);
BENCHMARK_CAPTURE(Write, bilevel_label_png, MakeLabel, TypePng, 0);
BENCHMARK_CAPTURE(Write, bilevel_largest_png, MakeLargest, TypePng, 0);

}  // namespace
}  // namespace glyphrun
