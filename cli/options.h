// glyphrun-cli's command line.
#pragma once

#include <optional>
#include <string>

#include "glyphrun/ecc200.h"
#include "glyphrun/gdi_types.h"

namespace glyphrun::cli {

enum class OutputKind { Pgm, Bmp, Gif, Png, Svg, Eps };

struct Options {
    std::optional<std::string> text;
    std::optional<std::string> inputPath;
    std::optional<std::string> outputPath;  // "-": PNG to standard output
    OutputKind outputKind = OutputKind::Png;
    EncodeScheme scheme = EncodeScheme::AutoBest;
    int32_t size = kSmallestSquare;
    int32_t moduleSize = 4;
    int32_t margin = 10;
    COLORREF foreground = RGB(0, 0, 0);
    COLORREF background = RGB(255, 255, 255);
    uint32_t gifCodec = 0;  // 0 LZW, 1 plain codes, 2 run lengths
    bool pngInterlace = false;
    bool printCodewords = false;
    bool batch = false;      // one symbol per input line
    int32_t jobs = 0;        // worker threads for a batch; 0: one per core
    bool listSizes = false;  // print the size table and stop
    bool gs1 = false;        // the input is GS1 element strings in brackets
    bool utf8 = false;       // the input is UTF-8 text, announced by ECI 26
    std::optional<int32_t> eci;
    std::optional<double> xdimMillimetres;  // vector output: module width for print
};

// What the options say the bytes stand for.
DataMeaning MeaningOf(const Options& options);
bool IsVector(OutputKind kind);

inline constexpr int32_t kMaxJobs = 256;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Parses the command line; prints help or version and exits 0, or prints
// the reason and exits 2 for bad usage.
Options ParseOptions(int argc, char** argv);

// The output name of batch line `line` (1-based): every run of '#' in
// `pattern` becomes the number, zero-padded to the run's length.
std::string BatchOutputName(const std::string& pattern, int64_t line);

}  // namespace glyphrun::cli
