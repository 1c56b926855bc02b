// Prints the data codewords of a large seeded set of inputs in every mode,
// one line each, so that two builds can be compared codeword for codeword:
// a change that should not alter any symbol is proved by an empty diff.
//
//     codeword_census 200000 > before.txt   (from the old build)
//     codeword_census 200000 > after.txt    (from the new one)
//     cmp before.txt after.txt
//
// The inputs are runs from a few alphabets, so that every scheme has
// something to win, with GS1 separators, Macro 05 messages, ECIs, reader
// programming and every size request among them. A line is "input mode:
// ROWSxCOLS codewords..." or "input mode: fail code"; the modes are 0-5
// for the forced schemes, 6 automatic, 7 minimal, 8 minimal with the
// lenient end.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "glyphrun/symbol.h"

namespace {

std::string RandomInput(std::mt19937& rng, bool gs1) {
    static const std::string alphabets[] = {
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
        "abcdefghijklmnopqrstuvwxyz",
        "0123456789",
        " *>\r",
        "!\"#$%&'()+,-./:;<=?@[\\]^_`{|}~",
        "\x80\xa9\xb1\xc1\xe9\xff\xd9\xe1",
        "ABC-12/34.DE:F 5678=9+",
        std::string("\x01\x04\x1e\x7f\x00", 5),
    };
    constexpr int kKinds = 8;
    const int length = 1 + static_cast<int>(rng() % (rng() % 10 == 0 ? 400 : 40));
    const int kinds = 1 + static_cast<int>(rng() % kKinds), first = static_cast<int>(rng() % kKinds);
    std::string input;
    while (static_cast<int>(input.size()) < length) {
        if (gs1 && !input.empty() && rng() % 6 == 0) input += '\x1d';
        const std::string& alphabet = alphabets[(first + rng() % kinds) % kKinds];
        for (int run = 1 + static_cast<int>(rng() % 9); run > 0 && static_cast<int>(input.size()) < length; --run)
            input += alphabet[rng() % alphabet.size()];
    }
    return input;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace glyphrun;
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::mt19937 rng(20261208);
    for (int i = 0; i < count; ++i) {
        EncodeOptions options;
        options.meaning.gs1 = i % 5 == 4;
        std::string input = RandomInput(rng, options.meaning.gs1);
        if (!options.meaning.gs1) {
            if (i % 7 == 1)
                input = "[)>\x1e"
                        "05\x1d" +
                        input + "\x1e\x04";
            options.meaning.eciGiven = i % 13 == 2;
            if (options.meaning.eciGiven) options.meaning.eci = static_cast<int32_t>(rng() % 1000);
            options.meaning.readerInit = i % 11 == 3;
        }
        const int request = static_cast<int>(rng() % 4);
        options.size = request == 0  ? kSmallestSquare
                       : request < 3 ? kSmallestRectangle
                                     : static_cast<int32_t>(rng() % kAllSymbolSizeCount);
        options.dmre = request == 2;
        const std::span bytes(reinterpret_cast<const uint8_t*>(input.data()), input.size());
        for (int mode = 0; mode <= 8; ++mode) {
            options.scheme = mode >= 7 ? EncodeScheme::AutoMinimal : static_cast<EncodeScheme>(mode);
            options.lenientEnd = mode == 8;
            const Result<Symbol> result = Encode(bytes, options);
            std::printf("%d %d:", i, mode);
            if (!result) {
                std::printf(" fail %d\n", result.status().code.value());
                continue;
            }
            const Symbol& symbol = result.value();
            std::printf(" %dx%d", symbol.rows(), symbol.cols());
            for (int32_t k = 0; k < symbol.dataCodewords(); ++k) std::printf(" %d", symbol.codewords()[k]);
            std::printf("\n");
        }
    }
}
