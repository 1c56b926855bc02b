#include "options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "glyphrun/decimal.h"
#include "glyphrun/names.h"
#include "glyphrun/version.h"
#include "glyphrun/write.h"
#include "verify.h"

namespace glyphrun::cli {
namespace {

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
// With `inks`, cmyk:C,M,Y,K too: the inks, and the colour they print for
// the contrast check.
uint32_t ParseColor(const char* option, const std::string& text, bool* transparent = nullptr,
                    std::optional<CmykColour>* inks = nullptr) {
    if (const std::optional<std::array<double, 4>> given = InksOf(text); given && inks) {
        *inks = CmykColour{(*given)[0], (*given)[1], (*given)[2], (*given)[3]};
        return RgbOf(**inks);
    }
    const std::optional<HexColour> colour = HexColourOf(text);
    if (!colour)
        UsageError(std::string(option) + " takes a colour as RRGGBB or RRGGBBAA in hexadecimal" +
                   (transparent ? " or none" : "") + " or as cmyk:C,M,Y,K in percent, not '" + text + "'");
    if (colour->alpha == 0 && transparent)
        *transparent = true;
    else if (colour->alpha != 0xFF)
        UsageError(std::string(option) + " takes alpha ff (opaque)" + (transparent ? " or 00 (transparent)" : "") +
                   ", not '" + text.substr(6) + "'");
    return colour->rgb;
}

void CheckContrast(const Options& options) {
    Style colours;
    colours.foreground = options.foreground;
    colours.background = options.background;
    colours.backgroundAlpha = options.transparentBackground ? 0 : 255;
    const double contrast = ScanContrast(colours);
    if (contrast < kLeastContrast)
        UsageError(
            "--fg and --bg are too close for a scanner: their contrast is " +
            std::to_string(static_cast<int>(contrast * 100)) + "%, at least " +
            std::to_string(static_cast<int>(kLeastContrast * 100)) + "% is needed" +
            (options.transparentBackground ? " (a transparent background counts as the white it is printed on)" : ""));
}

GifCodes ParseGifCodec(const std::string& text) {
    if (text == "lzw") return GifCodes::Lzw;
    if (text == "plain") return GifCodes::Plain;
    if (text == "rle") return GifCodes::RunLength;
    UsageError("unknown GIF codec '" + text + "' (use lzw, plain or rle)");
}

Format FormatOfOutput(const std::string& path) {
    if (path == "-") return Format::Png;
    if (const std::optional<Format> format = FormatOfPath(path)) return *format;
    UsageError("the output '" + path + "' must end in .png, .gif, .bmp, .svg, .eps, .pdf or .pgm");
}

std::pair<int32_t, std::string> ParseSegment(const std::string& text) {
    const size_t colon = text.find(':');
    int32_t eci = -1;
    if (colon == std::string::npos || !ParseWhole(std::string_view(text).substr(0, colon), eci) || eci < 0 ||
        eci > 999999)
        UsageError("--seg takes ECI:TEXT, an ECI number 0-999999 and its text, such as 7:Привет, not '" + text + "'");
    return {eci, text.substr(colon + 1)};
}

int32_t ParseRotation(const std::string& text) {
    for (int32_t degrees : {0, 90, 180, 270})
        if (text == std::to_string(degrees)) return degrees;
    UsageError("--rotate takes 0, 90, 180 or 270 degrees, not '" + text + "'");
}

PageSize ParsePage(const std::string& text, const char* option = "--page") {
    if (const std::optional<PageSize> page = PageSizeOfName(text)) return *page;
    UsageError(std::string(option) + " takes " + std::string(kPageNames) + ", each side at most 5 m, not '" + text +
               "'");
}

// Plain decimal notation only: no spaces, sign, exponent or hexadecimal.
double ParseDecimal(const char* option, const char* what, const std::string& text, double low, double high) {
    const std::optional<double> value = ReadFixedDecimal(text);
    if (!value || !(*value >= low && *value <= high)) {
        char range[64];
        std::snprintf(range, sizeof range, " from %g to %g", low, high);
        UsageError(std::string(option) + " takes " + what + range + ", not '" + text + "'");
    }
    return *value;
}

double ParseMillimetres(const std::string& text) {
    return ParseDecimal("--xdim", "a module width in millimetres", text, 0.001, 1000);
}

// COLSxROWS, each 1 to 100.
std::pair<int32_t, int32_t> ParseGrid(const std::string& text) {
    const size_t x = text.find('x');
    int32_t columns = 0, rows = 0;
    if (x == std::string::npos || !ParseWhole(std::string_view(text).substr(0, x), columns) ||
        !ParseWhole(std::string_view(text).substr(x + 1), rows) || columns < 1 || rows < 1 || columns > 100 ||
        rows > 100)
        UsageError("--grid takes COLSxROWS, labels across and down, each 1 to 100, such as 3x8, not '" + text + "'");
    return {columns, rows};
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
    if ((options.gs1NoCheck || options.gs1Gs) && !options.gs1)
        UsageError("--gs1-nocheck and --gs1-gs read --gs1 data: give --gs1 too");
    if (options.eciAuto && (options.gs1 || options.utf8 || options.binary || options.structuredAppend))
        UsageError("--eci auto chooses the character set of text in one symbol: not with --gs1, --utf8, --binary "
                   "or --structapp");
    if (options.gs1 && (options.eci || options.utf8))
        UsageError("GS1 data carries no ECI: --gs1 goes without --eci and --utf8");
    if (options.utf8 && options.eci) UsageError("--utf8 writes ECI 26 itself; leave out --eci");
    if (options.binary && options.utf8) UsageError("--binary takes the bytes as they are; --utf8 reads them as UTF-8");
    if (options.lenientEnd && options.scheme != EncodeScheme::AutoMinimal)
        UsageError("--lenient-end shapes the minimal encodation only: leave out --mode or give -m minimal");
    if (options.transparentBackground && (options.format == Format::Bmp || options.format == Format::Pgm))
        UsageError("a transparent background needs .png, .gif, .svg, .eps or .pdf; BMP and PGM have no transparency");
    if (options.dmre && options.size != kSmallestRectangle && options.size != kSmallestRectangleOrDmre)
        UsageError("--dmre goes with -s rect: it lets the smallest rectangle be a DMRE size too");
    if (options.xdimMillimetres && !options.outputPath) UsageError("--xdim sizes the output: give --output");
    if (options.page && (!options.outputPath || options.format != Format::Pdf))
        UsageError("--page is the page of a .pdf output");
    if (options.inks.cmyk && (!options.outputPath || (options.format != Format::Eps && options.format != Format::Pdf)))
        UsageError("--cmyk colours an .eps or .pdf output; PNG, GIF, BMP, PGM and SVG have RGB only");
    if ((options.inks.foreground || options.inks.background) && !options.inks.cmyk)
        UsageError("cmyk: colours need --cmyk");
    if (options.xdimMillimetres && !IsVector(options.format) && !options.dpi)
        UsageError("--xdim with a raster output needs --dpi: a module is then xdim x dpi / 25.4 pixels");
}

void CheckLabel(const Options& options) {
    const bool text = options.hri || options.caption;
    if (text && !options.outputPath) UsageError("--hri and --caption print text on the label: give --output");
    if (text && options.format == Format::Pgm)
        UsageError("--hri and --caption print text on a label; .pgm is the module image alone");
    if ((options.fontSize > 0 || !options.fontFile.empty()) && !text)
        UsageError("--font-size and --font size the text of --hri or --caption; give one of those");
    if (!options.fontFile.empty() && IsVector(options.format))
        UsageError("--font is the font of .png, .gif and .bmp text; .pdf and .eps use Helvetica and .svg the "
                   "viewer's");
    if (options.hri && options.structuredAppend)
        UsageError("--hri prints a symbol's data, but each symbol of --structapp holds a piece of it: use --caption");
    const bool document = options.outputPath && OneDocument(options);
    if (options.sheet && !document)
        UsageError("--sheet lays out the labels of --batch or --structapp in one .pdf named without '#'");
    if (options.sheet && options.page) UsageError("--page gives each label a page, --sheet a grid of them: give one");
    if (!options.sheet &&
        (options.gridColumns != 1 || options.gridRows != 1 || options.sheetMargin > 0 || options.gap > 0))
        UsageError("--grid, --sheet-margin and --gap lay out a --sheet; give that too");
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
    const bool named = options.outputPath && (options.outputPath->find('#') != std::string::npos ||
                                              (options.csv && options.outputPath->find('{') != std::string::npos));
    if (!options.outputPath || *options.outputPath == "-" || (!named && options.format != Format::Pdf))
        UsageError("--batch needs --output with a run of '#' for the line number, such as label-####.png (with "
                   "--csv, or a {column}), or one .pdf for all");
    if (options.printCodewords) UsageError("--codewords prints one symbol; it cannot be used with --batch");
}

void CheckVerify(const Options& options) {
    if (!options.verify) return;
    if (!options.outputPath) UsageError("--verify reads back the symbols written: give --output");
    if (const Status ready = VerifierReady(); !ready) UsageError(ready.reason());
}

void CheckCsv(const Options& options) {
    if (options.reportPath && *options.reportPath == "-" && options.outputPath && *options.outputPath == "-")
        UsageError("--report - and --output - would share standard output: give one a file");
    if (options.reportPath && !options.outputPath)
        UsageError("--report records the files written: give --output (without it the size is printed)");
    if (options.csv && !options.batch) UsageError("--csv reads the rows of a --batch input: give --batch too");
    if (options.dataTemplate && !options.csv) UsageError("--data composes a CSV row's data: give --csv too");
}

// What the parse has read so far.
struct Parsing {
    CommandLine line;
    std::optional<int32_t> margin;  // pixels, when --margin gives them
};

// An option as the user sees it: its names, the name of its value (none
// for a flag), its lines of help, and what its value does to the parse.
struct Declaration {
    const char* names;
    const char* value;
    const char* help;  // lines after the first are indented under it
    void (*take)(Parsing& parsing, const std::string& value);
};

// Every option, once, in the order --help lists them.
// clang-format off
const Declaration kDeclarations[] = {
    {"-i,--input", "FILE", "read the input from FILE ('-' standard input) instead of TEXT",
     [](Parsing& p, const std::string& v) { p.line.options.inputPath = v; }},
    {"-o,--output", "FILE",
     "write the symbol as .png, .gif or .bmp, as vector graphics .svg,\n"
     ".eps or .pdf (one page the size of the symbol), or the module image\n"
     "as binary .pgm (P5, 255 = light); '-' writes PNG to standard output",
     [](Parsing& p, const std::string& v) {
         p.line.options.outputPath = v;
         p.line.options.format = FormatOfOutput(v);
     }},
    {"-m,--mode", "NAME", "minimal (default), auto, ascii, c40, text, x12, edifact, base256",
     [](Parsing& p, const std::string& v) { p.line.options.scheme = ParseMode(v); }},
    {"--lenient-end", nullptr,
     "minimal only: where the reader returns to ASCII by itself after\n"
     "C40, Text, X12 or EDIFACT, the last codewords may hold any ASCII that\n"
     "fits (a digit pair or a shifted character after a triple, three or four\n"
     "characters after EDIFACT); now and then a smaller symbol that common\n"
     "readers decode, but outside the standard's end rules",
     [](Parsing& p, const std::string&) { p.line.options.lenientEnd = true; }},
    {"-s,--size", "SIZE",
     "square (default), rect, dmre, an index 0-47, or ROWSxCOLS such as\n"
     "16x48; dmre: the smallest rectangle, DMRE sizes included (ISO/IEC\n"
     "21471, indexes 30-47, used only when asked for): -s dmre TEXT",
     [](Parsing& p, const std::string& v) { p.line.options.size = ParseSize(v); }},
    {"--dmre", nullptr, "with -s rect, the same as -s dmre: -s rect --dmre -o label.png TEXT",
     [](Parsing& p, const std::string&) { p.line.options.dmre = true; }},
    {"--iso144", nullptr,
     "a 144x144 symbol's check codewords in the block order of the standard's\n"
     "text; most readers read only the default order:\n"
     "-s 144x144 --iso144 -i data.txt -o big.png",
     [](Parsing& p, const std::string&) { p.line.options.iso144 = true; }},
    {"--module", "N", "pixels per module, 1 or more (default 4)",
     [](Parsing& p, const std::string& v) { p.line.options.moduleSize = ParseBounded("--module", v, 1, kMaxImageSide); }},
    {"--quiet-zone", "N", "quiet zone in modules on each side (default 2; readers need 1)",
     [](Parsing& p, const std::string& v) { p.line.options.quietZone = ParseBounded("--quiet-zone", v, 0, kMaxImageSide); }},
    {"--margin", "N", "the quiet zone in pixels instead, 0 or more",
     [](Parsing& p, const std::string& v) { p.margin = ParseBounded("--margin", v, 0, kMaxImageSide); }},
    {"--fg", "RRGGBB", "bar colour (default 000000), or cmyk:C,M,Y,K in percent with --cmyk",
     [](Parsing& p, const std::string& v) {
         p.line.options.foreground = ParseColor("--fg", v, nullptr, &p.line.options.inks.foreground);
     }},
    {"--bg", "RRGGBB",
     "background colour (default ffffff), RRGGBB00 or none for a transparent\n"
     "one (PNG, GIF, SVG, EPS, PDF); two colours too alike to scan\n"
     "(a contrast below 20%) are refused",
     [](Parsing& p, const std::string& v) {
         Options& options = p.line.options;
         options.transparentBackground = v == "none";
         if (!options.transparentBackground)
             options.background = ParseColor("--bg", v, &options.transparentBackground, &options.inks.background);
     }},
    {"--cmyk", nullptr,
     ".eps and .pdf: the colours as CMYK inks, pure black as black ink alone\n"
     "(0 0 0 100), an RRGGBB colour converted",
     [](Parsing& p, const std::string&) { p.line.options.inks.cmyk = true; }},
    {"--gif-codec", "lzw|plain|rle", "GIF compression (default lzw)",
     [](Parsing& p, const std::string& v) { p.line.options.gifCodes = ParseGifCodec(v); }},
    {"--png-interlace", nullptr, "write PNG with Adam7 interlacing",
     [](Parsing& p, const std::string&) { p.line.options.pngInterlace = true; }},
    {"--codewords", nullptr,
     "print the data codewords before padding in decimal on one line\n"
     "for each symbol, then the symbols' ROWSxCOLS on the next line",
     [](Parsing& p, const std::string&) { p.line.options.printCodewords = true; }},
    {"--batch", nullptr,
     "each input line (without its line end, \\n or \\r\\n) is one symbol;\n"
     "every run of '#' in the output name becomes the line number,\n"
     "zero-padded to the run's length (-o label-####.png)",
     [](Parsing& p, const std::string&) { p.line.options.batch = true; }},
    {"--csv", nullptr,
     "with --batch, the input is CSV (RFC 4180) with a header row of column\n"
     "names: one symbol per row, its data from --data, and {NAME} in\n"
     "--output and --caption a column's value ('#': the row number):\n"
     "--batch --csv -i items.csv --data '{serial}' -o 'out/{serial}.png'",
     [](Parsing& p, const std::string&) { p.line.options.csv = true; }},
    {"--data", "TEMPLATE",
     "with --csv, the symbol's data from the row's columns, such as\n"
     "'{serial}' or, with --gs1, '(01){gtin}(21){serial}' (default: the\n"
     "first column); '{{' and '}}' stand for braces",
     [](Parsing& p, const std::string& v) { p.line.options.dataTemplate = v; }},
    {"--report", "FILE",
     "write a JSON line for each symbol, in input order as the run goes ('-':\n"
     "standard output): its line or row, data, file (page and cell in a PDF),\n"
     "size, codewords, schemes, character set or GS1 elements, printed size,\n"
     "or the failure",
     [](Parsing& p, const std::string& v) { p.line.options.reportPath = v; }},
    {"--verify", nullptr,
     "read each symbol back, with an independent reader (zxing-cpp), from the\n"
     "picture about to be written, and write it only when it reads as meant",
     [](Parsing& p, const std::string&) { p.line.options.verify = true; }},
    {"--mkdir", nullptr, "make the missing folders of every output: a file, a message's parts,\na batch's files or its one .pdf",
     [](Parsing& p, const std::string&) { p.line.options.makeFolders = true; }},
    {"-j,--jobs", "N",
     "worker threads for --batch (default: one per core); the files\n"
     "are the same for any N",
     [](Parsing& p, const std::string& v) { p.line.options.jobs = ParseBounded("--jobs", v, 1, kMaxJobs); }},
    {"--list-sizes", nullptr,
     "print the symbol sizes: index, ROWSxCOLS, data and error codewords,\n"
     "and DMRE for the DMRE sizes",
     [](Parsing& p, const std::string&) { p.line.command = Command::ListSizes; }},
    {"--gs1", nullptr,
     "the input is GS1 element strings in brackets, such as\n"
     "(01)09506000134352(17)261231(10)ABC123 or [01]09506000134352[10]A(1);\n"
     "they are checked first; in the (01) form a bracket in the data is \\( or \\)",
     [](Parsing& p, const std::string&) { p.line.options.gs1 = true; }},
    {"--gs1-nocheck", nullptr,
     "with --gs1, check the syntax (AIs, characters, lengths) but not check\n"
     "digits, dates or times",
     [](Parsing& p, const std::string&) { p.line.options.gs1NoCheck = true; }},
    {"--gs1-gs", nullptr,
     "with --gs1, separate the fields of variable length by the GS character\n"
     "rather than FNC1, as some national pharmacy rules ask",
     [](Parsing& p, const std::string&) { p.line.options.gs1Gs = true; }},
    {"--eci", "N",
     "put the ECI designator N (0-999999) before the data, the text\n"
     "converted to its character set; auto: of the ECIs whose set holds the\n"
     "text, the one that makes the smallest symbol (ties: no ECI, then UTF-8)",
     [](Parsing& p, const std::string& v) {
         p.line.options.eciAuto = v == "auto";
         if (!p.line.options.eciAuto) p.line.options.eci = ParseBounded("--eci", v, 0, 999999);
     }},
    {"--seg", "ECI:TEXT",
     "a segment of a symbol of several character sets, the text converted to\n"
     "that ECI's set after its designator; repeat it for each, in order, in\n"
     "place of TEXT: --seg 7:Привет --seg 20:こんにちは -o hello.png",
     [](Parsing& p, const std::string& v) { p.line.options.segments.push_back(ParseSegment(v)); }},
    {"--utf8", nullptr, "keep the text in UTF-8, announced by ECI 26 (as --eci 26)",
     [](Parsing& p, const std::string&) { p.line.options.utf8 = true; }},
    {"--esc", nullptr,
     "read escapes in the input (TEXT, -i, batch lines, --data, --seg): \\n\n"
     "\\r \\t \\\\ \\0 \\xHH (a byte) \\uHHHH \\U00HHHHHH (a character), and \\G \\R\n"
     "\\E for GS, RS and EOT: --esc '[)>\\R06\\G17V123\\R\\E'; with --gs1, \\( and \\)\n"
     "stay for the GS1 reading",
     [](Parsing& p, const std::string&) { p.line.options.escapes = true; }},
    {"--binary", nullptr, "take the bytes as they are: no conversion, no ECI of our own",
     [](Parsing& p, const std::string&) { p.line.options.binary = true; }},
    {"--dpi", "N",
     "the printer's resolution: PNG and BMP record it (default 96), and\n"
     "every format, .pdf, .eps and .svg too, makes a module whole dots at it",
     [](Parsing& p, const std::string& v) { p.line.options.dpi = ParseBounded("--dpi", v, 1, 100000); }},
    {"--rotate", "DEG", "turn the symbol clockwise by 0, 90, 180 or 270 degrees",
     [](Parsing& p, const std::string& v) { p.line.options.rotate = ParseRotation(v); }},
    {"--no-macro", nullptr,
     "keep the header [)> RS 05 GS (or 06) and trailer RS EOT of a Macro\n"
     "05/06 message as bytes, rather than the one codeword that stands\n"
     "for them: --no-macro -i message.txt",
     [](Parsing& p, const std::string&) { p.line.options.detectMacro = false; }},
    {"--reader-init", nullptr,
     "make a reader programming symbol (not with --gs1 or --structapp):\n"
     "--reader-init -o setup.png 'SETUP'",
     [](Parsing& p, const std::string&) { p.line.options.readerInit = true; }},
    {"--structapp", "N",
     "spread the input over N symbols (2-16) of the --size, or 'auto' for\n"
     "as few as hold it; a reader joins them back. Each is a file of its\n"
     "own: label-1.png, label-2.png ..., or the number at '#' in the name:\n"
     "--structapp auto -s 144x144 -i long.txt -o label.png",
     [](Parsing& p, const std::string& v) { p.line.options.structuredAppend = ParseSymbolCount(v); }},
    {"--structapp-id", "A,B",
     "the message's identification in each of its symbols, two\n"
     "numbers 1-254 (default: chosen at random): --structapp-id 17,42",
     [](Parsing& p, const std::string& v) { p.line.options.fileId = ParseFileId(v); }},
    {"-v,--verbose", nullptr, "say what was made: size, codewords, schemes, character set, file",
     [](Parsing& p, const std::string&) { p.line.options.verbose = true; }},
    {"--xdim", "MM",
     "module width in millimetres: the unit of .svg, .eps and .pdf (which otherwise\n"
     "take --module in pixels), and with --dpi a raster module's pixels",
     [](Parsing& p, const std::string& v) { p.line.options.xdimMillimetres = ParseMillimetres(v); }},
    {"--page", "SIZE",
     "the .pdf page the symbol is centred on: A4, A5, A6, Letter, or WxH in\n"
     "mm, in or pt (50x30mm, 4x6in); default: the symbol and its quiet zone",
     [](Parsing& p, const std::string& v) { p.line.options.page = ParsePage(v); }},
    {"--sheet", "SIZE",
     "put the labels of --batch (or --structapp) into one .pdf named\n"
     "without '#', a sheet of them on each page: A4, Letter or WxH as --page:\n"
     "--batch -i serials.txt --sheet A4 --grid 3x8 --hri -o labels.pdf",
     [](Parsing& p, const std::string& v) { p.line.options.sheet = ParsePage(v, "--sheet"); }},
    {"--grid", "COLSxROWS", "labels across and down a --sheet (default 1x1), each centred in its cell",
     [](Parsing& p, const std::string& v) {
         std::tie(p.line.options.gridColumns, p.line.options.gridRows) = ParseGrid(v);
     }},
    {"--sheet-margin", "MM", "millimetres around a --sheet's grid (default 0)",
     [](Parsing& p, const std::string& v) {
         p.line.options.sheetMargin = ParseDecimal("--sheet-margin", "millimetres", v, 0, 1000);
     }},
    {"--gap", "MM", "millimetres between a --sheet's cells (default 0)",
     [](Parsing& p, const std::string& v) { p.line.options.gap = ParseDecimal("--gap", "millimetres", v, 0, 1000); }},
    {"--hri", nullptr,
     "print the data under the symbol: GS1 element strings with their AIs\n"
     "in brackets, other text as given with control characters escaped (\\G\n"
     "for GS, \\xHH); real text in .pdf, .eps (Latin-1) and .svg",
     [](Parsing& p, const std::string&) { p.line.options.hri = true; }},
    {"--caption", "TEXT", "a line of text under the symbol (and under the data of --hri)",
     [](Parsing& p, const std::string& v) { p.line.options.caption = v; }},
    {"--font-size", "PT", "the text's size in points (default: to fit the symbol, at least 6)",
     [](Parsing& p, const std::string& v) { p.line.options.fontSize = ParseDecimal("--font-size", "points", v, 1, 1000); }},
    {"--font", "FILE", "the font of .png, .gif and .bmp text (default: DejaVu Sans, found by fontconfig)",
     [](Parsing& p, const std::string& v) { p.line.options.fontFile = v; }},
    {"-h,--help", nullptr, "show this help",
     [](Parsing& p, const std::string&) { p.line.command = Command::Help; }},
    {"--version", nullptr, "show the version",
     [](Parsing& p, const std::string&) { p.line.command = Command::Version; }},
};
// clang-format on

const char kSynopsis[] = "usage: glyphrun-cli [OPTIONS] [TEXT]\n"
                         "Encodes TEXT (UTF-8 text unless --binary) into a Data Matrix ECC200 symbol.\n";

const char kAfterOptions[] =
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

// "  -i, --input FILE   read the input ...": the names and value, then the
// help from column 21, its further lines under its first.
std::string HelpOf(const CLI::App& app) {
    constexpr size_t kColumn = 21;
    std::string text = kSynopsis;
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_positional()) continue;
        std::string names = option->get_snames().empty() ? "      " : "  -" + option->get_snames().front() + ", ";
        names += "--" + option->get_lnames().front();
        if (const std::string value = option->get_type_name(); !value.empty()) names += " " + value;
        names.append(names.size() < kColumn ? kColumn - names.size() : 2, ' ');
        std::string help = option->get_description();
        for (size_t line = help.find('\n'); line != std::string::npos; line = help.find('\n', line + 1))
            help.insert(line + 1, kColumn, ' ');
        text += names + help + "\n";
    }
    return text + kAfterOptions;
}

