// glyphrun-cli: encodes bytes into a Data Matrix ECC200 symbol.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/safe_file.h"
#include "options.h"

namespace {

using namespace glyphrun;
using cli::Options;
using cli::OutputKind;

constexpr size_t kMaxInputBytes = 1 << 20;  // far past what any symbol holds

int Failure(const std::string& message) {
    std::fprintf(stderr, "glyphrun-cli: %s\n", message.c_str());
    return cli::kExitFailure;
}

// Reads the whole input; false and a message on failure.
bool ReadInput(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
    const bool fromStdin = path == "-";
    FILE* file = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    bytes.resize(kMaxInputBytes + 1);
    const size_t count = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file);
    const int readErrno = errno;
    if (!fromStdin) std::fclose(file);
    if (failed) {
        error = "cannot read " + path + ": " + std::strerror(readErrno);
        return false;
    }
    if (count > kMaxInputBytes) {
        error = "the input " + path + " is longer than " + std::to_string(kMaxInputBytes) + " bytes";
        return false;
    }
    bytes.resize(count);
    return true;
}

// Binary PGM, top row first, 255 = light.
std::vector<unsigned char> ToPgm(const ModuleImage& image) {
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

// A 24-bit image of the symbol in the chosen colours: bars where the module
// image is dark, background elsewhere.
bool FillImage(const ModuleImage& modules, const Options& options, GrImage& image) {
    if (!image.Create(static_cast<uint32_t>(modules.width), static_cast<uint32_t>(modules.height), 24)) return false;
    const RGBQUAD bar = GrImage::RGBtoRGBQUAD(options.foreground);
    const RGBQUAD background = GrImage::RGBtoRGBQUAD(options.background);
    for (int32_t y = 0; y < modules.height; ++y) {
        // Both count y from the bottom: module rows are stored top first.
        const uint8_t* source = modules.pixels + 3 * static_cast<size_t>(modules.height - 1 - y) * modules.width;
        uint8_t* row = image.GetBits(static_cast<uint32_t>(y));
        for (int32_t x = 0; x < modules.width; ++x) {
            const RGBQUAD& c = source[3 * x] == 0 ? bar : background;
            row[3 * x] = c.rgbBlue;
            row[3 * x + 1] = c.rgbGreen;
            row[3 * x + 2] = c.rgbRed;
        }
    }
    image.SetCodecOption(options.gifCodec, TypeGif);
    image.SetCodecOption(options.pngInterlace ? 1 : 0, TypePng);
    return true;
}

uint32_t ImageTypeOf(OutputKind kind) {
    switch (kind) {
        case OutputKind::Bmp: return TypeBmp;
        case OutputKind::Gif: return TypeGif;
        default: return TypePng;
    }
}

int WriteOutput(const Ecc200Encoder& encoder, const Options& options) {
    const std::string& path = *options.outputPath;
    if (options.outputKind == OutputKind::Pgm) {
        const std::vector<unsigned char> pgm = ToPgm(*encoder.image);
        const FileWriteResult result = WriteFileSafely(
            path, [&](FILE* stream) { return std::fwrite(pgm.data(), 1, pgm.size(), stream) == pgm.size(); });
        return result.ok ? 0 : Failure(result.reason);
    }
    GrImage image;
    if (!FillImage(*encoder.image, options, image)) return Failure(image.GetLastError());
    if (path != "-") return image.Save(path.c_str(), ImageTypeOf(options.outputKind)) ? 0 : Failure(image.GetLastError());

    uint8_t* png = nullptr;
    int32_t size = 0;
    if (!image.Encode(png, size, TypePng)) return Failure(image.GetLastError());
    const bool written = std::fwrite(png, 1, static_cast<size_t>(size), stdout) == static_cast<size_t>(size);
    GrImage::FreeMemory(png);
    return written ? 0 : Failure(std::string("cannot write to standard output: ") + std::strerror(errno));
}

void PrintCodewords(const Ecc200Encoder& encoder) {
    for (int32_t i = 0; i < encoder.dataCodewords; ++i)
        std::printf(i ? " %u" : "%u", static_cast<unsigned>(encoder.message->codewords[i]));
    std::printf("\n%dx%d\n", encoder.symbolRows, encoder.symbolCols);
}

int Run(const Options& options) {
    std::vector<unsigned char> input;
    if (options.inputPath) {
        std::string error;
        if (!ReadInput(*options.inputPath, input, error)) return Failure(error);
    } else {
        input.assign(options.text->begin(), options.text->end());
    }

    Ecc200Encoder encoder = InitEncoder();
    encoder.scheme = options.scheme;
    encoder.moduleSize = options.moduleSize;
    encoder.margin = options.margin;
    int status = 0;
    if (!EncodeMessage(&encoder, static_cast<int32_t>(input.size()), input.data(), options.size)) {
        status = Failure(DescribeEncodeFailure(encoder.failure));
    } else {
        if (options.printCodewords) PrintCodewords(encoder);
        if (options.outputPath) {
            std::fflush(stdout);  // the text first, when the file is standard output too
            status = WriteOutput(encoder, options);
        }
        if (!options.printCodewords && !options.outputPath)
            std::printf("%dx%d symbol, %d of %d data codewords used\n", encoder.symbolRows, encoder.symbolCols,
                        encoder.dataCodewords,
                        QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, encoder.sizeIndex));
    }
    FreeEncoder(&encoder);
    if (std::fflush(stdout) != 0 && status == 0) status = Failure("cannot write to standard output");
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A write stopped by a file-size limit then fails with EFBIG and a
    // message instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    return Run(cli::ParseOptions(argc, argv));
}
