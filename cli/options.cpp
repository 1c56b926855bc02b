#include "options.h"

#include <getopt.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <utility>

namespace glyphrun::cli {
namespace {

const char kUsage[] =
    "usage: glyphrun-cli [OPTIONS] [TEXT]\n"
    "Encodes TEXT (taken as bytes exactly as given) into a Data Matrix ECC200 symbol.\n"
    "  -i, --input FILE   read the bytes from FILE ('-' standard input) instead of TEXT\n"
    "  -o, --output FILE  write the symbol as .png, .gif or .bmp, as vector graphics .svg or\n"
    "                     .eps, or the module image as binary .pgm (P5, 255 = light); '-'\n"
    "                     writes PNG to standard output\n"
    "  -m, --mode NAME    auto (default), minimal, ascii, c40, text, x12, edifact, base256\n"
    "  -s, --size SIZE    square (default), rect, an index 0-29, or ROWSxCOLS such as 16x48\n"
    "      --module N     pixels per module, 1 or more (default 4)\n"
    "      --margin N     quiet zone in pixels, 0 or more (default 10)\n"
    "      --fg RRGGBB    bar colour (default 000000)\n"
    "      --bg RRGGBB    background colour (default ffffff)\n"
    "      --gif-codec lzw|plain|rle   GIF compression (default lzw)\n"
    "      --png-interlace             write PNG with Adam7 interlacing\n"
    "      --codewords    print the data codewords before padding in decimal on one line,\n"
    "                     then the symbol's ROWSxCOLS on the next line\n"
    "      --batch        each input line (without its line end, \\n or \\r\\n) is one symbol;\n"
    "                     every run of '#' in the output name becomes the line number,\n"
    "                     zero-padded to the run's length (-o label-####.png)\n"
    "  -j, --jobs N       worker threads for --batch (default: one per core); the files\n"
    "                     are the same for any N\n"
    "      --list-sizes   print the symbol sizes: index, ROWSxCOLS, data and error codewords\n"
    "      --gs1          the input is GS1 element strings in brackets, such as\n"
    "                     (01)09506000134352(17)261231(10)ABC123; they are checked first\n"
    "      --eci N        put the ECI designator N (0-999999) before the data\n"
    "      --utf8         the input is UTF-8 text: checked, and announced by ECI 26\n"
    "      --xdim MM      module width in millimetres, for .svg and .eps (which otherwise\n"
    "                     take --module in pixels; the quiet zone keeps its width in modules)\n"
    "  -h, --help         show this help;  --version  show the version\n"
    "TEXT, file names and every other argument are taken as bytes exactly as given: no\n"
    "character set is assumed and nothing is converted, so a UTF-8 terminal gives UTF-8 bytes.\n"
    "Without --output or --codewords the symbol's size is printed.\n"
    "Byte positions in messages count from 1. An existing output file is replaced only\n"
    "once the new one is complete.\n"
    "Exit status: 0 done; 1 an input could not be encoded or written (a message names it);\n"
    "2 bad usage. A batch goes on past a bad line, prints a summary, and exits 1 if any\n"
    "line failed.\n";

[[noreturn]] void UsageError(const std::string& message) {
    std::fprintf(stderr, "glyphrun-cli: %s\nTry 'glyphrun-cli --help' for more information.\n", message.c_str());
    std::exit(kExitUsage);
}

int32_t ParseBounded(const char* option, const char* text, long low, long high) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < low || value > high)
        UsageError(std::string(option) + " takes a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high) + ", not '" + text + "'");
    return static_cast<int32_t>(value);
}

// The index of the symbol of ROWSxCOLS modules; -1 when the text is not of
// that form or no symbol has that size.
int32_t IndexOfDimensions(const std::string& text) {
    unsigned rows = 0, cols = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "%3ux%3u%c", &rows, &cols, &rest) != 2) return -1;
    for (int32_t index = 0; index < kSymbolSizeCount; ++index)
        if (QuerySymbolAttribute(SymbolAttribute::AttrSymbolRows, index) == static_cast<int32_t>(rows) &&
            QuerySymbolAttribute(SymbolAttribute::AttrSymbolCols, index) == static_cast<int32_t>(cols))
            return index;
    return -1;
}

