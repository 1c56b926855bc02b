// GIF89a: the blocks every GIF path writes, the entry point, and the LZW
// compressor.
#include <cstring>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

constexpr int kMaxGifSide = 65535;  // the format's 16-bit sizes
constexpr int kMaxCodes = 4096;     // 12-bit codes
constexpr int kMaxSubBlock = 254;

}  // namespace

GrImageGIF::GrImageGIF(uint32_t type) : GrImage(type) {}

void GrImageGIF::SetComment(const char* comment) {
    if (!comment) return;
    std::strncpy(comment_, comment, 255);
    comment_[255] = '\0';
}

void GrImageGIF::GetComment(char* comment) const {
    if (!comment) return;
    std::strncpy(comment, comment_, 255);
    comment[255] = '\0';
}

void GrImageGIF::Put(GrFile* stream, uint8_t byte) {
    if (!stream->PutC(byte)) writeFailed_ = true;
}

void GrImageGIF::PutBytes(GrFile* stream, const void* bytes, size_t count) {
    if (count > 0 && stream->Write(bytes, 1, count) != count) writeFailed_ = true;
}

void GrImageGIF::Putword(int value, GrFile* stream) {
    Put(stream, static_cast<uint8_t>(value & 0xFF));
    Put(stream, static_cast<uint8_t>(value / 256 & 0xFF));
}

// Every write of the file succeeded and the stream took the last bytes.
bool GrImageGIF::FinishWrite(GrFile* stream) {
    if (!stream->Flush() || stream->Error() != 0) writeFailed_ = true;
    if (writeFailed_) SetLastError("Write Error in GIF file");
    return !writeFailed_;
}

// A transparent index outside the palette marks no colour at all.
bool GrImageGIF::HasTransparentIndex() const {
    return GetTransIndex() >= 0 && static_cast<uint32_t>(GetTransIndex()) < (IsIndexed() ? GetNumColors() : 256);
}

bool GrImageGIF::Encode(GrFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    if (GetWidth() > kMaxGifSide || GetHeight() > kMaxGifSide) {
        SetLastError("GIF images are at most 65535 pixels wide and high");
        return false;
    }
    writeFailed_ = false;
    return GetBpp() > 8 ? EncodeRGB(stream) : EncodePalette(stream);
}

bool GrImageGIF::EncodePalette(GrFile* stream) {
    // One image fills the logical screen; offsets place frames of a
    // larger canvas, which a single image is not.
    SetOffset(0, 0);
    EncodeHeader(stream);
    // The comment comes first: the graphic control extension belongs to the
    // image that follows it.
    EncodeComment(stream);
    EncodeExtension(stream);
    EncodeBody(stream, false);
    Put(stream, 0x3B);
    return FinishWrite(stream);
}

void GrImageGIF::EncodeHeader(GrFile* stream) {
    PutBytes(stream, "GIF89a", 6);
    Putword(static_cast<int>(GetWidth()), stream);
    Putword(static_cast<int>(GetHeight()), stream);
    const int bpp = GetBpp();
    const RGBQUAD* palette = GetPalette();
    Put(stream, palette ? static_cast<uint8_t>(0x80 | (bpp - 1) | ((bpp + 7) * 32 % 256)) : 0x11);
    Put(stream, 0);
    Put(stream, 0);
    if (palette) PutColorTable(stream);
}

// The palette as red, green, blue triples.
void GrImageGIF::PutColorTable(GrFile* stream) {
    const RGBQUAD* palette = GetPalette();
    uint8_t table[256 * 3];
    for (uint32_t i = 0; i < GetNumColors(); ++i) {
        table[3 * i] = palette[i].rgbRed;
        table[3 * i + 1] = palette[i].rgbGreen;
        table[3 * i + 2] = palette[i].rgbBlue;
    }
    PutBytes(stream, table, 3 * GetNumColors());
}

void GrImageGIF::EncodeExtension(GrFile* stream) {
    Put(stream, 0x21);
    Put(stream, 0xF9);
    const bool transparent = HasTransparentIndex();
    graphicControl_.flags = static_cast<uint8_t>((disposalMethod_ & 7) << 2 | (transparent ? 1 : 0));
    graphicControl_.delay = static_cast<uint16_t>(GetFrameDelay() & 0xFFFF);
    graphicControl_.transparentIndex = transparent ? static_cast<uint8_t>(GetTransIndex()) : 0xFF;
    Put(stream, 4);
    Put(stream, graphicControl_.flags);
    Putword(graphicControl_.delay, stream);
    Put(stream, graphicControl_.transparentIndex);
    Put(stream, 0);
}

void GrImageGIF::EncodeComment(GrFile* stream) {
    const size_t length = std::strlen(comment_);
    if (length == 0) return;
    Put(stream, 0x21);
    Put(stream, 0xFE);
    Put(stream, static_cast<uint8_t>(length));
    PutBytes(stream, comment_, length);
    Put(stream, 0);
}

void GrImageGIF::EncodeBody(GrFile* stream, bool localColorMap) {
    const int bpp = GetBpp();
    currentX_ = 0;
    currentY_ = static_cast<int32_t>(GetHeight()) - 1;  // the top row of the picture
    currentRow_ = GetBits(static_cast<uint32_t>(currentY_));
    pixelsLeft_ = static_cast<int64_t>(GetWidth()) * GetHeight();

    int32_t x, y;
    GetOffset(&x, &y);
    Put(stream, 0x2C);
    Putword(x, stream);
    Putword(y, stream);
    Putword(static_cast<int>(GetWidth()), stream);
    Putword(static_cast<int>(GetHeight()), stream);
    Put(stream, localColorMap ? static_cast<uint8_t>(0x80 | (bpp - 1)) : 0);
    if (localColorMap) PutColorTable(stream);
    const int minimumCodeSize = bpp <= 1 ? 2 : bpp;
    Put(stream, static_cast<uint8_t>(minimumCodeSize));
    switch (GetCodecOption(TypeGif)) {
        case 1: compressNONE(minimumCodeSize + 1, stream); break;
        case 2: compressRLE(minimumCodeSize + 1, stream); break;
        default: compressLZW(minimumCodeSize + 1, stream); break;
    }
    Put(stream, 0);
}