// The command line's grammar: each declared option, and TEXT. CLI11 finds
// the options and their values; what they mean is read in the order given,
// as a user reads the line, so the first mistake is the one reported.
class Grammar {
public:
    Grammar() : app_("", "glyphrun-cli") {
        app_.set_help_flag();
        app_.allow_extras();
        app_.formatter_fn([](const CLI::App* app, std::string, CLI::AppFormatMode) { return HelpOf(*app); });
        for (const Declaration& declaration : kDeclarations) {
            CLI::Option* option = declaration.value ? app_.add_option(declaration.names, declaration.help)
                                                    : app_.add_flag(declaration.names, declaration.help);
            if (declaration.value) option->type_name(declaration.value);
            // Every occurrence is kept and read in turn: the last one given counts.
            option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->disable_flag_override();
            options_.push_back(option);
        }
        // Every word that is no option, so that a second one is told to be TEXT split by the shell.
        text_ = app_.add_option("TEXT")->allow_extra_args()->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }

    std::string Help() const { return app_.help(); }

    // Parsing a second time needs a new grammar: CLI11 keeps what it read.
    void Read(std::span<const std::string> arguments, Parsing& parsing) {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());  // CLI11 takes them from the back
        try {
            app_.parse(reversed);
        } catch (const CLI::ArgumentMismatch& error) {
            UsageError(MismatchMessage(arguments, error));
        } catch (const CLI::ParseError& error) {
            UsageError(error.what());
        }
        // CLI11 keeps "--", the end of the options, among the unknown.
        for (const std::string& unknown : app_.remaining())
            if (unknown != "--") UsageError("invalid option '" + unknown + "'");
        std::vector<size_t> taken(options_.size());
        for (const CLI::Option* option : app_.parse_order()) {
            const auto at = std::find(options_.begin(), options_.end(), option);
            if (at == options_.end()) continue;  // TEXT
            const size_t index = static_cast<size_t>(at - options_.begin());
            const Declaration& declaration = kDeclarations[index];
            declaration.take(parsing, declaration.value ? option->results().at(taken[index]++) : std::string());
            if (parsing.line.command == Command::Help || parsing.line.command == Command::Version) return;
        }
        const std::vector<std::string>& texts = text_->results();
        if (texts.size() > 1) UsageError("give the text as one argument (quote it if it has spaces)");
        if (texts.size() == 1) parsing.line.options.text = texts.front();
    }

