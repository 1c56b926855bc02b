// PNG through libpng: palette images as palette PNGs, 24-bit images as RGB,
// and either with an alpha plane (or a 24-bit transparent colour) as RGBA.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

void WriteData(png_structp png, png_bytep data, size_t length) {
    auto* stream = static_cast<GrFile*>(png_get_io_ptr(png));
    if (!stream || stream->Write(data, 1, length) != length) png_error(png, "Write Error");
}

void FlushData(png_structp png) {
    auto* stream = static_cast<GrFile*>(png_get_io_ptr(png));
    if (!stream || !stream->Flush()) png_error(png, "Flush Error");
}

// libpng's own handlers would print to standard error; the writer's caller
// gets its reason through the last-error text instead.
void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}

// Everything libpng needs, prepared before its recovery point so that no
// object with a destructor lives across a longjmp.
struct PngJob {
    GrFile* stream;
    const GrImage* image;
    png_uint_32 width, height;
    int bitDepth, colorType, interlace;
    png_color_16 background;
    const png_color* palette;  // palette images only
    int paletteLength;
    const png_byte* transparency;
    int transparencyCount;
    // Palette images: the file's index of each of the image's, which puts
    // the transparent entry first without changing the image.
    const uint8_t* indexMap;  // null: the same indexes
    bool alphaFromKey;        // 24-bit images: the transparent colour's pixels get alpha 0
    png_byte* row;            // room for one row as libpng takes it
};

// A stored palette row with its indexes mapped, packed as it is stored.
void MapIndexes(const PngJob& job, const uint8_t* stored, png_byte* out) {
    const int bits = job.bitDepth, perByte = 8 / bits;
    const unsigned mask = (1u << bits) - 1;
    std::fill(out, out + (job.width * bits + 7) / 8, png_byte{0});
    for (png_uint_32 x = 0; x < job.width; ++x) {
        const int shift = 8 - bits * (static_cast<int>(x % perByte) + 1);
        const unsigned index = stored[x / perByte] >> shift & mask;
        out[x / perByte] |= static_cast<png_byte>(job.indexMap[index] << shift);
    }
}

void FillRow(const PngJob& job, png_uint_32 y) {
    const GrImage& image = *job.image;
    if (job.colorType == PNG_COLOR_TYPE_RGB_ALPHA) {
        png_byte* out = job.row;
        const unsigned alphaMax = image.AlphaGetMax();
        const RGBQUAD key = image.GetTransColor();
        for (png_uint_32 x = 0; x < job.width; ++x, out += 4) {
            const RGBQUAD color = image.GetPixelColor(x, y, false);
            out[0] = color.rgbRed;
            out[1] = color.rgbGreen;
            out[2] = color.rgbBlue;
            const bool keyed = job.alphaFromKey && color.rgbRed == key.rgbRed && color.rgbGreen == key.rgbGreen &&
                               color.rgbBlue == key.rgbBlue;
            out[3] = keyed                  ? 0
                     : image.AlphaIsValid() ? static_cast<png_byte>(image.AlphaGet(x, y) * alphaMax / 255)
                                            : 255;
        }
        return;
    }
    const uint8_t* stored = image.GetBits(y);
    if (job.colorType == PNG_COLOR_TYPE_PALETTE) {
        if (job.indexMap)
            MapIndexes(job, stored, job.row);
        else
            std::copy(stored, stored + image.GetEffWidth(), job.row);
        return;
    }
    for (png_uint_32 x = 0; x < job.width; ++x) {  // blue-green-red to red-green-blue
        job.row[3 * x] = stored[3 * x + 2];
        job.row[3 * x + 1] = stored[3 * x + 1];
        job.row[3 * x + 2] = stored[3 * x];
    }
}

