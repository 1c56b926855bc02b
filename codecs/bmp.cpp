// Windows bitmap: a 14-byte file header, then the image's block as it is.
#include <cstring>

#include "glyphrun/codecs.h"

namespace glyphrun {
namespace {

void PutLittleEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

bool GrBmpCodec::Encode(GrFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    const BITMAPINFOHEADER& header = GetHeader();
    const auto blockSize = static_cast<uint32_t>(GetSize());
    uint8_t fileHeader[14] = {'B', 'M'};
    PutLittleEndian(fileHeader + 2, blockSize + 14, 4);
    PutLittleEndian(fileHeader + 10, 14 + header.biSize + GetPaletteSize(), 4);
    // The block carries the current header, resolution changes included.
    std::memcpy(GetDIB(), &header, sizeof header);
    if (stream->Write(fileHeader, sizeof fileHeader, 1) != 1 || stream->Write(GetDIB(), blockSize, 1) != 1) {
        SetLastError("Write Error in BMP file");
        return false;
    }
    return true;
}

}  // namespace glyphrun
