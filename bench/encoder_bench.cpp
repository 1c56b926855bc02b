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

namespace glyphrun {
namespace {

// Mixed text: runs of upper case, lower case, digits and punctuation.
std::string MixedText(size_t length) {
    static const char* const kRuns[] = {"INVOICE ", "order-no ", "20261207", "ABC/123 ", "qty: 42 ", "*>*>"};
    std::string text;
    for (size_t i = 0; text.size() < length; ++i) text += kRuns[(i * 7) % 6];
    text.resize(length);
    return text;
}

// The encodation alone (no size choice, padding or image), with the
// codewords it produced as a counter.
void Encodation(benchmark::State& state, EncodeScheme scheme, const std::string& text) {
    uint8_t output[kMaxDataCodewords];
    int32_t codewords = 0;
    for (auto _ : state) {
        int32_t size = kSmallestSquare;
        EncodeFailure failure;
        codewords = EncodeCodewords(output, kMaxDataCodewords, reinterpret_cast<const uint8_t*>(text.data()),
                                    static_cast<int32_t>(text.size()), scheme, size, &failure);
        if (codewords == 0) state.SkipWithError(DescribeEncodeFailure(failure).c_str());
    }
    state.counters["codewords"] = codewords;
}

void BM_AutoBest(benchmark::State& state) {
    Encodation(state, EncodeScheme::AutoBest, MixedText(static_cast<size_t>(state.range(0))));
}
void BM_AutoMinimal(benchmark::State& state) {
    Encodation(state, EncodeScheme::AutoMinimal, MixedText(static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_AutoBest)->Arg(100)->Arg(1000)->Arg(1556);
BENCHMARK(BM_AutoMinimal)->Arg(100)->Arg(1000)->Arg(1556);

// One letter throughout, enough to fill the 144 x 144 symbol in Text, and a
// typical 30-byte label.
const std::string kLetters(1556, 'a');
const std::string kLabel = "LABEL-000001 LOT 2026-03-14 QA";
BENCHMARK_CAPTURE(Encodation, best_letters, EncodeScheme::AutoBest, kLetters);
BENCHMARK_CAPTURE(Encodation, best_label, EncodeScheme::AutoBest, kLabel);
BENCHMARK_CAPTURE(Encodation, minimal_letters, EncodeScheme::AutoMinimal, kLetters);
BENCHMARK_CAPTURE(Encodation, minimal_label, EncodeScheme::AutoMinimal, kLabel);

// The label's whole encode by the minimal encodation: encodation, padding,
// check codewords, placement and the module image at module size 1.
void BM_EncodeMessageMinimalLabel(benchmark::State& state) {
    for (auto _ : state) {
        Ecc200Encoder encoder = InitEncoder();
        encoder.scheme = EncodeScheme::AutoMinimal;
        encoder.moduleSize = 1;
        if (!EncodeMessage(&encoder, static_cast<int32_t>(kLabel.size()),
                           reinterpret_cast<const uint8_t*>(kLabel.data()), kSmallestSquare))
            state.SkipWithError("encode failed");
        FreeEncoder(&encoder);
    }
}
BENCHMARK(BM_EncodeMessageMinimalLabel);

// The same without the image: encodation, padding, check codewords and
// placement into the mapping matrix.
void BM_MinimalLabelPlaced(benchmark::State& state) {
    uint8_t data[kMaxDataCodewords];
    for (auto _ : state) {
        int32_t size = kSmallestSquare;
        int32_t count = EncodeCodewords(data, kMaxDataCodewords, reinterpret_cast<const uint8_t*>(kLabel.data()),
                                        static_cast<int32_t>(kLabel.size()), EncodeScheme::AutoMinimal, size, nullptr);
        Ecc200Message* message = count > 0 ? AllocMessage(size) : nullptr;
        if (!message) {
            state.SkipWithError("encode failed");
            break;
        }
        PadCodewords(data, count, QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, size));
        std::memcpy(message->codewords, data, static_cast<size_t>(count));
        ComputeEcc(message, size);
        benchmark::DoNotOptimize(PlaceCodewords(message, size, ModuleDarkBits));
        FreeMessage(message);
    }
}
BENCHMARK(BM_MinimalLabelPlaced);

// Each scheme on text it can hold throughout, 20, 300 and 1556 bytes.
std::string Repeated(const char* alphabet, size_t length) {
    const std::string letters = alphabet;
    std::string text;
    for (size_t i = 0; text.size() < length; ++i) text += letters[(i * 7) % letters.size()];
    return text;
}

void EncodeInScheme(benchmark::State& state, EncodeScheme scheme, const char* alphabet) {
    Encodation(state, scheme, Repeated(alphabet, static_cast<size_t>(state.range(0))));
}

constexpr char kUpper[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
BENCHMARK_CAPTURE(EncodeInScheme, ascii, EncodeScheme::Ascii, "Label 42, lot 7; ABC-def")->Arg(20)->Arg(300)->Arg(1556);
BENCHMARK_CAPTURE(EncodeInScheme, c40, EncodeScheme::C40, kUpper)->Arg(20)->Arg(300)->Arg(1556);
BENCHMARK_CAPTURE(EncodeInScheme, text, EncodeScheme::Text, "abcdefghijklmnopqrstuvwxyz0123456789 ")
    ->Arg(20)
    ->Arg(300)
    ->Arg(1556);
BENCHMARK_CAPTURE(EncodeInScheme, x12, EncodeScheme::X12, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 *>\r")
    ->Arg(20)
    ->Arg(300)
    ->Arg(1556);
BENCHMARK_CAPTURE(EncodeInScheme, edifact, EncodeScheme::Edifact, "ABC-123/XYZ:456.789 (QRS)=TUV")
    ->Arg(20)
    ->Arg(300)
    ->Arg(1556);
BENCHMARK_CAPTURE(EncodeInScheme, base256, EncodeScheme::Base256, "Label 42, lot 7; ABC-def")
    ->Arg(20)
    ->Arg(300)
    ->Arg(1556);
BENCHMARK_CAPTURE(EncodeInScheme, auto, EncodeScheme::AutoBest, "INVOICE order-no 20261207 ABC/123 qty: 42") -> Arg(20)
    -> Arg(300) -> Arg(1556);
BENCHMARK_CAPTURE(EncodeInScheme, minimal, EncodeScheme::AutoMinimal, "INVOICE order-no 20261207 ABC/123 qty: 42")
    ->Arg(20)
    ->Arg(300)
    ->Arg(1556);

}  // namespace
}  // namespace glyphrun
