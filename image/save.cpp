// Saving and encoding an image: the dispatch to the writer registered for
// each type.
#include <new>

#include "glyphrun/gr_image.h"
#include "glyphrun/safe_file.h"

namespace glyphrun {
namespace {

// Constant-initialised, so registrations made while other files' statics
// are initialised find it ready.
ImageWriter gWriters[kImageTypeCount] = {};

const ImageWriter* WriterFor(uint32_t type) {
    return type < kImageTypeCount && gWriters[type].make ? &gWriters[type] : nullptr;
}

}  // namespace

void RegisterImageWriter(uint32_t type, ImageWriter writer) {
    if (type != TypeUnknown && type < kImageTypeCount) gWriters[type] = writer;
}

bool GrImage::Encode(GrFile* stream, uint32_t type) {
    const ImageWriter* writer = WriterFor(type);
    if (!writer) {
        SetLastError("Encode: Unknown format");
        return false;
    }
    try {
        std::unique_ptr<GrImage> codec = writer->make();
        // The codec sees this image's settings and shares its pixels.
        codec->Ghost(this);
        const bool written = writer->encode(*codec, stream);
        if (!written) SetLastError(codec->GetLastError());
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
    if (!WriterFor(type)) {
        SetLastError("Encode: Unknown format");
        return false;
    }
    if (!dib_) {
        SetLastError("null image!!!");
        return false;
    }
    const Status written = WriteFileSafely(path, [&](FILE* stream) { return Encode(stream, type); });
    // A writer's own reason stands unless the system gave a more precise one.
    if (!written && !written.Is(FileWriteError::Writer)) SetLastError(written.reason().c_str());
    return static_cast<bool>(written);
}

}  // namespace glyphrun