private:
    // A value missing at the end of the line, or one given to a flag.
    std::string MismatchMessage(std::span<const std::string> arguments, const CLI::ArgumentMismatch& error) const {
        for (const std::string& argument : arguments) {
            const size_t equals = argument.find('=');
            if (!argument.starts_with("--") || equals == std::string::npos) continue;
            const CLI::Option* option = app_.get_option_no_throw(argument.substr(0, equals));
            if (option && option->get_type_name().empty() && !option->get_positional())
                return "invalid option '" + argument + "'";
        }
        if (!arguments.empty()) return "option '" + arguments.back() + "' needs a value";
        return error.what();
    }

    CLI::App app_;
    std::vector<const CLI::Option*> options_;  // in the order of kDeclarations
    const CLI::Option* text_;
};

// The options read, checked together as one command line.
CommandLine Finish(Parsing& parsing) {
    CommandLine& line = parsing.line;
    Options& options = line.options;
    if (line.command == Command::Help || line.command == Command::Version) return line;
    if (line.command == Command::ListSizes) {
        if (options.text || options.inputPath) UsageError("--list-sizes takes no input");
        return line;
    }
    if (!options.segments.empty()) {
        if (options.text || options.inputPath || options.batch)
            UsageError("--seg gives the whole input: no TEXT, --input or --batch");
        if (options.gs1 || options.eci || options.eciAuto || options.utf8 || options.binary ||
            options.structuredAppend || options.readerInit)
            UsageError("--seg sets each segment's ECI itself: not with --gs1, --eci, --utf8, --binary, --structapp or "
                       "--reader-init");
        if (options.scheme != EncodeScheme::AutoMinimal || options.lenientEnd)
            UsageError("--seg puts each segment in its fewest codewords, ending in ASCII for the next ECI: not with "
                       "--mode or --lenient-end");
        options.text = "";  // the segments are the input
    }
    if (options.text && options.inputPath) UsageError("give either TEXT or --input, not both");
    if (!options.text && !options.inputPath) UsageError("no input: give TEXT or --input FILE");
    CheckMeaningAndSize(options);
    CheckReaderInitAndStructuredAppend(options);
    if (options.xdimMillimetres && !IsVector(options.format)) options.pictureWarning = PixelsForXdim(options);
    options.margin = parsing.margin.value_or(options.quietZone * options.moduleSize);
    if (options.margin < options.moduleSize && options.pictureWarning.empty())
        options.pictureWarning = "warning: a quiet zone of " + std::to_string(options.margin) +
                                 " pixels is less than one module (" + std::to_string(options.moduleSize) +
                                 " pixels); readers need at least one";
    CheckContrast(options);
    CheckLabel(options);
    CheckCsv(options);
    CheckVerify(options);
    if (options.batch) CheckBatch(options);
    return line;
}
CommandLine ReadCommandLine(std::span<const std::string> arguments) {
    Parsing parsing;
    Grammar().Read(arguments, parsing);
    return Finish(parsing);
}

