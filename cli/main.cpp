// glyphrun-cli: encodes bytes into a Data Matrix ECC200 symbol.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
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

// The front-end mode of an encoder scheme: the window's road takes those.
int32_t ModeFor(EncodeScheme scheme) {
    for (int32_t mode : {0, 1, 2, 3, 4, 5, kModeMinimal})
        if (SchemeForMode(mode) == scheme) return mode;
    return -1;  // the automatic choice
}

// The symbol as the window makes it: the options record, the screen
// bitmap, and the image imported from it. False with a message on failure.
bool RenderThroughFrontEnd(const std::vector<unsigned char>& input, const Options& options, GrImage& image,
                           std::string& error) {
    if (input.size() > static_cast<size_t>(kBarcodeTextSize)) {
        error = "the input is " + std::to_string(input.size()) + " bytes; at most " +
                std::to_string(kBarcodeTextSize) + " can be encoded";
        return false;
    }
    BarcodeOptions record;
    SetDefaultBarcodeOptions(&record);
    std::copy(input.begin(), input.end(), record.text);
    record.length = static_cast<int32_t>(input.size());
    record.mode = ModeFor(options.scheme);
    record.moduleSize = options.moduleSize;
    record.margin = options.margin;
    record.sizeIndex = options.size;
    record.backgroundColor = options.background;
    record.barColor = options.foreground;
    const HBITMAP bitmap = EncodeToBitmap(&record);
    const bool imported = bitmap && image.CreateFromHBITMAP(bitmap);
    error = bitmap ? image.GetLastError() : DescribeBarcodeFailure(GetLastBarcodeFailure());
    ReleaseBarcodeBitmap();
    if (!imported) return false;
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

int WritePgm(const ModuleImage& modules, const std::string& path) {
    const std::vector<unsigned char> pgm = ToPgm(modules);
    const FileWriteResult result = WriteFileSafely(
        path, [&](FILE* stream) { return std::fwrite(pgm.data(), 1, pgm.size(), stream) == pgm.size(); });
    return result.ok ? 0 : Failure(result.reason);
}

int WriteImage(const std::vector<unsigned char>& input, const Options& options) {
    GrImage image;
    std::string error;
    if (!RenderThroughFrontEnd(input, options, image, error)) return Failure(error);
    const std::string& path = *options.outputPath;
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

// Codewords, the symbol's size and the PGM module image come from the
// encoder itself.
int RunEncoder(const std::vector<unsigned char>& input, const Options& options) {
    Ecc200Encoder encoder = InitEncoder();
    encoder.scheme = options.scheme;
    encoder.moduleSize = options.moduleSize;
    encoder.margin = options.margin;
    int status = 0;
    if (!EncodeMessage(&encoder, static_cast<int32_t>(input.size()), input.data(), options.size)) {
        status = Failure(DescribeEncodeFailure(encoder.failure));
    } else {
        if (options.printCodewords) PrintCodewords(encoder);
        if (!options.outputPath && !options.printCodewords)
            std::printf("%dx%d symbol, %d of %d data codewords used\n", encoder.symbolRows, encoder.symbolCols,
                        encoder.dataCodewords,
                        QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, encoder.sizeIndex));
        if (options.outputPath && options.outputKind == OutputKind::Pgm) {
            std::fflush(stdout);  // the text first, when the file is standard output too
            status = WritePgm(*encoder.image, *options.outputPath);
        }
    }
    FreeEncoder(&encoder);
    return status;
}

int Run(const Options& options) {
    std::vector<unsigned char> input;
    if (options.inputPath) {
        std::string error;
        if (!ReadInput(*options.inputPath, input, error)) return Failure(error);
    } else {
        input.assign(options.text->begin(), options.text->end());
    }
    const bool imageOutput = options.outputPath && options.outputKind != OutputKind::Pgm;
    int status = 0;
    if (options.printCodewords || !imageOutput) status = RunEncoder(input, options);
    if (status == 0 && imageOutput) {
        std::fflush(stdout);
        // Images go the window's way, so both write the same files.
        status = WriteImage(input, options);
    }
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
