// A small, fast PNG for 1-bit palette images, written chunk by chunk
// without libpng: the rows of such an image are already in the file's own
// bit order, so they are copied with a filter byte of 0 in front and the
// whole image is deflated in one call.
#include <libdeflate.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "deflate.h"
#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

// A chunk's length field is a signed 31-bit count.
constexpr size_t kMaxChunkData = 0x7FFFFFFF;

void PutBigEndian(std::string& file, uint32_t value) {
    const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    file.append(bytes, 4);
}

// The chunk whose type starts at `typeAt` and whose data runs to the end of
// `file`: its length goes in front and its check value after.
void CloseChunk(std::string& file, size_t typeAt) {
    const size_t dataLength = file.size() - typeAt - 4;
    // libdeflate's CRC-32 is zlib's, folded with carry-less multiplies.
    const uint32_t crc = libdeflate_crc32(0, file.data() + typeAt, dataLength + 4);
    for (int shift = 24, i = 0; shift >= 0; shift -= 8, ++i)
        file[typeAt - 4 + i] = static_cast<char>(dataLength >> shift);
    PutBigEndian(file, crc);
}

// Leaves room for the length and writes the type; returns where the type is.
size_t OpenChunk(std::string& file, const char* type) {
    file.append(4, '\0');
    const size_t typeAt = file.size();
    file.append(type, 4);
    return typeAt;
}

// Why the image cannot be written, or null.
const char* Refusal(const GrImage& image) {
    if (!image.IsValid()) return "compact PNG: the image is empty";
    if (image.GetBpp() != 1 || !image.IsIndexed() || image.GetNumColors() < 1 || image.GetNumColors() > 2)
        return "compact PNG: only 1-bit images with a palette of one or two colours can be written";
    if (image.AlphaIsValid()) return "compact PNG: the image has an alpha channel, which a 1-bit PNG cannot carry";
    if (image.AlphaPaletteIsEnabled())
        return "compact PNG: the image's palette has alpha values, which this writer does not carry";
    return nullptr;
}

// The scanlines as the file stores them, top row first, each a filter byte
// of 0 and the row's packed pixels. Bits past the last pixel are cleared so
// that equal rows stay equal whatever the image left there.
std::vector<uint8_t> Scanlines(const GrImage& image) {
    const uint32_t width = image.GetWidth(), height = image.GetHeight();
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    const auto lastMask = static_cast<uint8_t>(0xFF << ((8 - width % 8) % 8));
    std::vector<uint8_t> lines(height * (rowBytes + 1));
    uint8_t* out = lines.data();
    for (uint32_t row = height; row-- > 0;) {
        *out++ = 0;
        std::memcpy(out, image.GetBits(row), rowBytes);
        out[rowBytes - 1] &= lastMask;
        out += rowBytes;
    }
    return lines;
}

// False when the compressor's bound was not enough, which is not expected.
bool Append(const GrImage& image, std::string& file, libdeflate_compressor* compressor) {
    static constexpr char kSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1A', '\n'};
    const std::vector<uint8_t> lines = Scanlines(image);
    const size_t bound = libdeflate_zlib_compress_bound(compressor, lines.size());
    const uint32_t colors = image.GetNumColors();
    file.reserve(file.size() + 8 + 25 + 12 + 3 * colors + 12 + colors + 21 + 12 + bound + 12);
    file.append(kSignature, 8);

    size_t chunk = OpenChunk(file, "IHDR");
    PutBigEndian(file, image.GetWidth());
    PutBigEndian(file, image.GetHeight());
    file.append({'\x01', '\x03', '\0', '\0', '\0'});  // depth 1, palette, deflate, no filter, not interlaced
    CloseChunk(file, chunk);

    chunk = OpenChunk(file, "PLTE");
    for (uint32_t i = 0; i < colors; ++i) {
        const RGBQUAD color = image.GetPaletteColor(static_cast<uint8_t>(i));
        file.append(
            {static_cast<char>(color.rgbRed), static_cast<char>(color.rgbGreen), static_cast<char>(color.rgbBlue)});
    }
    CloseChunk(file, chunk);

    // Entries after the transparent one are opaque by omission.
    const int32_t trans = image.GetTransIndex();
    if (trans >= 0 && static_cast<uint32_t>(trans) < colors) {
        chunk = OpenChunk(file, "tRNS");
        file.append(static_cast<size_t>(trans), '\xFF');
        file.push_back('\0');
        CloseChunk(file, chunk);
    }

    const BITMAPINFOHEADER& header = image.GetHeader();
    chunk = OpenChunk(file, "pHYs");
    PutBigEndian(file, static_cast<uint32_t>(header.biXPelsPerMeter));
    PutBigEndian(file, static_cast<uint32_t>(header.biYPelsPerMeter));
    file.push_back('\x01');  // the metre
    CloseChunk(file, chunk);

    // The stream is compressed in place, into room for the longest it can
    // be. A stream too long for one chunk, which no image of a symbol comes
    // near, is then moved out and cut into several.
    chunk = OpenChunk(file, "IDAT");
    const size_t streamAt = file.size();
    file.resize(streamAt + bound);
    const size_t streamLength =
        libdeflate_zlib_compress(compressor, lines.data(), lines.size(), file.data() + streamAt, bound);
    if (streamLength == 0) return false;
    file.resize(streamAt + streamLength);
    if (streamLength <= kMaxChunkData) {
        CloseChunk(file, chunk);
    } else {
        const std::string stream = file.substr(streamAt);
        file.resize(chunk - 4);
        for (size_t at = 0; at < stream.size(); at += kMaxChunkData) {
            chunk = OpenChunk(file, "IDAT");
            file.append(stream, at, kMaxChunkData);
            CloseChunk(file, chunk);
        }
    }

    chunk = OpenChunk(file, "IEND");
    CloseChunk(file, chunk);
    return true;
}

}  // namespace

Status EncodeCompactPng(const GrImage& image, std::string& file) {
    if (const char* refusal = Refusal(image)) return Status::Failed(CompactPngError::Refused, refusal);
    const size_t original = file.size();
    // A failure is answered without an exception where one can be: a
    // process short of memory may have none left to throw one with.
    try {
        const BorrowedCompressor compressor;
        if (compressor.Get() && Append(image, file, compressor.Get())) return {};
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {}
    file.resize(original);
    return Status::Failed(CompactPngError::OutOfMemory, "out of memory");
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(CompactPngError, "glyphrun.png")

}  // namespace glyphrun