int32_t ParseSize(const std::string& text) {
    if (text == "square") return kSmallestSquare;
    if (text == "rect") return kSmallestRectangle;
    if (text.find('x') != std::string::npos) {
        const int32_t index = IndexOfDimensions(text);
        if (index < 0) UsageError("no symbol has the size '" + text + "' (--list-sizes shows them)");
        return index;
    }
    return ParseBounded("--size", text.c_str(), 0, kSymbolSizeCount - 1);
}

EncodeScheme ParseMode(const std::string& text) {
    static const std::pair<const char*, EncodeScheme> kModes[] = {
        {"auto", EncodeScheme::AutoBest}, {"minimal", EncodeScheme::AutoMinimal}, {"ascii", EncodeScheme::Ascii},
        {"c40", EncodeScheme::C40},       {"text", EncodeScheme::Text},           {"x12", EncodeScheme::X12},
        {"edifact", EncodeScheme::Edifact}, {"base256", EncodeScheme::Base256}};
    for (const auto& [name, scheme] : kModes)
        if (text == name) return scheme;
    UsageError("unknown mode '" + text + "' (use auto, minimal, ascii, c40, text, x12, edifact or base256)");
}

COLORREF ParseColor(const char* option, const std::string& text) {
    const bool hex = text.size() == 6 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (!hex) UsageError(std::string(option) + " takes a colour as RRGGBB in hexadecimal, not '" + text + "'");
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 16);
    return RGB(static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value));
}

uint32_t ParseGifCodec(const std::string& text) {
    if (text == "lzw") return 0;
    if (text == "plain") return 1;
    if (text == "rle") return 2;
    UsageError("unknown GIF codec '" + text + "' (use lzw, plain or rle)");
}

OutputKind KindOfOutput(const std::string& path) {
    if (path == "-") return OutputKind::Png;
    const auto dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "png") return OutputKind::Png;
    if (extension == "gif") return OutputKind::Gif;
    if (extension == "bmp") return OutputKind::Bmp;
    if (extension == "pgm") return OutputKind::Pgm;
    if (extension == "svg") return OutputKind::Svg;
    if (extension == "eps") return OutputKind::Eps;
    UsageError("the output '" + path + "' must end in .png, .gif, .bmp, .svg, .eps or .pgm");
}

double ParseMillimetres(const char* text) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= 0.001 && value <= 1000))
        UsageError(std::string("--xdim takes a module width in millimetres from 0.001 to 1000, not '") + text + "'");
    return value;
}

void CheckMeaningAndSize(const Options& options) {
    if (options.gs1 && (options.eci || options.utf8))
        UsageError("GS1 data carries no ECI: --gs1 goes without --eci and --utf8");
    if (options.utf8 && options.eci) UsageError("--utf8 writes ECI 26 itself; leave out --eci");
    if (options.xdimMillimetres && (!options.outputPath || !IsVector(options.outputKind)))
        UsageError("--xdim sizes vector output: give --output with .svg or .eps");
}

