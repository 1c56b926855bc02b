// The two roads of a label to a PNG in memory: the straight one that the
// command line takes (Encode, a two-colour image, the compact writer), and
// the window's (options record, front end, screen bitmap, import, libpng).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/write.h"

namespace glyphrun {
namespace {

void Road(benchmark::State& state, const std::string& text, int32_t mode, int32_t moduleSize, int32_t margin) {
    BarcodeOptions options;
    SetDefaultBarcodeOptions(&options);
    options.mode = mode;
    std::copy(text.begin(), text.end(), options.text);
    options.length = static_cast<int32_t>(text.size());
    options.moduleSize = moduleSize;
    options.margin = margin;
    int32_t pngBytes = 0;
    for (auto _ : state) {
        GrImage image;
        const HBITMAP bitmap = EncodeToBitmap(&options);
        if (!bitmap || !image.CreateFromHBITMAP(bitmap)) state.SkipWithError("render failed");
        ReleaseBarcodeBitmap();
        uint8_t* png = nullptr;
        if (!image.Encode(png, pngBytes, TypePng)) state.SkipWithError(image.GetLastError());
        GrImage::FreeMemory(png);
    }
    state.counters["png_bytes"] = pngBytes;
}

// A typical label: 30 bytes of mixed text, module size 4, 2-module quiet zone.
void BM_Road_Label30(benchmark::State& state) { Road(state, "LOT 2026-12-07/A SN 0042 qty 12", -1, 4, 8); }
BENCHMARK(BM_Road_Label30);

// The largest symbol at module size 1 with a 2-module quiet zone, its
// 1556 bytes in ASCII (mode 0) and by the automatic choice (mode -1).
void Road144(benchmark::State& state, int32_t mode) {
    std::string text;
    for (int i = 0; text.size() < 1556; ++i) text += static_cast<char>('A' + i % 26);
    Road(state, text, mode, 1, 2);
}
BENCHMARK_CAPTURE(Road144, ascii, 0);
BENCHMARK_CAPTURE(Road144, auto, -1);

// The label's road stage by stage: where its time goes.
constexpr char kLabel[] = "LOT 2026-12-07/A SN 0042 qty 12";

Ecc200Encoder EncodeLabel() {
    Ecc200Encoder encoder = InitEncoder();
    encoder.moduleSize = 4;
    encoder.margin = 8;
    EncodeMessage(&encoder, sizeof kLabel - 1, reinterpret_cast<const uint8_t*>(kLabel), kSmallestSquare);
    return encoder;
}

HBITMAP RenderLabel(const Ecc200Encoder& encoder) {
    return RenderModuleImage(encoder.image, encoder.image->width, encoder.image->height, RGB(255, 255, 255),
                             RGB(0, 0, 0));
}

// The label encoded and rendered, for the stages after.
struct RenderedLabel {
    Ecc200Encoder encoder = EncodeLabel();
    HBITMAP bitmap = RenderLabel(encoder);
    ~RenderedLabel() {
        DeleteObject(bitmap);
        FreeEncoder(&encoder);
    }
};

void BM_LabelStage_Encode(benchmark::State& state) {
    for (auto _ : state) {
        Ecc200Encoder encoder = EncodeLabel();
        FreeEncoder(&encoder);
    }
}
BENCHMARK(BM_LabelStage_Encode);

void BM_LabelStage_Render(benchmark::State& state) {
    const RenderedLabel label;
    for (auto _ : state) DeleteObject(RenderLabel(label.encoder));
}
BENCHMARK(BM_LabelStage_Render);

void BM_LabelStage_Import(benchmark::State& state) {
    const RenderedLabel label;
    for (auto _ : state) {
        GrImage image;
        image.CreateFromHBITMAP(label.bitmap);
    }
}
BENCHMARK(BM_LabelStage_Import);

void BM_LabelStage_Png(benchmark::State& state) {
    const RenderedLabel label;
    GrImage image;
    image.CreateFromHBITMAP(label.bitmap);
    for (auto _ : state) {
        uint8_t* png = nullptr;
        int32_t size = 0;
        image.Encode(png, size, TypePng);
        GrImage::FreeMemory(png);
    }
}
BENCHMARK(BM_LabelStage_Png);

// ---------------------------------------------------------------- the straight road

constexpr char kJobLabel[] = "LABEL-000001 LOT 2026-03-14 QA";

std::span<const uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

void BM_Straight_EncodeLabel(benchmark::State& state) {
    const std::string text = kJobLabel;
    for (auto _ : state) benchmark::DoNotOptimize(Encode(BytesOf(text)));
}
BENCHMARK(BM_Straight_EncodeLabel);

void StraightToPng(benchmark::State& state, const std::string& text, int32_t size, int32_t moduleSize, int32_t margin) {
    Style style;
    style.moduleSize = moduleSize;
    style.marginPixels = margin;
    size_t bytes = 0;
    for (auto _ : state) {
        const Result<Symbol> result = Encode(BytesOf(text), {EncodeScheme::AutoMinimal, size});
        const Result<std::string> png = result ? WriteSymbol(result.value(), Format::Png, style) : result.status();
        if (!png) state.SkipWithError("failed");
        bytes = png ? png.value().size() : 0;
    }
    state.counters["png_bytes"] = static_cast<double>(bytes);
}

// J1's label: 22 x 22 at 4 pixels a module and an 8-pixel margin (104 x 104).
void BM_Straight_LabelToPng(benchmark::State& state) { StraightToPng(state, kJobLabel, kSmallestSquare, 4, 8); }
BENCHMARK(BM_Straight_LabelToPng);

// J2's symbol: 1,556 x 'a' in 144 x 144 at 1 pixel a module and a 2-pixel margin.
void BM_Straight_144ToPng(benchmark::State& state) { StraightToPng(state, std::string(1556, 'a'), 23, 1, 2); }
BENCHMARK(BM_Straight_144ToPng);

}  // namespace
}  // namespace glyphrun
