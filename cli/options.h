// glyphrun-cli's command line.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "glyphrun/ecc200.h"
#include "glyphrun/names.h"
#include "glyphrun/write.h"
#include "report.h"

namespace glyphrun::cli {

struct Options {
    std::optional<std::string> text;
    std::optional<std::string> inputPath;
    std::optional<std::string> outputPath;  // "-": PNG to standard output
    Format format = Format::Png;
    EncodeScheme scheme = EncodeScheme::AutoMinimal;
    bool lenientEnd = false;  // the minimal encodation's end forms beyond the standard's
    int32_t size = kSmallestSquare;
    bool dmre = false;    // -s rect chooses among the DMRE sizes too
    bool iso144 = false;  // 144 x 144 with the block layout of the standard's text
    int32_t moduleSize = 4;
    int32_t quietZone = 2;           // modules of background on each side, unless --margin gives pixels
    int32_t margin = 8;              // pixels: --margin, or the quiet zone at the module size
    uint32_t foreground = 0x000000;  // 0xRRGGBB
    uint32_t background = 0xFFFFFF;
    bool transparentBackground = false;  // --bg none, or alpha 00
    GifCodes gifCodes = GifCodes::Lzw;
    bool pngInterlace = false;
    bool printCodewords = false;
    bool verbose = false;                     // a line on standard error for each symbol made
    bool batch = false;                       // one symbol per input line
    bool csv = false;                         // the batch's input is CSV with a header row: one symbol per row
    std::optional<std::string> dataTemplate;  // --csv: the data from the row's columns; default the first
    bool makeFolders = false;                 // --mkdir: the outputs' missing folders are made
    bool verify = false;                      // --verify: each symbol read back before its file is kept
    std::optional<std::string> reportPath;    // --report: a JSON line for each symbol; "-": standard output
    int32_t jobs = 0;                         // worker threads for a batch; 0: one per core
    bool gs1 = false;                         // the input is GS1 element strings in brackets
    bool gs1NoCheck = false;                  // GS1 syntax only: no check digits, dates or times
    bool gs1Gs = false;                       // GS1 fields separated by the GS character, not FNC1
    bool utf8 = false;                        // the text stays UTF-8, announced by ECI 26
    bool binary = false;                      // the bytes as they are: no conversion
    bool escapes = false;                     // --esc: backslash escapes in the input are read
    std::optional<int32_t> eci;
    bool eciAuto = false;  // --eci auto: the ECI of the smallest symbol
    // --seg ECI:TEXT: the parts of a symbol of several character sets, each
    // text (UTF-8) converted to its ECI's set.
    std::vector<std::pair<int32_t, std::string>> segments;
    std::optional<double> xdimMillimetres;    // module width for print: vector units, or pixels at the resolution
    std::optional<PageSize> page;             // PDF: the page the symbol is centred on (each label's, in a document)
    std::optional<PageSize> sheet;            // PDF: a sheet of labels in a grid
    int32_t gridColumns = 1, gridRows = 1;    // the sheet's labels across and down
    double sheetMargin = 0, gap = 0;          // millimetres around the grid and between its cells
    bool hri = false;                         // the data printed under the symbol
    std::optional<std::string> caption;       // a line of free text under the symbol (and the data)
    double fontSize = 0;                      // points; 0: to fit the symbol
    std::string fontFile;                     // raster text: a font file instead of DejaVu Sans
    Inks inks;                                // EPS and PDF: --cmyk, and colours given as cmyk:C,M,Y,K
    std::optional<int32_t> dpi;               // raster resolution recorded in the file (PNG, BMP)
    int32_t rotate = 0;                       // degrees clockwise: 0, 90, 180 or 270
    bool detectMacro = true;                  // off: --no-macro keeps a Macro 05/06 header and trailer as bytes
    bool readerInit = false;                  // a reader programming symbol
    std::optional<int32_t> structuredAppend;  // symbols of the message, 2-16; 0: as few as hold it
    std::optional<std::pair<uint8_t, uint8_t>> fileId;  // of a Structured Append message; random when not given
    // A setting that works but may not scan well, in one line when not
    // empty: told with the first file written, and not at all when none is.
    std::string pictureWarning;
};

inline constexpr int32_t kMaxJobs = 256;

// Whether the output is one PDF of many labels: a batch's or the symbols of
// a Structured Append message, the output named without a '#'.
bool OneDocument(const Options& options);

enum class Command { Encode, ListSizes, Help, Version };

struct CommandLine {
    Command command = Command::Encode;
    Options options;
    Status status;  // a failure is bad usage (CliError::Usage), in one line
};

// Reads the arguments after the program's name; nothing is printed.
CommandLine ParseOptions(std::span<const std::string> arguments);
// An option by its long name ("mode", "gs1") and value; a flag's is "1"
// for given, "0" for not.
struct NamedOption {
    std::string_view name;
    std::string value;
};
// The options of `named` read by the command line's rules and checks, in
// order, for the TEXT `text` and a file of `format` (as -o symbol.png
// would give it): what the service's query asks. A refusal about one option names it in `field`, which is
// left empty for one about the options together.
CommandLine ParseNamedOptions(std::span<const NamedOption> named, std::string_view text, Format format,
                              std::string* field = nullptr);
// --help, made from the options' declarations.
std::string HelpText();
const char* VersionText();

// The output name of batch line `line` (1-based): every run of '#' in
// `pattern` becomes the number, zero-padded to the run's length.
std::string BatchOutputName(const std::string& pattern, int64_t line);

// The output name of symbol `part` (1-based) of a Structured Append
// message: the batch naming when `path` has a '#', else "-N" before the
// extension (label.png: label-1.png, label-2.png).
std::string PartOutputName(const std::string& path, int32_t part);

}  // namespace glyphrun::cli
