#include <climits>
#include <cstdlib>
#include <cstring>

#include "glyphrun/gr_file.h"

namespace glyphrun {

bool GrFile::PutC(unsigned char c) { return Write(&c, 1, 1) == 1; }

// ---------------------------------------------------------------- GrIOFile

GrIOFile::GrIOFile(FILE* stream) : stream_(stream), closeOnDestroy_(stream == nullptr) {}

GrIOFile::~GrIOFile() { Close(); }

bool GrIOFile::Open(const char* name, const char* mode) {
    if (stream_) return false;
    stream_ = std::fopen(name, mode);
    if (!stream_) return false;
    closeOnDestroy_ = true;
    return true;
}

bool GrIOFile::Close() {
    if (!stream_ || !closeOnDestroy_) return true;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return closed;
}

size_t GrIOFile::Read(void* buffer, size_t size, size_t count) {
    return stream_ ? std::fread(buffer, size, count, stream_) : 0;
}

size_t GrIOFile::Write(const void* buffer, size_t size, size_t count) {
    return stream_ ? std::fwrite(buffer, size, count, stream_) : 0;
}

bool GrIOFile::Seek(long offset, int origin) { return stream_ && std::fseek(stream_, offset, origin) == 0; }

long GrIOFile::Tell() { return stream_ ? std::ftell(stream_) : 0; }

long GrIOFile::Size() {
    if (!stream_) return -1;
    const long position = std::ftell(stream_);
    std::fseek(stream_, 0, SEEK_END);
    const long size = std::ftell(stream_);
    std::fseek(stream_, position, SEEK_SET);
    return size;
}

bool GrIOFile::Flush() { return stream_ && std::fflush(stream_) == 0; }

bool GrIOFile::Eof() { return !stream_ || std::feof(stream_) != 0; }

long GrIOFile::Error() { return stream_ ? std::ferror(stream_) : -1; }

bool GrIOFile::PutC(unsigned char c) { return stream_ && std::fputc(c, stream_) == c; }

long GrIOFile::GetC() { return stream_ ? std::getc(stream_) : -1; }

// ---------------------------------------------------------------- GrMemFile

namespace {
constexpr size_t kGrowthStep = 4096;
constexpr size_t kMaxMemFileSize = INT_MAX;  // positions and sizes stay signed 32-bit values
}  // namespace

GrMemFile::GrMemFile(unsigned char* buffer, unsigned long size)
    : buffer_(buffer), size_(size), ownsBuffer_(buffer == nullptr), capacity_(size) {}

GrMemFile::~GrMemFile() { Close(); }

bool GrMemFile::Open() {
    if (buffer_) return false;
    capacity_ = size_ = position_ = 0;
    handedOver_ = false;
    buffer_ = static_cast<unsigned char*>(std::malloc(1));
    ownsBuffer_ = true;
    return buffer_ != nullptr;
}

unsigned char* GrMemFile::GetBuffer(bool detach) {
    // Once handed over, the buffer stays its new owner's.
    handedOver_ = handedOver_ || detach;
    ownsBuffer_ = !handedOver_;
    return buffer_;
}

bool GrMemFile::Close() {
    if (buffer_ && ownsBuffer_) {
        std::free(buffer_);
        buffer_ = nullptr;
        size_ = 0;
    }
    return true;
}

void GrMemFile::Free() { Close(); }

bool GrMemFile::Alloc(size_t newLength) {
    if (newLength <= capacity_) return true;
    // A buffer handed over to its new owner is theirs alone.
    if (handedOver_ || newLength > kMaxMemFileSize) return false;
    const size_t capacity = newLength / kGrowthStep * kGrowthStep + kGrowthStep;
    auto* grown = static_cast<unsigned char*>(std::realloc(buffer_, capacity));
    if (!grown) return false;  // the old buffer stays as it was
    buffer_ = grown;
    capacity_ = capacity;
    ownsBuffer_ = true;
    return true;
}

size_t GrMemFile::Read(void* buffer, size_t size, size_t count) {
    if (!buffer || !buffer_ || position_ >= size_ || size == 0 || count == 0) return 0;
    if (count > SIZE_MAX / size) return 0;
    size_t n = size * count;
    if (n > size_ - position_) n = size_ - position_;
    std::memcpy(buffer, buffer_ + position_, n);
    position_ += n;
    return n / size;
}

bool GrMemFile::Reserve(size_t n) {
    if (position_ > kMaxMemFileSize || n > kMaxMemFileSize - position_) return false;
    if (position_ + n > capacity_ && !Alloc(position_ + n)) return false;
    // A write past the end after a seek leaves zeros in the gap, never old heap bytes.
    if (position_ > size_) std::memset(buffer_ + size_, 0, position_ - size_);
    return true;
}

size_t GrMemFile::Write(const void* buffer, size_t size, size_t count) {
    if (!buffer_ || !buffer || size == 0 || count == 0 || count > SIZE_MAX / size) return 0;
    const size_t n = size * count;
    if (!Reserve(n)) return 0;
    std::memcpy(buffer_ + position_, buffer, n);
    position_ += n;
    if (position_ > size_) size_ = position_;
    return count;
}

bool GrMemFile::PutC(unsigned char c) {
    if (!buffer_ || !Reserve(1)) return false;
    buffer_[position_++] = c;
    if (position_ > size_) size_ = position_;
    return true;
}

long GrMemFile::GetC() {
    if (Eof()) return -1;
    return buffer_[position_++];
}

bool GrMemFile::Seek(long offset, int origin) {
    if (!buffer_) return false;
    long base;
    switch (origin) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = static_cast<long>(position_); break;
        case SEEK_END: base = static_cast<long>(size_); break;
        default: return false;
    }
    long target;
    if (__builtin_add_overflow(base, offset, &target)) return false;
    position_ = target < 0 ? 0 : static_cast<size_t>(target);
    return true;
}

long GrMemFile::Tell() { return buffer_ ? static_cast<long>(position_) : -1; }

long GrMemFile::Size() { return buffer_ ? static_cast<long>(size_) : -1; }

bool GrMemFile::Flush() { return buffer_ != nullptr; }

bool GrMemFile::Eof() { return !buffer_ || position_ >= size_; }

long GrMemFile::Error() {
    if (!buffer_) return -1;
    return position_ > size_ ? 1 : 0;
}

}  // namespace glyphrun
