#include "deflate.h"

#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

namespace glyphrun {
namespace {

// Level 5 was measured against 3 to 9 on labels and on the largest symbol
// at 1 and 4 pixels a module (bench/README.md): within two bytes of the
// smallest of levels 3 to 6 on each, and up to twice as fast as level 6.
// Levels 7 to 9 save a few bytes on labels but take several times as long
// on large symbols. PDF pages take level 1 (kPageLevel): a label's page is a
// few kilobytes of text, for which the larger match finders of levels 2 to
// 6 cost more to set up than they find (bench/README.md, "Label documents").
constexpr int kLevel = kImageLevel;

// Compressors are kept for the next image: making one for each image
// added about 3 µs to a label's 10. They wait in a pool rather than one in
// each thread, since a thread_local of a library loaded later (the Python
// extension) is allocated on a thread's first use, and an allocation that
// fails there ends the process.
class CompressorPool {
public:
    explicit CompressorPool(int level) : level_(level) {}
    ~CompressorPool() {
        for (libdeflate_compressor* compressor : idle_) libdeflate_free_compressor(compressor);
    }
    // A compressor of its own for the caller, or null when memory ran out.
    libdeflate_compressor* Take() {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                libdeflate_compressor* compressor = idle_.back();
                idle_.pop_back();
                return compressor;
            }
        }
        return libdeflate_alloc_compressor(level_);
    }
    void Give(libdeflate_compressor* compressor) {
        std::lock_guard lock(mutex_);
        try {
            idle_.push_back(compressor);
        } catch (const std::bad_alloc&) {
            libdeflate_free_compressor(compressor);
        }
    }

private:
    const int level_;
    std::mutex mutex_;
    std::vector<libdeflate_compressor*> idle_;
};

CompressorPool& Compressors(int level) {
    static CompressorPool images(kLevel), pages(kPageLevel);
    return level == kPageLevel ? pages : images;
}

}  // namespace

BorrowedCompressor::BorrowedCompressor(int level) : level_(level), compressor_(Compressors(level).Take()) {}

BorrowedCompressor::~BorrowedCompressor() {
    if (compressor_) Compressors(level_).Give(compressor_);
}

bool DeflateZlib(std::string_view data, std::string& out, int level) {
    try {
        const BorrowedCompressor compressor(level);
        if (!compressor.Get()) return false;
        out.resize(libdeflate_zlib_compress_bound(compressor.Get(), data.size()));
        out.resize(libdeflate_zlib_compress(compressor.Get(), data.data(), data.size(), out.data(), out.size()));
        return !out.empty();
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {}
    return false;
}

}  // namespace glyphrun
