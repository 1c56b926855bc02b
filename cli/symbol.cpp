#include "symbol.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/safe_file.h"

namespace glyphrun::cli {
namespace {

// Binary PGM, top row first (as the module image stores it), 255 = light.
std::vector<unsigned char> ToPgm(const ModuleImage& image) {
    const std::string header = "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<unsigned char> pgm(header.begin(), header.end());
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    pgm.reserve(pgm.size() + pixels);
    for (size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = image.pixels + 3 * i;
        pgm.push_back(static_cast<unsigned char>((p[0] + p[1] + p[2]) / 3));
    }
    return pgm;
}

// The module image comes from the encoder itself.
std::string WritePgm(ByteSpan input, const Options& options, const std::string& path) {
    Ecc200Encoder encoder = InitEncoder();
    encoder.scheme = options.scheme;
    encoder.moduleSize = options.moduleSize;
    encoder.margin = options.margin;
    std::string error;
    if (!EncodeMessage(&encoder, static_cast<int32_t>(input.size()), input.data(), options.size)) {
        error = DescribeEncodeFailure(encoder.failure);
    } else {
        const std::vector<unsigned char> pgm = ToPgm(*encoder.image);
        const FileWriteResult result = WriteFileSafely(
            path, [&](FILE* stream) { return std::fwrite(pgm.data(), 1, pgm.size(), stream) == pgm.size(); });
        error = result.reason;
    }
    FreeEncoder(&encoder);
    return error;
}

// The front-end mode of an encoder scheme: the window's road takes those.
int32_t ModeFor(EncodeScheme scheme) {
    for (int32_t mode : {0, 1, 2, 3, 4, 5, kModeMinimal})
        if (SchemeForMode(mode) == scheme) return mode;
    return -1;  // the automatic choice
}

// The symbol as the window makes it: the options record, the screen
// bitmap, and the image imported from it. Empty, or why it failed.
std::string RenderThroughFrontEnd(ByteSpan input, const Options& options, GrImage& image) {
    if (input.size() > static_cast<size_t>(kBarcodeTextSize))
        return "the input is " + std::to_string(input.size()) + " bytes; at most " +
               std::to_string(kBarcodeTextSize) + " can be encoded";
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
    std::string error;
    if (!bitmap)
        error = DescribeBarcodeFailure(GetLastBarcodeFailure());
    else if (!image.CreateFromHBITMAP(bitmap))
        error = image.GetLastError();
    ReleaseBarcodeBitmap();
    image.SetCodecOption(options.gifCodec, TypeGif);
    image.SetCodecOption(options.pngInterlace ? 1 : 0, TypePng);
    return error;
}

uint32_t ImageTypeOf(OutputKind kind) {
    switch (kind) {
        case OutputKind::Bmp: return TypeBmp;
        case OutputKind::Gif: return TypeGif;
        default: return TypePng;
    }
}

std::string WriteToStandardOutput(GrImage& image) {
    uint8_t* png = nullptr;
    int32_t size = 0;
    if (!image.Encode(png, size, TypePng)) return image.GetLastError();
    const bool written = std::fwrite(png, 1, static_cast<size_t>(size), stdout) == static_cast<size_t>(size);
    GrImage::FreeMemory(png);
    return written ? "" : std::string("cannot write to standard output: ") + std::strerror(errno);
}

}  // namespace

std::string WriteSymbol(ByteSpan input, const Options& options, const std::string& path) {
    if (options.outputKind == OutputKind::Pgm) return WritePgm(input, options, path);
    GrImage image;
    if (std::string error = RenderThroughFrontEnd(input, options, image); !error.empty()) return error;
    if (path == "-") return WriteToStandardOutput(image);
    return image.Save(path.c_str(), ImageTypeOf(options.outputKind)) ? "" : image.GetLastError();
}

}  // namespace glyphrun::cli