// Runs libpng; null on success, else the reason.
const char* WritePng(const PngJob& job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, SilentError, SilentWarning);
    if (!png) return "Failed to create PNG structure";
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return "Failed to initialize PNG info structure";
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "Error saving PNG file";
    }
    png_set_write_fn(png, job.stream, WriteData, FlushData);
    png_set_IHDR(png, info, job.width, job.height, job.bitDepth, job.colorType, job.interlace,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job.palette) png_set_PLTE(png, info, job.palette, job.paletteLength);
    if (job.transparencyCount > 0) png_set_tRNS(png, info, job.transparency, job.transparencyCount, nullptr);
    png_set_bKGD(png, info, &job.background);
    const BITMAPINFOHEADER& header = job.image->GetHeader();
    png_set_pHYs(png, info, static_cast<png_uint_32>(header.biXPelsPerMeter),
                 static_cast<png_uint_32>(header.biYPelsPerMeter), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 row = 0; row < job.height; ++row) {
            FillRow(job, job.height - 1 - row);  // the top of the picture first
            png_write_row(png, job.row);
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return nullptr;
}

}  // namespace

bool GrPngCodec::Encode(GrFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    PngJob job{};
    job.stream = stream;
    job.image = this;
    job.width = GetWidth();
    job.height = GetHeight();
    job.interlace = GetCodecOption(TypePng) == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;
    job.background = png_color_16{0, 255, 255, 255, 0};

    // A transparent index outside the palette marks no colour at all.
    const int32_t trans = GetTransIndex();
    const bool transparentIndex = trans >= 0 && (!IsIndexed() || static_cast<uint32_t>(trans) < GetNumColors());
    if (transparentIndex && !IsIndexed()) {
        const RGBQUAD color = GetTransColor();
        job.background = png_color_16{0, color.rgbRed, color.rgbGreen, color.rgbBlue, 0};
    }

    std::vector<png_color> palette;
    png_byte transparency[256] = {};
    uint8_t indexMap[256];
    for (int i = 0; i < 256; ++i) indexMap[i] = static_cast<uint8_t>(i);
    if (IsIndexed()) {
        job.bitDepth = GetBpp();
        job.colorType = PNG_COLOR_TYPE_PALETTE;
        if (transparentIndex) {
            // The transparent colour goes to the file's entry 0, so one tRNS
            // byte says it.
            job.transparencyCount = 1;
            if (trans != 0) {
                std::swap(indexMap[0], indexMap[trans]);
                job.indexMap = indexMap;
            }
        }
        uint32_t length = GetNumColors();
        if (length > 2 && static_cast<uint64_t>(GetWidth()) * GetHeight() < 65536) {
            // Small images carry only the entries their pixels use.
            uint32_t highest = 0;
            for (uint32_t y = 0; y < GetHeight(); ++y)
                for (uint32_t x = 0; x < GetWidth(); ++x)
                    highest = std::max<uint32_t>(highest, indexMap[GetPixelIndex(x, y)]);
            length = highest + 1;
        }
        // The file's entry i is the image's entry that maps to it.
        const auto entry = [&indexMap](uint32_t i) { return static_cast<uint8_t>(indexMap[i]); };
        if (AlphaPaletteIsEnabled()) {
            for (uint32_t i = 0; i < length; ++i) transparency[i] = GetPaletteColor(entry(i)).rgbReserved;
            job.transparencyCount = static_cast<int>(length);
        }
        for (uint32_t i = 0; i < length; ++i) {
            const RGBQUAD color = GetPaletteColor(entry(i));
            palette.push_back(png_color{color.rgbRed, color.rgbGreen, color.rgbBlue});
        }
        job.palette = palette.data();
        job.paletteLength = static_cast<int>(length);
        job.transparency = transparency;
    } else {
        job.bitDepth = 8;
        job.colorType = PNG_COLOR_TYPE_RGB;
    }

    // A 24-bit transparent colour becomes alpha 0 for its pixels.
    job.alphaFromKey = !IsIndexed() && transparentIndex;
    if (AlphaIsValid() || job.alphaFromKey) {
        job.bitDepth = 8;
        job.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        job.palette = nullptr;
        job.transparencyCount = 0;
    }

    const size_t rowBytes = job.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4ull * job.width
                            : job.colorType == PNG_COLOR_TYPE_RGB     ? 3ull * job.width
                                                                      : GetEffWidth();
    std::vector<png_byte> row(rowBytes);
    job.row = row.data();
    const char* error = WritePng(job);
    if (error) SetLastError(error);
    return error == nullptr;
}

}  // namespace glyphrun
