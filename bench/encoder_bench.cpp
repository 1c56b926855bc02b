#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "glyphrun/ecc200_stages.h"

namespace glyphrun {
namespace {

constexpr int kLargest = 23;  // 144 x 144

void BM_ReedSolomon144(benchmark::State& state) {
    Ecc200Message* message = AllocMessage(kLargest);
    for (int i = 0; i < kMaxDataCodewords; ++i) message->codewords[i] = static_cast<uint8_t>(i * 7 + 3);
    for (auto _ : state) {
        ComputeEcc(message, kLargest);
        benchmark::DoNotOptimize(message->codewords[message->codewordCount - 1]);
    }
    FreeMessage(message);
}
BENCHMARK(BM_ReedSolomon144);

void BM_Placement144(benchmark::State& state) {
    Ecc200Message* message = AllocMessage(kLargest);
    for (int i = 0; i < message->codewordCount; ++i) message->codewords[i] = static_cast<uint8_t>(i * 7 + 3);
    for (auto _ : state) {
        std::memset(message->modules, 0, static_cast<size_t>(message->moduleCount));
        benchmark::DoNotOptimize(PlaceCodewords(message, kLargest, ModuleDarkBits));
    }
    FreeMessage(message);
}
BENCHMARK(BM_Placement144);

// The whole driver: encodation, padding, check codewords, placement, image.
void BM_EncodeMessageAscii(benchmark::State& state) {
    std::string text;
    for (int i = 0; text.size() < static_cast<size_t>(state.range(0)); ++i) text += static_cast<char>('A' + i % 26);
    for (auto _ : state) {
        Ecc200Encoder encoder = InitEncoder();
        encoder.scheme = EncodeScheme::Ascii;
        encoder.moduleSize = 1;
        if (!EncodeMessage(&encoder, static_cast<int32_t>(text.size()), reinterpret_cast<const uint8_t*>(text.data()),
                           kSmallestSquare))
            state.SkipWithError("encode failed");
        FreeEncoder(&encoder);
    }
}
BENCHMARK(BM_EncodeMessageAscii)->Arg(30)->Arg(1556);

}  // namespace
}  // namespace glyphrun