// Reads the row directly: the cursor never leaves the image, and this runs
// once per pixel.
int GrImageGIF::GifNextPixel() {
    if (pixelsLeft_ == 0) return -1;
    --pixelsLeft_;
    const int32_t x = currentX_;
    int pixel;
    switch (GetBpp()) {
        case 8: pixel = currentRow_[x]; break;
        case 4: pixel = (x % 2 == 0) ? currentRow_[x / 2] >> 4 : currentRow_[x / 2] & 0x0F; break;
        default: pixel = currentRow_[x / 8] >> (7 - x % 8) & 1; break;
    }
    if (++currentX_ == static_cast<int32_t>(GetWidth())) {
        currentX_ = 0;
        if (--currentY_ >= 0) currentRow_ = GetBits(static_cast<uint32_t>(currentY_));
    }
    return pixel;
}

// ---------------------------------------------------------------- LZW

void GrImageGIF::cl_hash() {
    for (int32_t& slot : hashTable_) slot = -1;
}

// The code state both table-based compressors start from.
void GrImageGIF::StartCodes(int initBits, GrFile* stream) {
    initBits_ = initBits;
    outStream_ = stream;
    codeBits_ = initBits;
    clearFlag_ = 0;
    bitAccumulator_ = 0;
    bitCount_ = 0;
    blockCount_ = 0;
    maxCode_ = (1 << codeBits_) - 1;
    clearCode_ = 1 << (initBits - 1);
    eofCode_ = clearCode_ + 1;
    freeCode_ = clearCode_ + 2;
}

void GrImageGIF::compressLZW(int initBits, GrFile* stream) {
    StartCodes(initBits, stream);

    int prefix = GifNextPixel();
    constexpr int kShift = 4;  // 5003 doubles four times before it passes 65536
    cl_hash();
    output(clearCode_);
    for (int c = GifNextPixel(); c != -1; c = GifNextPixel()) {
        const int32_t key = (c << 12) + prefix;
        int i = (c << kShift) ^ prefix;
        bool found = hashTable_[i] == key;
        if (!found && hashTable_[i] >= 0) {
            // Open addressing with a second hash: step back by 5003 - i.
            const int step = i == 0 ? 1 : kHashSize - i;
            do {
                i -= step;
                if (i < 0) i += kHashSize;
                found = hashTable_[i] == key;
            } while (!found && hashTable_[i] > 0);
        }
        if (found) {
            prefix = codeTable_[i];
            continue;
        }
        output(prefix);
        prefix = c;
        if (freeCode_ < kMaxCodes) {
            codeTable_[i] = static_cast<uint16_t>(freeCode_++);
            hashTable_[i] = key;
        } else {
            cl_hash();
            freeCode_ = clearCode_ + 2;
            clearFlag_ = 1;
            output(clearCode_);
        }
    }
    output(prefix);
    output(eofCode_);
}

void GrImageGIF::compressNONE(int initBits, GrFile* stream) {
    StartCodes(initBits, stream);

    int prefix = GifNextPixel();
    output(clearCode_);
    // Each code adds one entry to a decoder's table, so the width grows
    // where the decoder's does, and a clear follows the code that fills it.
    while (prefix != -1) {
        const int c = GifNextPixel();
        output(prefix);
        prefix = c;
        if (freeCode_ < kMaxCodes) {
            ++freeCode_;
        } else {
            freeCode_ = clearCode_ + 2;
            clearFlag_ = 1;
            output(clearCode_);
        }
    }
    output(eofCode_);
}

void GrImageGIF::output(int code) {
    bitAccumulator_ &= (1u << bitCount_) - 1;
    bitAccumulator_ =
        bitCount_ > 0 ? bitAccumulator_ | static_cast<uint32_t>(code) << bitCount_ : static_cast<uint32_t>(code);
    bitCount_ += codeBits_;
    while (bitCount_ >= 8) {
        char_out(static_cast<int>(bitAccumulator_ & 0xFF));
        bitAccumulator_ >>= 8;
        bitCount_ -= 8;
    }
    if (freeCode_ > maxCode_ || clearFlag_) {
        if (clearFlag_) {
            codeBits_ = initBits_;
            maxCode_ = (1 << codeBits_) - 1;
            clearFlag_ = 0;
        } else {
            ++codeBits_;
            maxCode_ = codeBits_ == 12 ? kMaxCodes : (1 << codeBits_) - 1;
        }
    }
    if (code == eofCode_) {
        while (bitCount_ > 0) {
            char_out(static_cast<int>(bitAccumulator_ & 0xFF));
            bitAccumulator_ >>= 8;
            bitCount_ -= 8;
        }
        flush_char();
    }
}

void GrImageGIF::char_out(int byte) {
    blockBuffer_[blockCount_++] = static_cast<uint8_t>(byte);
    if (blockCount_ >= kMaxSubBlock) flush_char();
}

void GrImageGIF::flush_char() {
    if (blockCount_ == 0) return;
    Put(outStream_, static_cast<uint8_t>(blockCount_));
    PutBytes(outStream_, blockBuffer_, static_cast<size_t>(blockCount_));
    blockCount_ = 0;
}

}  // namespace glyphrun
