#include "symbol.h"

#include <cstdio>

#include "charset.h"
#include "text.h"
#include "glyphrun/gs1.h"
#include "glyphrun/render.h"
#include "glyphrun/safe_file.h"
#include "glyphrun/vector.h"

namespace glyphrun::cli {
namespace {

RasterStyle RasterStyleOf(const Options& options) {
    return RasterStyle{options.moduleSize, options.margin, options.background, options.foreground,
                       options.dpi.value_or(96), options.transparentBackground};
}

// The raster outputs refuse a picture wider than kMaxImageSide pixels; a
// vector picture measured in --module units obeys the same rule, so that
// a margin that one format takes, every format takes.
Failure CheckPictureSide(const Symbol& symbol, const Options& options) {
    std::string reason;
    if (CheckPictureSides(symbol, RasterStyleOf(options), reason)) return {};
    return {reason};
}

// Binary PGM, top row first, 255 = light.
Failure DrawPgm(const Symbol& symbol, const Options& options, std::string& file) {
    if (Failure failure = CheckPictureSide(symbol, options)) return failure;
    const RasterStyle style = RasterStyleOf(options);
    const int64_t width = PictureSide(style, symbol.cols), height = PictureSide(style, symbol.rows);
    file = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    const size_t header = file.size();
    file.resize(header + static_cast<size_t>(width * height), static_cast<char>(255));
    for (int64_t y = 0; y < height - 2 * style.margin; ++y) {
        char* row = file.data() + header + static_cast<size_t>((y + style.margin) * width + style.margin);
        for (int64_t x = 0; x < width - 2 * style.margin; ++x)
            if (symbol.dark(static_cast<int32_t>(y / style.moduleSize), static_cast<int32_t>(x / style.moduleSize)))
                row[x] = 0;
    }
    return {};
}

// The same picture as the raster files; --xdim only changes the unit of
// the module's side.
VectorStyle VectorStyleOf(const Options& options) {
    VectorStyle style = glyphrun::VectorStyleOf(RasterStyleOf(options));
    if (options.xdimMillimetres) {
        style.moduleSize = *options.xdimMillimetres;
        style.unit = VectorUnit::Millimetre;
    }
    return style;
}

Failure DrawVector(const Symbol& symbol, const Options& options, std::string& file) {
    if (Failure failure = CheckPictureSide(symbol, options)) return failure;
    const ModuleGrid grid{symbol.rows, symbol.cols, symbol.modules};
    const VectorFormat format = options.outputKind == OutputKind::Svg ? VectorFormat::Svg : VectorFormat::Eps;
    VectorResult document = VectorDocument(format, grid, VectorStyleOf(options));
    if (!document.ok) return {document.reason};
    file = std::move(document.text);
    return {};
}

uint32_t ImageTypeOf(OutputKind kind) {
    switch (kind) {
        case OutputKind::Bmp: return TypeBmp;
        case OutputKind::Gif: return TypeGif;
        default: return TypePng;
    }
}

Failure DrawRaster(const Symbol& symbol, const Options& options, std::string& file) {
    const uint32_t type = ImageTypeOf(options.outputKind);
    const uint32_t codecOption = type == TypeGif ? options.gifCodec : (options.pngInterlace ? 1 : 0);
    std::string reason;
    if (EncodeSymbolFile(symbol, RasterStyleOf(options), type, codecOption, file, reason)) return {};
    return {reason};
}

Failure Draw(const Symbol& symbol, const Options& options, std::string& file) {
    switch (options.outputKind) {
        case OutputKind::Pgm: return DrawPgm(symbol, options, file);
        case OutputKind::Svg:
        case OutputKind::Eps: return DrawVector(symbol, options, file);
        default: return DrawRaster(symbol, options, file);
    }
}

Failure Save(const std::string& path, const std::string& file) {
    if (path == "-") {
        WriteOut(file);
        return FlushStandardOutput();
    }
    const FileWriteResult result = WriteFileSafely(path, std::string_view(file));
    if (result.ok) return {};
    return {result.reason, result.placeFailed};
}

// The bytes to encode and what they mean. Text is UTF-8 unless --binary
// says the bytes stand as they are; --eci (and --utf8, which is --eci 26)
// converts it to that ECI's character set.
Failure PrepareInput(ByteSpan input, const Options& options, std::string& bytes, DataMeaning& meaning) {
    constexpr int32_t kUtf8Eci = 26;
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    meaning = DataMeaning{};
    if (options.gs1) {
        meaning.gs1 = true;
        Gs1Data data = ParseGs1(std::string(text));
        bytes = std::move(data.elementString);
        return {data.reason};
    }
    const std::optional<int32_t> eci = options.utf8 ? kUtf8Eci : options.eci;
    meaning.eciGiven = eci.has_value();
    meaning.eci = eci.value_or(0);
    if (options.binary) {
        bytes.assign(text);
        return {};
    }
    if (eci) return ConvertToEci(text, *eci, bytes);
    return EncodeText(text, bytes, meaning);
}

}  // namespace

Failure EncodeInput(ByteSpan input, const Options& options, Symbol& symbol, DataMeaning& meaning) {
    std::string bytes;
    if (Failure failure = PrepareInput(input, options, bytes, meaning)) return failure;
    EncodeResult result = Encode({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                                 EncodeOptions{options.scheme, options.size, meaning, options.lenientEnd});
    if (!result) return {result.reason()};
    symbol = std::move(result.symbol);
    return {};
}

Failure WriteSymbol(const Symbol& symbol, const Options& options, const std::string& path) {
    std::string file;
    const Failure drawn = options.rotate ? Draw(Rotated(symbol, options.rotate), options, file) : Draw(symbol, options, file);
    if (drawn) return drawn;
    return Save(path, file);
}

Failure EncodeAndWrite(ByteSpan input, const Options& options, const std::string& path, std::string& described) {
    return FailOnOutOfMemory([&]() -> Failure {
        Symbol symbol;
        DataMeaning meaning;
        if (Failure failure = EncodeInput(input, options, symbol, meaning)) return failure;
        if (Failure failure = WriteSymbol(symbol, options, path)) return failure;
        if (options.verbose) described = DescribeSymbol(symbol, meaning, options, path);
        return {};
    });
}

std::string DescribeSymbol(const Symbol& symbol, const DataMeaning& meaning, const Options& options,
                           const std::string& path) {
    std::string line = std::to_string(symbol.rows) + "x" + std::to_string(symbol.cols) + " (index " +
                       std::to_string(symbol.sizeIndex) + "), " + std::to_string(symbol.dataCodewords) + " of " +
                       std::to_string(symbol.capacity()) + " data codewords, ";
    const std::vector<SchemeRun> runs = SchemeRunsOf(symbol);
    for (size_t i = 0; i < runs.size(); ++i)
        line += std::string(i ? ", " : "") + SchemeName(runs[i].scheme) + " " + std::to_string(runs[i].codewords);
    if (meaning.gs1)
        line += "; GS1";
    else if (meaning.eciGiven)
        line += "; ECI " + std::to_string(meaning.eci) +
                (CharsetOfEci(meaning.eci) && !options.binary ? std::string(" (") + CharsetOfEci(meaning.eci) + ")" : "");
    else
        line += options.binary ? "; bytes as given" : "; ISO 8859-1";
    return line + "; " + (path == "-" ? "standard output" : Printable(path));
}

}  // namespace glyphrun::cli
