// Internal: the codecs' deflate compressors, kept in a pool for the next
// image or page.
#pragma once

#include <libdeflate.h>

#include <string>
#include <string_view>

namespace glyphrun {

// A compressor taken from the pool and given back however the caller ends;
// Get() is null when memory ran out.
class BorrowedCompressor {
public:
    BorrowedCompressor();
    ~BorrowedCompressor();
    BorrowedCompressor(const BorrowedCompressor&) = delete;
    BorrowedCompressor& operator=(const BorrowedCompressor&) = delete;
    libdeflate_compressor* Get() const { return compressor_; }

private:
    libdeflate_compressor* compressor_;
};

// `data` as a zlib stream in `out`; false when memory ran out.
bool DeflateZlib(std::string_view data, std::string& out);

}  // namespace glyphrun
