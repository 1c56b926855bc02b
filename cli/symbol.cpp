#include "symbol.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/frontend.h"
#include "glyphrun/gs1.h"
#include "glyphrun/safe_file.h"
#include "glyphrun/vector.h"

namespace glyphrun::cli {
namespace {

// The index of the first byte that does not belong to well-formed UTF-8
// (overlong forms, surrogates and values past U+10FFFF included), or npos.
size_t FirstInvalidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > s.size()) return i;
        uint32_t code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) return i;
            code = code << 6 | (next & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
        i += length;
    }
    return std::string::npos;
}

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
std::string WritePgm(const std::string& input, const Options& options, const std::string& path) {
    Ecc200Encoder encoder;
    std::string error = EncodeModules(input, options, options.moduleSize, options.margin, encoder);
    if (error.empty()) {
        const std::vector<unsigned char> pgm = ToPgm(*encoder.image);
        const FileWriteResult result = WriteFileSafely(
            path, [&](FILE* stream) { return std::fwrite(pgm.data(), 1, pgm.size(), stream) == pgm.size(); });
        error = result.reason;
    }
    FreeEncoder(&encoder);
    return error;
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

std::string WriteVector(const std::string& input, const Options& options, const std::string& path) {
    Ecc200Encoder encoder;
    std::string error = EncodeModules(input, options, 1, 0, encoder);  // one pixel per module, no margin
    if (error.empty()) {
        const ModuleImage& image = *encoder.image;
        const size_t modules = static_cast<size_t>(image.width) * image.height;
        ModuleGrid grid{image.height, image.width, std::vector<uint8_t>(modules)};
        for (size_t i = 0; i < grid.dark.size(); ++i) grid.dark[i] = image.pixels[3 * i] == 0;  // top row first
        const VectorFormat format = options.outputKind == OutputKind::Svg ? VectorFormat::Svg : VectorFormat::Eps;
        const VectorResult result = WriteVectorFile(path, format, grid, VectorStyleOf(options));
        // A refused drawing does not name the file; a failed write does.
        const bool namesFile = result.reason.find(path) != std::string::npos;
        if (!result.ok) error = namesFile ? result.reason : path + ": " + result.reason;
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
std::string RenderThroughFrontEnd(const std::string& input, const Options& options, GrImage& image) {
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
    record.meaning = MeaningOf(options);
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

std::string EncodeModules(const std::string& input, const Options& options, int32_t moduleSize, int32_t margin,
                          Ecc200Encoder& encoder) {
    encoder = InitEncoder();
    encoder.scheme = options.scheme;
    encoder.moduleSize = moduleSize;
    encoder.margin = margin;
    encoder.meaning = MeaningOf(options);
    const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
    if (EncodeMessage(&encoder, static_cast<int32_t>(input.size()), bytes, options.size)) return "";
    return DescribeEncodeFailure(encoder.failure);
}

PreparedInput PrepareInput(ByteSpan input, const Options& options) {
    const std::string bytes(input.begin(), input.end());
    if (options.gs1) {
        Gs1Data data = ParseGs1(bytes);
        return data.ok ? PreparedInput{std::move(data.elementString), ""} : PreparedInput{"", data.reason};
    }
    if (options.utf8) {
        if (const size_t bad = FirstInvalidUtf8(bytes); bad != std::string::npos) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(bytes[bad]));
            return {"", std::string("the input is not UTF-8: byte ") + hex + " at position " + std::to_string(bad + 1)};
        }
    }
    return {bytes, ""};
}

std::string WriteSymbol(ByteSpan input, const Options& options, const std::string& path) {
    const PreparedInput prepared = PrepareInput(input, options);
    if (!prepared.error.empty()) return prepared.error;
    switch (options.outputKind) {
        case OutputKind::Pgm: return WritePgm(prepared.bytes, options, path);
        case OutputKind::Svg:
        case OutputKind::Eps: return WriteVector(prepared.bytes, options, path);
        default: break;
    }
    GrImage image;
    if (std::string error = RenderThroughFrontEnd(prepared.bytes, options, image); !error.empty()) return error;
    if (path == "-") return WriteToStandardOutput(image);
    return image.Save(path.c_str(), ImageTypeOf(options.outputKind)) ? "" : image.GetLastError();
}

}  // namespace glyphrun::cli