// The declaration whose long name is `name` ("mode" for "-m,--mode").
const Declaration* DeclarationOf(std::string_view name) {
    for (const Declaration& declaration : kDeclarations) {
        const std::string_view names = declaration.names;
        const size_t at = names.find("--");
        if (at != std::string_view::npos && names.substr(at + 2) == name) return &declaration;
    }
    return nullptr;
}

CommandLine Refused(const std::string& message) {
    return {Command::Encode, Options{}, Status::Failed(CliError::Usage, message)};
}

}  // namespace

CommandLine ParseOptions(std::span<const std::string> arguments) {
    try {
        return ReadCommandLine(arguments);
    } catch (const BadUsage& usage) {
        return Refused(usage.message);
    }
}

CommandLine ParseNamedOptions(std::span<const NamedOption> named, std::string_view text, Format format,
                              std::string* field) {
    Parsing parsing;
    parsing.line.options.text = std::string(text);
    try {
        // As if the command line were told -o symbol.png: the file, never written, that the checks expect.
        std::string output = std::string("symbol.") + FormatName(format);
        std::transform(output.begin(), output.end(), output.begin(), [](unsigned char c) { return std::tolower(c); });
        DeclarationOf("output")->take(parsing, output);
        for (const NamedOption& option : named) {
            if (field) *field = option.name;
            const Declaration* declaration = DeclarationOf(option.name);
            if (!declaration) UsageError("unknown option '" + std::string(option.name) + "'");
            if (declaration->value) {
                declaration->take(parsing, option.value);
            } else if (option.value == "1") {
                declaration->take(parsing, {});
            } else if (option.value != "0") {
                UsageError(std::string(option.name) + " is 1 or 0, not '" + option.value + "'");
            }
        }
        if (field) field->clear();
        return Finish(parsing);
    } catch (const BadUsage& usage) {
        return Refused(usage.message);
    }
}

std::string HelpText() { return Grammar().Help(); }
const char* VersionText() { return "glyphrun-cli " GLYPHRUN_VERSION "\n"; }

bool OneDocument(const Options& options) {
    return options.format == Format::Pdf && (options.batch || options.structuredAppend) && options.outputPath &&
           options.outputPath->find('#') == std::string::npos &&
           !(options.csv && options.outputPath->find('{') != std::string::npos);
}

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
    return path.find('#') != std::string::npos ? BatchOutputName(path, part) : NumberedPath(path, part);
}

}  // namespace glyphrun::cli
