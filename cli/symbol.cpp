#include "symbol.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <new>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/gs1.h"
#include "glyphrun/safe_file.h"
#include "glyphrun/vector.h"
#include "text.h"

namespace glyphrun::cli {
namespace {

// Binary PGM, top row first (as the module image stores it), 255 = light.
std::string ToPgm(const ModuleImage& image) {
    std::string pgm = "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    const size_t pixels = static_cast<size_t>(image.width) * image.height;
    pgm.reserve(pgm.size() + pixels);
    for (size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = image.pixels + 3 * i;
        pgm.push_back(static_cast<char>((p[0] + p[1] + p[2]) / 3));
    }
    return pgm;
}

// Writes through WriteFileSafely. `writerReason` says why `write` itself
// failed, when the system gave no reason of its own.
Failure WriteFile(const std::string& path, const std::function<bool(FILE*)>& write,
                  const std::function<std::string()>& writerReason) {
    const FileWriteResult result = WriteFileSafely(path, write);
    if (result.ok) return {};
    if (result.writerFailed && result.systemError == 0) return {writerReason()};
    return {result.reason, result.placeFailed};
}

Failure WriteBytes(const std::string& path, const std::string& bytes) {
    const FileWriteResult result = WriteFileSafely(path, std::string_view(bytes));
    if (result.ok) return {};
    return {result.reason, result.placeFailed};
}

// The module image comes from the encoder itself.
Failure WritePgm(const std::string& input, const Options& options, const std::string& path) {
    Ecc200Encoder encoder;
    Failure failure = EncodeModules(input, options, options.moduleSize, options.margin, encoder);
    if (!failure) {
        failure = WriteBytes(path, ToPgm(*encoder.image));
    }
    FreeEncoder(&encoder);
    return failure;
}

uint32_t ToRrggbb(COLORREF color) {
    return static_cast<uint32_t>(GetRValue(color)) << 16 | GetGValue(color) << 8 | GetBValue(color);
}

// The same picture as the raster files, drawn from the modules: the quiet
// zone keeps its width in modules (the margin over the module size,
// rounded up), and --xdim only changes the unit of the module's side.
VectorStyle VectorStyleOf(const Options& options) {
    VectorStyle style;
    style.moduleSize = options.xdimMillimetres.value_or(options.moduleSize);
    style.unit = options.xdimMillimetres ? VectorUnit::Millimetre : VectorUnit::Pixel;
    style.quietZone = (options.margin + options.moduleSize - 1) / options.moduleSize;
    style.foreground = ToRrggbb(options.foreground);
    style.background = ToRrggbb(options.background);
    return style;
}

// The raster outputs refuse a picture wider than kMaxImageSide pixels; a
// vector picture measured in --module units obeys the same rule, so that
// a margin that one format takes, every format takes.
Failure CheckPictureSide(const Ecc200Encoder& encoder, const Options& options) {
    const auto side = [&](int32_t modules) {
        return static_cast<int64_t>(options.moduleSize) * modules + 2 * static_cast<int64_t>(options.margin);
    };
    EncodeFailure failure{};
    failure.error = EncodeError::ImageSizeOutOfRange;
    failure.imageWidth = side(encoder.symbolCols);
    failure.imageHeight = side(encoder.symbolRows);
    if (failure.imageWidth <= kMaxImageSide && failure.imageHeight <= kMaxImageSide) return {};
    return {DescribeEncodeFailure(failure)};
}

Failure WriteVector(const std::string& input, const Options& options, const std::string& path) {
    Ecc200Encoder encoder;
    Failure failure = EncodeModules(input, options, 1, 0, encoder);  // one pixel per module, no margin
    if (!failure) failure = CheckPictureSide(encoder, options);
    if (!failure) {
        const ModuleImage& image = *encoder.image;
        const size_t modules = static_cast<size_t>(image.width) * image.height;
        ModuleGrid grid{image.height, image.width, std::vector<uint8_t>(modules)};
        for (size_t i = 0; i < grid.dark.size(); ++i) grid.dark[i] = image.pixels[3 * i] == 0;  // top row first
        const VectorFormat format = options.outputKind == OutputKind::Svg ? VectorFormat::Svg : VectorFormat::Eps;
        const VectorResult document = VectorDocument(format, grid, VectorStyleOf(options));
        failure = document.ok ? WriteBytes(path, document.text) : Failure{path + ": " + document.reason};
    }
    FreeEncoder(&encoder);
    return failure;
}

// The front-end mode of an encoder scheme: the window's road takes those.
int32_t ModeFor(EncodeScheme scheme) {
    for (int32_t mode : {0, 1, 2, 3, 4, 5, kModeMinimal})
        if (SchemeForMode(mode) == scheme) return mode;
    return -1;  // the automatic choice
}

// The symbol as the window makes it: the options record, the screen
// bitmap, and the image imported from it.
Failure RenderThroughFrontEnd(const std::string& input, const Options& options, GrImage& image) {
    if (input.size() > static_cast<size_t>(kBarcodeTextSize))
        return {"the input is " + std::to_string(input.size()) + " bytes; at most " +
                std::to_string(kBarcodeTextSize) + " can be encoded"};
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
    record.meaning = MeaningOf(options);
    const HBITMAP bitmap = EncodeToBitmap(&record);
    Failure failure;
    if (!bitmap)
        failure = {DescribeBarcodeFailure(GetLastBarcodeFailure())};
    else if (!image.CreateFromHBITMAP(bitmap))
        failure = {image.GetLastError()};
    ReleaseBarcodeBitmap();
    image.SetCodecOption(options.gifCodec, TypeGif);
    image.SetCodecOption(options.pngInterlace ? 1 : 0, TypePng);
    return failure;
}

uint32_t ImageTypeOf(OutputKind kind) {
    switch (kind) {
        case OutputKind::Bmp: return TypeBmp;
        case OutputKind::Gif: return TypeGif;
        default: return TypePng;
    }
}

Failure WriteToStandardOutput(GrImage& image) {
    uint8_t* png = nullptr;
    int32_t size = 0;
    if (!image.Encode(png, size, TypePng)) return {image.GetLastError()};
    WriteOut(std::string_view(reinterpret_cast<const char*>(png), static_cast<size_t>(size)));
    GrImage::FreeMemory(png);
    return FlushStandardOutput();
}

Failure WriteImage(GrImage& image, const Options& options, const std::string& path) {
    if (path == "-") return WriteToStandardOutput(image);
    const uint32_t type = ImageTypeOf(options.outputKind);
    return WriteFile(
        path, [&](FILE* stream) { return image.Encode(stream, type); }, [&] { return image.GetLastError(); });
}

}  // namespace

Failure EncodeModules(const std::string& input, const Options& options, int32_t moduleSize, int32_t margin,
                      Ecc200Encoder& encoder) {
    encoder = InitEncoder();
    encoder.scheme = options.scheme;
    encoder.moduleSize = moduleSize;
    encoder.margin = margin;
    encoder.meaning = MeaningOf(options);
    const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
    if (EncodeMessage(&encoder, static_cast<int32_t>(input.size()), bytes, options.size)) return {};
    return {DescribeEncodeFailure(encoder.failure)};
}

Failure PrepareInput(ByteSpan input, const Options& options, std::string& bytes) {
    bytes.assign(input.begin(), input.end());
    if (options.gs1) {
        Gs1Data data = ParseGs1(bytes);
        bytes = std::move(data.elementString);
        return {data.reason};
    }
    if (options.utf8) {
        if (const size_t bad = FirstInvalidUtf8(bytes); bad != std::string::npos) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(bytes[bad]));
            return {std::string("the input is not UTF-8: byte ") + hex + " at position " + std::to_string(bad + 1)};
        }
    }
    return {};
}

Failure WriteSymbol(ByteSpan input, const Options& options, const std::string& path) {
    return FailOnOutOfMemory([&]() -> Failure {
        std::string bytes;
        if (Failure failure = PrepareInput(input, options, bytes)) return failure;
        switch (options.outputKind) {
            case OutputKind::Pgm: return WritePgm(bytes, options, path);
            case OutputKind::Svg:
            case OutputKind::Eps: return WriteVector(bytes, options, path);
            default: break;
        }
        GrImage image;
        if (Failure failure = RenderThroughFrontEnd(bytes, options, image)) return failure;
        return WriteImage(image, options, path);
    });
}

}  // namespace glyphrun::cli
