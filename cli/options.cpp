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

#include "glyphrun/names.h"
#include "glyphrun/write.h"
#include "glyphrun/version.h"

namespace glyphrun::cli {
namespace {

const char kUsage[] = "usage: glyphrun-cli [OPTIONS] [TEXT]\n"
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
                      "  -s, --size SIZE    square (default), rect, dmre, an index 0-47, or ROWSxCOLS such as\n"
                      "                     16x48; dmre: the smallest rectangle, DMRE sizes included (ISO/IEC\n"
                      "                     21471, indexes 30-47, used only when asked for): -s dmre TEXT\n"
                      "      --dmre         with -s rect, the same as -s dmre: -s rect --dmre -o label.png TEXT\n"
                      "      --iso144       a 144x144 symbol's check codewords in the block order of the standard's\n"
                      "                     text; most readers read only the default order:\n"
                      "                     -s 144x144 --iso144 -i data.txt -o big.png\n"
                      "      --module N     pixels per module, 1 or more (default 4)\n"
                      "      --quiet-zone N quiet zone in modules on each side (default 2; readers need 1)\n"
                      "      --margin N     the quiet zone in pixels instead, 0 or more\n"
                      "      --fg RRGGBB    bar colour (default 000000)\n"
                      "      --bg RRGGBB    background colour (default ffffff), RRGGBB00 or none for a transparent\n"
                      "                     one (PNG, GIF, SVG, EPS); two colours too alike to scan\n"
                      "                     (a contrast below 20%) are refused\n"
                      "      --gif-codec lzw|plain|rle   GIF compression (default lzw)\n"
                      "      --png-interlace             write PNG with Adam7 interlacing\n"
                      "      --codewords    print the data codewords before padding in decimal on one line\n"
                      "                     for each symbol, then the symbols' ROWSxCOLS on the next line\n"
                      "      --batch        each input line (without its line end, \\n or \\r\\n) is one symbol;\n"
                      "                     every run of '#' in the output name becomes the line number,\n"
                      "                     zero-padded to the run's length (-o label-####.png)\n"
                      "  -j, --jobs N       worker threads for --batch (default: one per core); the files\n"
                      "                     are the same for any N\n"
                      "      --list-sizes   print the symbol sizes: index, ROWSxCOLS, data and error codewords,\n"
                      "                     and DMRE for the DMRE sizes\n"
                      "      --gs1          the input is GS1 element strings in brackets, such as\n"
                      "                     (01)09506000134352(17)261231(10)ABC123; they are checked first\n"
                      "      --eci N        put the ECI designator N (0-999999) before the data, the text\n"
                      "                     converted to its character set\n"
                      "      --utf8         keep the text in UTF-8, announced by ECI 26 (as --eci 26)\n"
                      "      --binary       take the bytes as they are: no conversion, no ECI of our own\n"
                      "      --dpi N        the resolution that PNG and BMP files record (default 96)\n"
                      "      --rotate DEG   turn the symbol clockwise by 0, 90, 180 or 270 degrees\n"
                      "      --no-macro     keep the header [)> RS 05 GS (or 06) and trailer RS EOT of a Macro\n"
                      "                     05/06 message as bytes, rather than the one codeword that stands\n"
                      "                     for them: --no-macro -i message.txt\n"
                      "      --reader-init  make a reader programming symbol (not with --gs1 or --structapp):\n"
                      "                     --reader-init -o setup.png 'SETUP'\n"
                      "      --structapp N  spread the input over N symbols (2-16) of the --size, or 'auto' for\n"
                      "                     as few as hold it; a reader joins them back. Each is a file of its\n"
                      "                     own: label-1.png, label-2.png ..., or the number at '#' in the name:\n"
                      "                     --structapp auto -s 144x144 -i long.txt -o label.png\n"
                      "      --structapp-id A,B  the message's identification in each of its symbols, two\n"
                      "                     numbers 1-254 (default: chosen at random): --structapp-id 17,42\n"
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

int32_t ParseSize(const std::string& text) {
    if (const std::optional<int32_t> size = SizeRequestOfName(text)) return *size;
    UsageError("--size takes square, rect, dmre, an index 0-" + std::to_string(kAllSymbolSizeCount - 1) +
               " or ROWSxCOLS such as 16x48 (--list-sizes shows them), not '" + text + "'");
}

EncodeScheme ParseMode(const std::string& text) {
    if (const std::optional<EncodeScheme> scheme = SchemeOfName(text)) return *scheme;
    UsageError("unknown mode '" + text + "' (use " + kSchemeNames + ")");
}

// RRGGBB, or RRGGBBAA with alpha ff (opaque) or, for the background, 00
// (transparent); the palette of a two-colour file has no partial alpha.
COLORREF ParseColor(const char* option, const std::string& text, bool* transparent = nullptr) {
    const std::optional<HexColour> colour = HexColourOf(text);
    if (!colour)
        UsageError(std::string(option) + " takes a colour as RRGGBB or RRGGBBAA in hexadecimal" +
                   (transparent ? " or none" : "") + ", not '" + text + "'");
    if (colour->alpha == 0 && transparent)
        *transparent = true;
    else if (colour->alpha != 0xFF)
        UsageError(std::string(option) + " takes alpha ff (opaque)" + (transparent ? " or 00 (transparent)" : "") +
                   ", not '" + text.substr(6) + "'");
    return RGB(static_cast<uint8_t>(colour->rgb >> 16), static_cast<uint8_t>(colour->rgb >> 8),
               static_cast<uint8_t>(colour->rgb));
}

void CheckContrast(const Options& options) {
    Style colours;
    colours.foreground = ToRrggbb(options.foreground);
    colours.background = ToRrggbb(options.background);
    colours.backgroundAlpha = options.transparentBackground ? 0 : 255;
    const double contrast = ScanContrast(colours);
    if (contrast < kLeastContrast)
        UsageError(
            "--fg and --bg are too close for a scanner: their contrast is " +
            std::to_string(static_cast<int>(contrast * 100)) + "%, at least " +
            std::to_string(static_cast<int>(kLeastContrast * 100)) + "% is needed" +
            (options.transparentBackground ? " (a transparent background counts as the white it is printed on)" : ""));
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

int32_t ParseSymbolCount(const std::string& text) {
    int32_t count = 0;
    if (text == "auto") return 0;
    if (!ParseWhole(text, count) || count < 2 || count > kMaxAppendSymbols)
        UsageError("--structapp takes a number of symbols from 2 to " + std::to_string(kMaxAppendSymbols) +
                   " or auto, not '" + text + "'");
    return count;
}

std::pair<uint8_t, uint8_t> ParseFileId(const std::string& text) {
    const size_t comma = text.find(',');
    uint8_t first = 0, second = 0;
    if (comma == std::string::npos || !ParseWhole(std::string_view(text).substr(0, comma), first) ||
        !ParseWhole(std::string_view(text).substr(comma + 1), second) || first < 1 || first > 254 || second < 1 ||
        second > 254)
        UsageError("--structapp-id takes two numbers from 1 to 254 as A,B, not '" + text + "'");
    return {first, second};
}

// Reader programming, Structured Append and GS1 each claim the symbol's
// first codeword; a message over several symbols makes several files.
void CheckReaderInitAndStructuredAppend(const Options& options) {
    if (options.readerInit && options.gs1)
        UsageError("a reader programming symbol carries no GS1 data: --reader-init goes without --gs1");
    if (options.readerInit && options.structuredAppend)
        UsageError("a reader programming symbol stands alone: --reader-init goes without --structapp");
    if (options.fileId && !options.structuredAppend)
        UsageError("--structapp-id names the symbols of --structapp; give that too");
    if (options.structuredAppend && options.batch)
        UsageError("--structapp makes several symbols of one input; it cannot be used with --batch");
    if (options.structuredAppend && options.outputPath && *options.outputPath == "-")
        UsageError("--structapp writes a file for each symbol: give --output a file name, not '-'");
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
    if (options.dmre && options.size != kSmallestRectangle && options.size != kSmallestRectangleOrDmre)
        UsageError("--dmre goes with -s rect: it lets the smallest rectangle be a DMRE size too");
    if (options.xdimMillimetres && !options.outputPath) UsageError("--xdim sizes the output: give --output");
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
    if (options.text)
        UsageError("--batch reads a symbol from each line of --input FILE ('-': standard input), not TEXT");
    if (!options.outputPath || *options.outputPath == "-" || options.outputPath->find('#') == std::string::npos)
        UsageError("--batch needs --output with a run of '#' for the line number, such as label-####.png");
    if (options.printCodewords) UsageError("--codewords prints one symbol; it cannot be used with --batch");
}

CommandLine ReadCommandLine(int argc, char** argv) {
    // clang-format off
    enum LongOnly {
        kModule = 256, kMargin, kQuietZone, kForeground, kBackground, kGifCodec, kPngInterlace, kCodewords, kBatch, kListSizes,
        kGs1, kEci, kUtf8, kBinary, kXdim, kDpi, kRotate, kNoMacro, kReaderInit, kStructApp, kStructAppId, kVersion,
        kDmre, kIso144, kLenientEnd
    };
    // clang-format on
    static const option kLongOptions[] = {{"input", required_argument, nullptr, 'i'},
                                          {"output", required_argument, nullptr, 'o'},
                                          {"mode", required_argument, nullptr, 'm'},
                                          {"lenient-end", no_argument, nullptr, kLenientEnd},
                                          {"size", required_argument, nullptr, 's'},
                                          {"dmre", no_argument, nullptr, kDmre},
                                          {"iso144", no_argument, nullptr, kIso144},
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
                                          {"no-macro", no_argument, nullptr, kNoMacro},
                                          {"reader-init", no_argument, nullptr, kReaderInit},
                                          {"structapp", required_argument, nullptr, kStructApp},
                                          {"structapp-id", required_argument, nullptr, kStructAppId},
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
            case kDmre: options.dmre = true; break;
            case kIso144: options.iso144 = true; break;
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
            case kNoMacro: options.detectMacro = false; break;
            case kReaderInit: options.readerInit = true; break;
            case kStructApp: options.structuredAppend = ParseSymbolCount(optarg); break;
            case kStructAppId: options.fileId = ParseFileId(optarg); break;
            case 'v': options.verbose = true; break;
            case 'h': return {Command::Help, options, {}};
            case kVersion: return {Command::Version, options, {}};
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
    CheckReaderInitAndStructuredAppend(options);
    if (options.xdimMillimetres && !IsVector(options.outputKind)) options.pictureWarning = PixelsForXdim(options);
    options.margin = margin.value_or(options.quietZone * options.moduleSize);
    if (options.margin < options.moduleSize && options.pictureWarning.empty())
        options.pictureWarning = "warning: a quiet zone of " + std::to_string(options.margin) +
                                 " pixels is less than one module (" + std::to_string(options.moduleSize) +
                                 " pixels); readers need at least one";
    CheckContrast(options);
    if (options.batch) CheckBatch(options);
    return line;
}

}  // namespace

CommandLine ParseOptions(int argc, char** argv) {
    try {
        return ReadCommandLine(argc, argv);
    } catch (const BadUsage& usage) {
        return {Command::Encode, Options{}, Status::Failed(CliError::Usage, usage.message)};
    }
}

const char* HelpText() { return kUsage; }
const char* VersionText() { return "glyphrun-cli " GLYPHRUN_VERSION "\n"; }

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

std::string PartOutputName(const std::string& path, int32_t part) {
    if (path.find('#') != std::string::npos) return BatchOutputName(path, part);
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path.size() : dot;
    return path.substr(0, at) + "-" + std::to_string(part) + path.substr(at);
}

}  // namespace glyphrun::cli
