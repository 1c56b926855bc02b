// The BMP, PNG and GIF writers. Each works on a ghost of the image it saves
// (GrImage::Encode makes one): it shares the image's pixels and palette and
// reports failure by a false result with a reason in GetLastError().
#pragma once

#include <cstdint>
#include <string>

#include "glyphrun/export.h"
#include "glyphrun/gr_image.h"
#include "glyphrun/status.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

// Registers the BMP, GIF and PNG writers for GrImage's Save and Encode.
// Call it before saving through GrImage; any number of calls, from any
// thread, register them once. WriteSymbol and SaveSymbol call it.
void RegisterImageWriters();

// Uncompressed Windows bitmap: a 14-byte file header and the image's block.
class GrBmpCodec : public GrImage {
public:
    explicit GrBmpCodec(uint32_t type = TypeBmp) : GrImage(type) {}
    bool Encode(GrFile* stream);
};

// PNG through libpng: palette, RGB or RGB with alpha; codec option 1 selects
// Adam7 interlacing.
class GrPngCodec : public GrImage {
public:
    explicit GrPngCodec(uint32_t type = TypePng) : GrImage(type) {}
    bool Encode(GrFile* stream);
};

enum class CompactPngError { None = 0, Refused, OutOfMemory };
GLYPHRUN_ERROR_ENUM(CompactPngError)

// A 1-bit image with a palette of one or two entries as a compact PNG:
// colour type 3 at bit depth 1, no filter, deflated by libdeflate, with its
// palette, a tRNS chunk when the image has a transparent index, and pHYs
// from the image's resolution. Appends the file to `file`; refuses any
// other image (CompactPngError::Refused), or fails when memory runs out,
// and then `file` is as it was. An image with an alpha channel or palette
// alpha values counts as another image. The image is not changed; any
// number of threads may write at once.
Status EncodeCompactPng(const GrImage& image, std::string& file);

enum class PgmError { None = 0, Refused, OutOfMemory };
GLYPHRUN_ERROR_ENUM(PgmError)

// A 1-bit image as a binary PGM, each palette entry as its grey, appended
// to `file`; any other image is refused (PgmError::Refused).
Status EncodePgm(const GrImage& image, std::string& file);

// GIF89a. Palette images become one image block compressed by LZW, or with
// codec option 1 one code per pixel, or with option 2 run lengths. 24-bit
// images of at most 256 colours become one palette image of those colours;
// others are cut into tiles of 17 x 15 pixels with a colour table each.
class GrImageGIF : public GrImage {
public:
    explicit GrImageGIF(uint32_t type = TypeGif);
    bool Encode(GrFile* stream);

    void SetLoops(int loops) { loops_ = loops; }
    int GetLoops() const { return loops_; }
    void SetDisposalMethod(int method) { disposalMethod_ = method; }
    int GetDisposalMethod() const { return disposalMethod_; }
    void SetComment(const char* comment);  // at most 255 characters are kept
    void GetComment(char* comment) const;  // room for 256 characters

    static constexpr int kHashSize = 5003;  // slots of the LZW string table

protected:
    struct RleState;

    void EncodeHeader(GrFile* stream);
    void EncodeExtension(GrFile* stream);
    void EncodeComment(GrFile* stream);
    void EncodeBody(GrFile* stream, bool localColorMap);
    bool EncodeRGB(GrFile* stream);
    bool EncodePalette(GrFile* stream);

    void compressLZW(int initBits, GrFile* stream);
    void compressNONE(int initBits, GrFile* stream);
    void compressRLE(int initBits, GrFile* stream);
    void output(int code);
    void cl_hash();
    void char_out(int byte);
    void flush_char();
    int GifNextPixel();
    void Putword(int value, GrFile* stream);

    void rle_clear(RleState& rle);
    void rle_flush(RleState& rle);
    void rle_output_plain(RleState& rle, int code);
    void rle_flush_fromclear(RleState& rle, int count);
    void rle_reset_out_clear(RleState& rle);
    void rle_flush_withtable(RleState& rle, int count);
    void rle_flush_clearorrep(RleState& rle, int count);
    void rle_output(RleState& rle, int code);
    void rle_output_flush(RleState& rle);
    void rle_block_out(RleState& rle, uint8_t byte);
    void rle_block_flush(RleState& rle);
    void rle_write_block(RleState& rle);

public:
    static uint32_t rle_compute_triangle_count(uint32_t count, uint32_t limit);
    static uint32_t rle_isqrt(uint32_t x);

private:
    // Every byte goes through these, so that a failed write is noticed.
    void Put(GrFile* stream, uint8_t byte);
    void PutBytes(GrFile* stream, const void* bytes, size_t count);
    void PutColorTable(GrFile* stream);
    void StartCodes(int initBits, GrFile* stream);
    bool FinishWrite(GrFile* stream);
    bool WriteTiles(GrFile* stream);
    bool WriteWithOwnPalette(GrFile* stream, const RGBQUAD* colors, int count);
    bool HasTransparentIndex() const;

    struct GraphicControl {
        uint8_t flags;
        uint16_t delay;
        uint8_t transparentIndex;
    };
    GraphicControl graphicControl_{};
    int32_t currentX_ = 0, currentY_ = 0;
    int64_t pixelsLeft_ = 0;
    const uint8_t* currentRow_ = nullptr;
    uint32_t bitAccumulator_ = 0;
    int32_t bitCount_ = 0;
    int32_t hashTable_[kHashSize];
    uint16_t codeTable_[kHashSize];
    int32_t codeBits_ = 0;
    int32_t maxCode_ = 0, freeCode_ = 0;
    int32_t clearFlag_ = 0;
    int32_t initBits_ = 0;
    GrFile* outStream_ = nullptr;
    int32_t clearCode_ = 0, eofCode_ = 0;
    int32_t blockCount_ = 0;
    uint8_t blockBuffer_[256];
    char comment_[256] = {};
    int loops_ = 0;
    int disposalMethod_ = 0;
    bool writeFailed_ = false;
};

}  // namespace glyphrun
GLYPHRUN_API_END
