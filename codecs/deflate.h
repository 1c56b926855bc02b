// Internal: the codecs' deflate compressors, kept in a pool for the next
// image or page.
#pragma once

#include <libdeflate.h>

#include <string>
#include <string_view>

namespace glyphrun {

// A compressor taken from the pool and given back however the caller ends;
// Get() is null when memory ran out.
// The level of images (PNG), and of PDF pages, which are text: see deflate.cpp.
inline constexpr int kImageLevel = 5;
inline constexpr int kPageLevel = 1;

class BorrowedCompressor {
public:
    explicit BorrowedCompressor(int level = kImageLevel);
    ~BorrowedCompressor();
    BorrowedCompressor(const BorrowedCompressor&) = delete;
    BorrowedCompressor& operator=(const BorrowedCompressor&) = delete;
    libdeflate_compressor* Get() const { return compressor_; }

private:
    int level_;
    libdeflate_compressor* compressor_;
};

// `data` as a zlib stream in `out`, at kImageLevel or kPageLevel; false
// when memory ran out.
bool DeflateZlib(std::string_view data, std::string& out, int level = kImageLevel);

}  // namespace glyphrun
