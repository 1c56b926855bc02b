// glyphrun-cli: encodes bytes into a Data Matrix ECC200 symbol.
#include <getopt.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "file_output.h"
#include "glyphrun/ecc200.h"

namespace {

using glyphrun::EncodeScheme;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr size_t kMaxInputBytes = 1 << 20;  // far past what any symbol holds

const char kUsage[] =
    "usage: glyphrun-cli [OPTIONS] [TEXT]\n"
    "Encodes TEXT (taken as bytes exactly as given) into a Data Matrix ECC200 symbol.\n"
    "  -i, --input FILE   read the bytes from FILE ('-' standard input) instead of TEXT\n"
    "  -o, --output FILE  write the module image as binary PGM (P5, 255 = light)\n"
    "  -m, --mode NAME    auto (default), minimal, ascii, c40, text, x12, edifact, base256\n"
    "  -s, --size SIZE    square (default), rect, or an index 0-29\n"
    "      --module N     pixels per module, 1 or more (default 4)\n"
    "      --margin N     quiet zone in pixels, 0 or more (default 10)\n"
    "      --codewords    print the data codewords before padding in decimal on one line,\n"
    "                     then the symbol's ROWSxCOLS on the next line\n"
    "  -h, --help         show this help;  --version  show the version\n"
    "Without --output or --codewords the symbol's size is printed.\n"
    "Byte positions in messages count from 1.\n"
    "Exit status: 0 done; 1 the input could not be encoded or written; 2 bad usage.\n";

struct Options {
    std::optional<std::string> text;
    std::optional<std::string> inputPath;
    std::optional<std::string> outputPath;
    EncodeScheme scheme = EncodeScheme::AutoBest;
    int32_t size = glyphrun::kSmallestSquare;
    int32_t moduleSize = 4;
    int32_t margin = 10;
    bool printCodewords = false;
};

[[noreturn]] void UsageError(const std::string& message) {
    std::fprintf(stderr, "glyphrun-cli: %s\nTry 'glyphrun-cli --help' for more information.\n", message.c_str());
    std::exit(kExitUsage);
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "glyphrun-cli: %s\n", message.c_str());
    return kExitFailure;
}

std::optional<long> ParseInteger(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return value;
}

int32_t ParseBounded(const char* option, const char* text, long low, long high) {
    const auto value = ParseInteger(text);
    if (!value || *value < low || *value > high)
        UsageError(std::string(option) + " takes a whole number from " + std::to_string(low) + " to " +
                   std::to_string(high) + ", not '" + text + "'");
    return static_cast<int32_t>(*value);
}

int32_t ParseSize(const std::string& text) {
    if (text == "square") return glyphrun::kSmallestSquare;
    if (text == "rect") return glyphrun::kSmallestRectangle;
    return ParseBounded("--size", text.c_str(), 0, glyphrun::kSymbolSizeCount - 1);
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

Options ParseOptions(int argc, char** argv) {
    enum LongOnly { kModule = 256, kMargin, kCodewords, kVersion };
    static const option kLongOptions[] = {
        {"input", required_argument, nullptr, 'i'},  {"output", required_argument, nullptr, 'o'},
        {"mode", required_argument, nullptr, 'm'},   {"size", required_argument, nullptr, 's'},
        {"module", required_argument, nullptr, kModule}, {"margin", required_argument, nullptr, kMargin},
        {"codewords", no_argument, nullptr, kCodewords}, {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},     {nullptr, 0, nullptr, 0}};
    Options options;
    opterr = 0;
    int c;
    while ((c = getopt_long(argc, argv, ":i:o:m:s:h", kLongOptions, nullptr)) != -1) {
        switch (c) {
            case 'i': options.inputPath = optarg; break;
            case 'o': options.outputPath = optarg; break;
            case 'm': options.scheme = ParseMode(optarg); break;
            case 's': options.size = ParseSize(optarg); break;
            case kModule: options.moduleSize = ParseBounded("--module", optarg, 1, glyphrun::kMaxImageSide); break;
            case kMargin: options.margin = ParseBounded("--margin", optarg, 0, glyphrun::kMaxImageSide); break;
            case kCodewords: options.printCodewords = true; break;
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
    if (options.text && options.inputPath) UsageError("give either TEXT or --input, not both");
    if (!options.text && !options.inputPath) UsageError("no input: give TEXT or --input FILE");
    return options;
}

// Reads the whole input; an empty optional and a message on failure.
std::optional<std::vector<unsigned char>> ReadInput(const std::string& path, std::string& error) {
    const bool fromStdin = path == "-";
    FILE* file = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(kMaxInputBytes + 1);
    const size_t count = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file);
    const int readErrno = errno;
    if (!fromStdin) std::fclose(file);
    if (failed) {
        error = "cannot read " + path + ": " + std::strerror(readErrno);
        return std::nullopt;
    }
    if (count > kMaxInputBytes) {
        error = "the input " + path + " is longer than " + std::to_string(kMaxInputBytes) + " bytes";
        return std::nullopt;
    }
    bytes.resize(count);
    return bytes;
}

// Binary PGM, top row first, 255 = light.
std::vector<unsigned char> ToPgm(const glyphrun::ModuleImage& image) {
    const std::string header = "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<unsigned char> pgm(header.begin(), header.end());
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    pgm.reserve(pgm.size() + pixels);
    // The module image stores its top row first, as PGM does.
    for (size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = image.pixels + 3 * i;
        pgm.push_back(static_cast<unsigned char>((p[0] + p[1] + p[2]) / 3));
    }
    return pgm;
}

void PrintCodewords(const glyphrun::Ecc200Encoder& encoder) {
    for (int32_t i = 0; i < encoder.dataCodewords; ++i)
        std::printf(i ? " %u" : "%u", static_cast<unsigned>(encoder.message->codewords[i]));
    std::printf("\n%dx%d\n", encoder.symbolRows, encoder.symbolCols);
}

int Run(const Options& options) {
    std::vector<unsigned char> input;
    if (options.inputPath) {
        std::string error;
        auto read = ReadInput(*options.inputPath, error);
        if (!read) return Failure(error);
        input = std::move(*read);
    } else {
        input.assign(options.text->begin(), options.text->end());
    }

    glyphrun::Ecc200Encoder encoder = glyphrun::InitEncoder();
    encoder.scheme = options.scheme;
    encoder.moduleSize = options.moduleSize;
    encoder.margin = options.margin;
    const int32_t length = static_cast<int32_t>(input.size());
    int status = 0;
    if (!glyphrun::EncodeMessage(&encoder, length, input.data(), options.size)) {
        status = Failure(glyphrun::DescribeEncodeFailure(encoder.failure));
    } else {
        if (options.printCodewords) PrintCodewords(encoder);
        if (options.outputPath) {
            std::fflush(stdout);  // the text first, when the file is standard output too
            const std::string error = glyphrun::cli::WriteFileReplacing(*options.outputPath, ToPgm(*encoder.image));
            if (!error.empty()) status = Failure(error);
        }
        if (!options.printCodewords && !options.outputPath)
            std::printf("%dx%d symbol, %d of %d data codewords used\n", encoder.symbolRows, encoder.symbolCols,
                        encoder.dataCodewords,
                        glyphrun::QuerySymbolAttribute(glyphrun::SymbolAttribute::AttrDataCodewords, encoder.sizeIndex));
    }
    glyphrun::FreeEncoder(&encoder);
    if (std::fflush(stdout) != 0 && status == 0) status = Failure("cannot write to standard output");
    return status;
}

}  // namespace

int main(int argc, char** argv) { return Run(ParseOptions(argc, argv)); }
