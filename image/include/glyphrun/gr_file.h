// Byte streams that the image writers write through: a standard I/O file
// or a growable memory buffer. Failures show only in the results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include "glyphrun/export.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

class GrFile {
public:
    virtual ~GrFile() = default;
    virtual bool Close() = 0;
    // Whole items read or written.
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    virtual bool Seek(long offset, int origin) = 0;  // SEEK_SET, SEEK_CUR, SEEK_END
    virtual long Tell() = 0;
    virtual long Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual long Error() = 0;  // 0 when there is no error
    virtual bool PutC(unsigned char c);
    virtual long GetC() = 0;  // 0-255, or -1
};

// A FILE stream; one handed in by the caller is never closed by this object.
class GrIOFile : public GrFile {
public:
    explicit GrIOFile(FILE* stream = nullptr);
    ~GrIOFile() override;
    GrIOFile(const GrIOFile&) = delete;
    GrIOFile& operator=(const GrIOFile&) = delete;

    bool Open(const char* name, const char* mode);
    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

private:
    FILE* stream_;
    bool closeOnDestroy_;
};

// A memory buffer that grows in 4096-byte steps. After GetBuffer(true) the
// buffer belongs to the caller (release it with free or GrImage::FreeMemory):
// the stream never reallocates or frees it again.
class GrMemFile : public GrFile {
public:
    explicit GrMemFile(unsigned char* buffer = nullptr, unsigned long size = 0);
    ~GrMemFile() override;
    GrMemFile(const GrMemFile&) = delete;
    GrMemFile& operator=(const GrMemFile&) = delete;

    bool Open();  // starts an empty buffer of its own
    unsigned char* GetBuffer(bool detach = true);

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(long offset, int origin) override;
    long Tell() override;
    long Size() override;
    bool Flush() override;
    bool Eof() override;
    long Error() override;
    bool PutC(unsigned char c) override;
    long GetC() override;

protected:
    bool Alloc(size_t newLength);  // grows the capacity past newLength
    void Free();

private:
    bool Reserve(size_t n);  // room for n bytes at the position

    unsigned char* buffer_;
    size_t size_;
    bool ownsBuffer_;
    bool handedOver_ = false;
    size_t position_ = 0;
    size_t capacity_;
};

}  // namespace glyphrun
GLYPHRUN_API_END
