// Saving and encoding an image: the dispatch to the writer of each type.
#include <memory>

#include "glyphrun/codecs.h"
#include "glyphrun/safe_file.h"

namespace glyphrun {
namespace {

std::unique_ptr<GrImage> MakeWriter(uint32_t type) {
    switch (type) {
        case TypeBmp: return std::make_unique<GrBmpCodec>();
        case TypeGif: return std::make_unique<GrImageGIF>();
        case TypePng: return std::make_unique<GrPngCodec>();
        default: return nullptr;
    }
}

bool RunWriter(GrImage& writer, uint32_t type, GrFile* stream) {
    switch (type) {
        case TypeBmp: return static_cast<GrBmpCodec&>(writer).Encode(stream);
        case TypeGif: return static_cast<GrImageGIF&>(writer).Encode(stream);
        default: return static_cast<GrPngCodec&>(writer).Encode(stream);
    }
}

}  // namespace

bool GrImage::Encode(GrFile* stream, uint32_t type) {
    try {
        std::unique_ptr<GrImage> writer = MakeWriter(type);
        if (!writer) {
            SetLastError("Encode: Unknown format");
            return false;
        }
        // The writer sees this image's settings and shares its pixels.
        writer->Ghost(this);
        const bool written = RunWriter(*writer, type, stream);
        if (!written) SetLastError(writer->GetLastError());
        return written;
    } catch (const std::bad_alloc&) {
        SetLastError("out of memory");
        return false;
    }
}

bool GrImage::Encode(FILE* stream, uint32_t type) {
    GrIOFile file(stream);
    if (!Encode(stream ? &file : nullptr, type)) return false;
    // Bytes still buffered are written only now: a full device shows here.
    if (!file.Flush() || file.Error() != 0) {
        SetLastError("Write Error: the stream did not take every byte");
        return false;
    }
    return true;
}

bool GrImage::Encode(uint8_t*& buffer, int32_t& size, uint32_t type) {
    if (buffer) {
        SetLastError("the buffer must be empty");
        return false;
    }
    GrMemFile memory;
    if (!memory.Open()) {
        SetLastError("out of memory");
        return false;
    }
    if (!Encode(&memory, type)) return false;
    size = static_cast<int32_t>(memory.Size());
    buffer = memory.GetBuffer(true);
    return true;
}

bool GrImage::Save(const char* path, uint32_t type) {
    // Nothing is opened, let alone truncated, for a save that cannot succeed.
    if (!path || !*path) {
        SetLastError("no file name");
        return false;
    }
    if (!MakeWriter(type)) {
        SetLastError("Encode: Unknown format");
        return false;
    }
    if (!dib_) {
        SetLastError("null image!!!");
        return false;
    }
    const FileWriteResult result = WriteFileSafely(path, [&](FILE* stream) { return Encode(stream, type); });
    // A writer's own reason stands unless the system gave a more precise one.
    if (!result.ok && (!result.writerFailed || result.systemError != 0)) SetLastError(result.reason.c_str());
    return result.ok;
}

}  // namespace glyphrun
