#include "options.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace glyphrun::cli {
namespace {

const char kUsage[] =
    "usage: glyphrun-cli [OPTIONS] [TEXT]\n"
    "Encodes TEXT (UTF-8 text unless --binary) into a Data Matrix ECC200 symbol.\n"
    "  -i, --input FILE   read the input from FILE ('-' standard input) instead of TEXT\n"
    "  -o, --output FILE  write the symbol as .png, .gif or .bmp, as vector graphics .svg or\n"
    "                     .eps, or the module image as binary .pgm (P5, 255 = light); '-'\n"
    "                     writes PNG to standard output\n"
    "  -m, --mode NAME    minimal (default), auto, ascii, c40, text, x12, edifact, base256\n"
    "      --lenient-end  minimal only: where the reader returns to ASCII by itself after\n"
    "                     C40, Text, X12 or EDIFACT, the last codewords may hold a digit pair\n"
    "                     or an Upper Shift too; now and then a smaller symbol that common\n"
    "                     readers decode, but outside the standard's end rules\n"
    "  -s, --size SIZE    square (default), rect, an index 0-29, or ROWSxCOLS such as 16x48\n"
    "      --module N     pixels per module, 1 or more (default 4)\n"
    "      --quiet-zone N quiet zone in modules on each side (default 2; readers need 1)\n"
    "      --margin N     the quiet zone in pixels instead, 0 or more\n"
    "      --fg RRGGBB    bar colour (default 000000)\n"
    "      --bg RRGGBB    background colour (default ffffff), RRGGBB00 or none for a transparent\n"
    "                     one (PNG, GIF, SVG, EPS); two colours too alike to scan\n"
    "                     (a contrast below 20%) are refused\n"
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
    "      --eci N        put the ECI designator N (0-999999) before the data, the text\n"
    "                     converted to its character set\n"
    "      --utf8         keep the text in UTF-8, announced by ECI 26 (as --eci 26)\n"
    "      --binary       take the bytes as they are: no conversion, no ECI of our own\n"
    "      --dpi N        the resolution that PNG and BMP files record (default 96)\n"
    "      --rotate DEG   turn the symbol clockwise by 0, 90, 180 or 270 degrees\n"
    "  -v, --verbose      say what was made: size, codewords, schemes, character set, file\n"
    "      --xdim MM      module width in millimetres: the unit of .svg and .eps (which otherwise\n"
    "                     take --module in pixels), and with --dpi a raster module's pixels\n"
    "  -h, --help         show this help;  --version  show the version\n"
    "TEXT, -i FILE and batch lines are UTF-8 text: encoded as ISO 8859-1 (what readers assume)\n"
    "when every character is at most U+00FF, else as UTF-8 under ECI 26; --binary takes the\n"
    "bytes exactly as given. File names are bytes as given.\n"
    "Without --output or --codewords the symbol's size is printed.\n"
    "Byte positions in messages count from 1. An existing output file is replaced only\n"
    "once the new one is complete.\n"
    "Exit status: 0 done; 1 an input could not be encoded or written (a message names it);\n"
    "2 bad usage. A batch goes on past a bad line (one longer than 65536 bytes, say),\n"
    "prints a summary, and exits 1 if any line failed; it stops at the first file that\n"
    "its output folder cannot take (missing, not writable, full).\n";

// Bad usage ends the parse at once; ParseOptions turns it into its result.
struct BadUsage {
    std::string message;
};

[[noreturn]] void UsageError(const std::string& message) { throw BadUsage{message}; }

// Digits only, with a '-' for a negative number: no spaces, no '+', so
// that what is accepted is exactly what is meant.
template <typename Number>
bool ParseWhole(std::string_view text, Number& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

int32_t ParseBounded(const char* option, const std::string& text, long low, long high) {
    long value = 0;
    if (!ParseWhole(text, value) || value < low || value > high)
        UsageError(std::string(option) + " takes a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high) + ", not '" + text + "'");
    return static_cast<int32_t>(value);
}

// The index of the symbol of `rows` x `cols` modules, or -1.
int32_t IndexOfDimensions(uint32_t rows, uint32_t cols) {
    for (int32_t index = 0; index < kSymbolSizeCount; ++index)
        if (QuerySymbolAttribute(SymbolAttribute::AttrSymbolRows, index) == static_cast<int32_t>(rows) &&
            QuerySymbolAttribute(SymbolAttribute::AttrSymbolCols, index) == static_cast<int32_t>(cols))
            return index;
    return -1;
}

int32_t ParseSize(const std::string& text) {
    if (text == "square") return kSmallestSquare;
    if (text == "rect") return kSmallestRectangle;
    const size_t x = text.find('x');
    uint32_t rows = 0, cols = 0, index = 0;
    if (x != std::string::npos && ParseWhole(std::string_view(text).substr(0, x), rows) &&
        ParseWhole(std::string_view(text).substr(x + 1), cols)) {
        const int32_t found = IndexOfDimensions(rows, cols);
        if (found < 0) UsageError("no symbol has the size '" + text + "' (--list-sizes shows them)");
        return found;
    }
    if (x == std::string::npos && ParseWhole(text, index) && index < static_cast<uint32_t>(kSymbolSizeCount))
        return static_cast<int32_t>(index);
    UsageError("--size takes square, rect, an index 0-" + std::to_string(kSymbolSizeCount - 1) +
               " or ROWSxCOLS such as 16x48, not '" + text + "'");
}

EncodeScheme ParseMode(const std::string& text) {
    static const std::pair<const char*, EncodeScheme> kModes[] = {
        {"auto", EncodeScheme::AutoBest}, {"minimal", EncodeScheme::AutoMinimal}, {"ascii", EncodeScheme::Ascii},
        {"c40", EncodeScheme::C40},       {"text", EncodeScheme::Text},           {"x12", EncodeScheme::X12},
        {"edifact", EncodeScheme::Edifact}, {"base256", EncodeScheme::Base256}};
    for (const auto& [name, scheme] : kModes)
        if (text == name) return scheme;
    UsageError("unknown mode '" + text + "' (use minimal, auto, ascii, c40, text, x12, edifact or base256)");
}

// RRGGBB, or RRGGBBAA with alpha ff (opaque) or, for the background, 00
// (transparent); the palette of a two-colour file has no partial alpha.
COLORREF ParseColor(const char* option, const std::string& text, bool* transparent = nullptr) {
    const bool hex = (text.size() == 6 || text.size() == 8) &&
                     text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (!hex)
        UsageError(std::string(option) + " takes a colour as RRGGBB or RRGGBBAA in hexadecimal" +
                   (transparent ? " or none" : "") + ", not '" + text + "'");
    const unsigned long value = std::strtoul(text.substr(0, 6).c_str(), nullptr, 16);
    const std::string alpha = text.size() == 8 ? text.substr(6) : "ff";
    if (alpha == "00" && transparent)
        *transparent = true;
    else if (alpha != "ff" && alpha != "FF")
        UsageError(std::string(option) + " takes alpha ff (opaque)" + (transparent ? " or 00 (transparent)" : "") +
                   ", not '" + alpha + "'");
    return RGB(static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value));
}

// The share of light a colour gives back, 0 to 1: sRGB made linear and
// weighted by the eye's response, close to what a scanner's sensor sees.
double Reflectance(COLORREF color) {
    const auto linear = [](uint8_t channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(GetRValue(color)) + 0.7152 * linear(GetGValue(color)) + 0.0722 * linear(GetBValue(color));
}

// Scanners grade a symbol by the difference of light and dark reflectance;
// below 20 % it fails, so such a pair would write a symbol nobody can read.
void CheckContrast(COLORREF foreground, COLORREF background) {
    constexpr double kLeastContrast = 0.20;
    const double contrast = std::abs(Reflectance(background) - Reflectance(foreground));
    if (contrast < kLeastContrast)
        UsageError("--fg and --bg are too close for a scanner: their contrast is " +
                   std::to_string(static_cast<int>(contrast * 100)) + "%, at least " +
                   std::to_string(static_cast<int>(kLeastContrast * 100)) + "% is needed");
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

int32_t ParseRotation(const std::string& text) {
    for (int32_t degrees : {0, 90, 180, 270})
        if (text == std::to_string(degrees)) return degrees;
    UsageError("--rotate takes 0, 90, 180 or 270 degrees, not '" + text + "'");
}

// Plain decimal notation only: no spaces, sign, exponent or hexadecimal.
double ParseMillimetres(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || stop != end || !(value >= 0.001 && value <= 1000))
        UsageError("--xdim takes a module width in millimetres from 0.001 to 1000, not '" + text + "'");
    return value;
}

void CheckMeaningAndSize(const Options& options) {
    if (options.gs1 && (options.eci || options.utf8))
        UsageError("GS1 data carries no ECI: --gs1 goes without --eci and --utf8");
    if (options.utf8 && options.eci) UsageError("--utf8 writes ECI 26 itself; leave out --eci");
    if (options.binary && options.utf8) UsageError("--binary takes the bytes as they are; --utf8 reads them as UTF-8");
    if (options.lenientEnd && options.scheme != EncodeScheme::AutoMinimal)
        UsageError("--lenient-end shapes the minimal encodation only: leave out --mode or give -m minimal");
    if (options.transparentBackground &&
        (options.outputKind == OutputKind::Bmp || options.outputKind == OutputKind::Pgm))
        UsageError("a transparent background needs .png, .gif, .svg or .eps; BMP and PGM have no transparency");
    if (options.xdimMillimetres && !options.outputPath)
        UsageError("--xdim sizes the output: give --output");
    if (options.xdimMillimetres && !IsVector(options.outputKind) && !options.dpi)
        UsageError("--xdim with a raster output needs --dpi: a module is then xdim x dpi / 25.4 pixels");
}

// The module's pixels for --xdim at --dpi on a raster output, refused below
// one; a warning when rounding moves the printed width by more than 5 %.
std::string PixelsForXdim(Options& options) {
    const double exact = *options.xdimMillimetres * *options.dpi / 25.4;
    const double pixels = std::round(exact);
    char text[160];
    if (pixels < 1 || pixels > kMaxImageSide) {
        std::snprintf(text, sizeof text, "--xdim %g at %d dpi is %.2f pixels a module; it must come to 1 to %d",
                      *options.xdimMillimetres, *options.dpi, exact, kMaxImageSide);
        UsageError(text);
    }
    options.moduleSize = static_cast<int32_t>(pixels);
    const double printed = pixels * 25.4 / *options.dpi;
    if (std::fabs(printed - *options.xdimMillimetres) <= 0.05 * *options.xdimMillimetres) return {};
    std::snprintf(text, sizeof text, "warning: --xdim %g at %d dpi is %d pixels a module, %.3f mm when printed",
                  *options.xdimMillimetres, *options.dpi, options.moduleSize, printed);
    return text;
}

void CheckBatch(const Options& options) {
    if (!options.outputPath || *options.outputPath == "-" || options.outputPath->find('#') == std::string::npos)
        UsageError("--batch needs --output with a run of '#' for the line number, such as label-####.png");
    if (options.printCodewords) UsageError("--codewords prints one symbol; it cannot be used with --batch");
}

CommandLine ReadCommandLine(int argc, char** argv) {
    enum LongOnly {
        kModule = 256, kMargin, kQuietZone, kForeground, kBackground, kGifCodec, kPngInterlace, kCodewords, kBatch, kListSizes,
        kGs1, kEci, kUtf8, kBinary, kXdim, kDpi, kRotate, kVersion, kLenientEnd
    };
    static const option kLongOptions[] = {
        {"input", required_argument, nullptr, 'i'},
        {"output", required_argument, nullptr, 'o'},
        {"mode", required_argument, nullptr, 'm'},
        {"lenient-end", no_argument, nullptr, kLenientEnd},
        {"size", required_argument, nullptr, 's'},
        {"module", required_argument, nullptr, kModule},
        {"margin", required_argument, nullptr, kMargin},
        {"quiet-zone", required_argument, nullptr, kQuietZone},
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
        {"binary", no_argument, nullptr, kBinary},
        {"xdim", required_argument, nullptr, kXdim},
        {"dpi", required_argument, nullptr, kDpi},
        {"rotate", required_argument, nullptr, kRotate},
        {"verbose", no_argument, nullptr, 'v'},
        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0}};
    CommandLine line;
    Options& options = line.options;
    std::optional<int32_t> margin;  // pixels, when --margin gives them
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":i:o:m:s:j:hv", kLongOptions, nullptr)) != -1) {
        switch (c) {
            case 'i': options.inputPath = optarg; break;
            case 'o':
                options.outputPath = optarg;
                options.outputKind = KindOfOutput(optarg);
                break;
            case 'm': options.scheme = ParseMode(optarg); break;
            case kLenientEnd: options.lenientEnd = true; break;
            case 's': options.size = ParseSize(optarg); break;
            case kModule: options.moduleSize = ParseBounded("--module", optarg, 1, kMaxImageSide); break;
            case kMargin: margin = ParseBounded("--margin", optarg, 0, kMaxImageSide); break;
            case kQuietZone: options.quietZone = ParseBounded("--quiet-zone", optarg, 0, kMaxImageSide); break;
            case kForeground: options.foreground = ParseColor("--fg", optarg); break;
            case kBackground:
                options.transparentBackground = std::string(optarg) == "none";
                if (!options.transparentBackground)
                    options.background = ParseColor("--bg", optarg, &options.transparentBackground);
                break;
            case kGifCodec: options.gifCodec = ParseGifCodec(optarg); break;
            case kPngInterlace: options.pngInterlace = true; break;
            case kCodewords: options.printCodewords = true; break;
            case kBatch: options.batch = true; break;
            case 'j': options.jobs = ParseBounded("--jobs", optarg, 1, kMaxJobs); break;
            case kListSizes: line.command = Command::ListSizes; break;
            case kGs1: options.gs1 = true; break;
            case kEci: options.eci = ParseBounded("--eci", optarg, 0, 999999); break;
            case kUtf8: options.utf8 = true; break;
            case kBinary: options.binary = true; break;
            case kXdim: options.xdimMillimetres = ParseMillimetres(optarg); break;
            case kDpi: options.dpi = ParseBounded("--dpi", optarg, 1, 100000); break;
            case kRotate: options.rotate = ParseRotation(optarg); break;
            case 'v': options.verbose = true; break;
            case 'h': return {Command::Help, options, "", ""};
            case kVersion: return {Command::Version, options, "", ""};
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
    if (line.command == Command::ListSizes) {
        if (options.text || options.inputPath) UsageError("--list-sizes takes no input");
        return line;
    }
    if (options.text && options.inputPath) UsageError("give either TEXT or --input, not both");
    if (!options.text && !options.inputPath) UsageError("no input: give TEXT or --input FILE");
    CheckMeaningAndSize(options);
    if (options.xdimMillimetres && !IsVector(options.outputKind)) line.warning = PixelsForXdim(options);
    options.margin = margin.value_or(options.quietZone * options.moduleSize);
    if (options.margin < options.moduleSize && line.warning.empty())
        line.warning = "warning: a quiet zone of " + std::to_string(options.margin) + " pixels is less than one module (" +
                       std::to_string(options.moduleSize) + " pixels); readers need at least one";
    CheckContrast(options.foreground, options.background);
    if (options.batch) CheckBatch(options);
    return line;
}

}  // namespace

CommandLine ParseOptions(int argc, char** argv) {
    try {
        return ReadCommandLine(argc, argv);
    } catch (const BadUsage& usage) {
        return {Command::Encode, Options{}, usage.message, ""};
    }
}

const char* HelpText() { return kUsage; }
const char* VersionText() { return "glyphrun-cli 0.1.0\n"; }

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