void CheckBatch(const Options& options) {
    if (!options.outputPath || *options.outputPath == "-" || options.outputPath->find('#') == std::string::npos)
        UsageError("--batch needs --output with a run of '#' for the line number, such as label-####.png");
    if (options.printCodewords) UsageError("--codewords prints one symbol; it cannot be used with --batch");
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
    enum LongOnly {
        kModule = 256, kMargin, kForeground, kBackground, kGifCodec, kPngInterlace, kCodewords, kBatch, kListSizes,
        kGs1, kEci, kUtf8, kXdim, kVersion
    };
    static const option kLongOptions[] = {
        {"input", required_argument, nullptr, 'i'},
        {"output", required_argument, nullptr, 'o'},
        {"mode", required_argument, nullptr, 'm'},
        {"size", required_argument, nullptr, 's'},
        {"module", required_argument, nullptr, kModule},
        {"margin", required_argument, nullptr, kMargin},
        {"fg", required_argument, nullptr, kForeground},
        {"bg", required_argument, nullptr, kBackground},
        {"gif-codec", required_argument, nullptr, kGifCodec},
        {"png-interlace", no_argument, nullptr, kPngInterlace},
        {"codewords", no_argument, nullptr, kCodewords},
        {"batch", no_argument, nullptr, kBatch},
        {"jobs", required_argument, nullptr, 'j'},
        {"list-sizes", no_argument, nullptr, kListSizes},
        {"gs1", no_argument, nullptr, kGs1},
        {"eci", required_argument, nullptr, kEci},
        {"utf8", no_argument, nullptr, kUtf8},
        {"xdim", required_argument, nullptr, kXdim},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0}};
    Options options;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":i:o:m:s:j:h", kLongOptions, nullptr)) != -1) {
        switch (c) {
            case 'i': options.inputPath = optarg; break;
            case 'o':
                options.outputPath = optarg;
                options.outputKind = KindOfOutput(optarg);
                break;
            case 'm': options.scheme = ParseMode(optarg); break;
            case 's': options.size = ParseSize(optarg); break;
            case kModule: options.moduleSize = ParseBounded("--module", optarg, 1, kMaxImageSide); break;
            case kMargin: options.margin = ParseBounded("--margin", optarg, 0, kMaxImageSide); break;
            case kForeground: options.foreground = ParseColor("--fg", optarg); break;
            case kBackground: options.background = ParseColor("--bg", optarg); break;
            case kGifCodec: options.gifCodec = ParseGifCodec(optarg); break;
            case kPngInterlace: options.pngInterlace = true; break;
            case kCodewords: options.printCodewords = true; break;
            case kBatch: options.batch = true; break;
            case 'j': options.jobs = ParseBounded("--jobs", optarg, 1, kMaxJobs); break;
            case kListSizes: options.listSizes = true; break;
            case kGs1: options.gs1 = true; break;
            case kEci: options.eci = ParseBounded("--eci", optarg, 0, 999999); break;
            case kUtf8: options.utf8 = true; break;
            case kXdim: options.xdimMillimetres = ParseMillimetres(optarg); break;
            case 'h': std::fputs(kUsage, stdout); std::exit(0);
            case kVersion: std::puts("glyphrun-cli 0.1.0"); std::exit(0);
            case ':': UsageError(std::string("option '") + argv[optind - 1] + "' needs a value");
            default:
                // optopt names a bad short option; a bad long one is the word just read.
                UsageError("invalid option '" +
                           (optopt > 0 && optopt < 128 && std::isalnum(optopt) ? std::string("-") + char(optopt)
                                                                               : std::string(argv[optind - 1])) +
                           "'");
        }
    }
    const int remaining = argc - optind;
    if (remaining > 1) UsageError("give the text as one argument (quote it if it has spaces)");
    if (remaining == 1) options.text = argv[optind];
    if (options.listSizes) {
        if (options.text || options.inputPath) UsageError("--list-sizes takes no input");
        return options;
    }
    if (options.text && options.inputPath) UsageError("give either TEXT or --input, not both");
    if (!options.text && !options.inputPath) UsageError("no input: give TEXT or --input FILE");
    CheckMeaningAndSize(options);
    if (options.batch) CheckBatch(options);
    return options;
}

DataMeaning MeaningOf(const Options& options) {
    constexpr int32_t kUtf8Eci = 26;
    DataMeaning meaning{};
    meaning.gs1 = options.gs1;
    meaning.eciGiven = options.utf8 || options.eci.has_value();
    meaning.eci = options.utf8 ? kUtf8Eci : options.eci.value_or(0);
    return meaning;
}

bool IsVector(OutputKind kind) { return kind == OutputKind::Svg || kind == OutputKind::Eps; }

std::string BatchOutputName(const std::string& pattern, int64_t line) {
    const std::string number = std::to_string(line);
    std::string name;
    for (size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '#') {
            name += pattern[i++];
            continue;
        }
        const size_t run = std::min(pattern.find_first_not_of('#', i), pattern.size()) - i;
        if (number.size() < run) name.append(run - number.size(), '0');
        name += number;
        i += run;
    }
    return name;
}

}  // namespace glyphrun::cli
