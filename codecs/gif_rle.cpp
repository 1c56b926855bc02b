// The GIF run-length compressor: runs of equal pixels sent as codes that a
// standard decoder's string table builds by itself, so that any decoder
// reads them without knowing the trick.
#include "glyphrun/codecs.h"

namespace glyphrun {

struct GrImageGIF::RleState {
    int runPixel = -1;
    int runBaseCode = 0;  // the code of a run of 2 pixels
    int runCount = 0;
    int tablePixel = 0;  // the pixel whose runs the decoder's table holds
    int tableMax = 0;    // the longest run of it the table holds
    int justCleared = 0;
    int outBits = 0, outBitsInit = 0;
    int outCount = 0;  // codes since the last clear
    int outBump = 0, outBumpInit = 0;
    int outClear = 0, outClearInit = 0;
    int maxOutCodes = 0;
    int codeClear = 0, codeEof = 0;
    uint32_t bitBuffer = 0;
    int bufferedBits = 0;
    uint8_t block[256];
    int blockLength = 0;
};

void GrImageGIF::compressRLE(int initBits, GrFile* stream) {
    outStream_ = stream;
    initBits_ = initBits;
    RleState rle;
    rle.codeClear = 1 << (initBits - 1);
    rle.codeEof = rle.codeClear + 1;
    rle.runBaseCode = rle.codeClear + 2;
    rle.outBumpInit = rle.codeClear - 1;
    rle.outClearInit = initBits <= 3 ? 9 : rle.codeClear - 2;
    rle.outBitsInit = initBits;
    rle.maxOutCodes = 4093 - rle.codeClear;
    rle_clear(rle);
    rle_output(rle, rle.codeClear);
    for (;;) {
        const int c = GifNextPixel();
        if (rle.runCount > 0 && c != rle.runPixel) rle_flush(rle);
        if (c == -1) break;
        if (c == rle.runPixel) {
            ++rle.runCount;
        } else {
            rle.runPixel = c;
            rle.runCount = 1;
        }
    }
    rle_output(rle, rle.codeEof);
    rle_output_flush(rle);
}

void GrImageGIF::rle_clear(RleState& rle) {
    rle.outBits = rle.outBitsInit;
    rle.outBump = rle.outBumpInit;
    rle.outClear = rle.outClearInit;
    rle.outCount = 0;
    rle.tableMax = 0;
    rle.justCleared = 1;
}

void GrImageGIF::rle_output(RleState& rle, int code) {
    rle.bitBuffer |= static_cast<uint32_t>(code) << rle.bufferedBits;
    rle.bufferedBits += rle.outBits;
    while (rle.bufferedBits >= 8) {
        rle_block_out(rle, static_cast<uint8_t>(rle.bitBuffer & 0xFF));
        rle.bitBuffer >>= 8;
        rle.bufferedBits -= 8;
    }
}

void GrImageGIF::rle_block_out(RleState& rle, uint8_t byte) {
    rle.block[rle.blockLength++] = byte;
    if (rle.blockLength >= 255) rle_write_block(rle);
}

void GrImageGIF::rle_write_block(RleState& rle) {
    Put(outStream_, static_cast<uint8_t>(rle.blockLength));
    PutBytes(outStream_, rle.block, static_cast<size_t>(rle.blockLength));
    rle.blockLength = 0;
}

void GrImageGIF::rle_block_flush(RleState& rle) {
    if (rle.blockLength > 0) rle_write_block(rle);
}

void GrImageGIF::rle_output_flush(RleState& rle) {
    if (rle.bufferedBits > 0) rle_block_out(rle, static_cast<uint8_t>(rle.bitBuffer & 0xFF));
    rle_block_flush(rle);
}

void GrImageGIF::rle_output_plain(RleState& rle, int code) {
    rle.justCleared = 0;
    rle_output(rle, code);
    ++rle.outCount;
    // The width grows where the decoder's table passes a power of two.
    if (rle.outCount >= rle.outBump) {
        rle.outBump += 1 << rle.outBits;
        ++rle.outBits;
    }
    if (rle.outCount >= rle.outClear) {
        rle_output(rle, rle.codeClear);
        rle_clear(rle);
    }
}

void GrImageGIF::rle_reset_out_clear(RleState& rle) {
    rle.outClear = rle.outClearInit;
    if (rle.outCount >= rle.outClear) {
        rle_output(rle, rle.codeClear);
        rle_clear(rle);
    }
}

void GrImageGIF::rle_flush(RleState& rle) {
    if (rle.runCount == 1)
        rle_output_plain(rle, rle.runPixel);
    else if (rle.justCleared)
        rle_flush_fromclear(rle, rle.runCount);
    else if (rle.tableMax >= 2 && rle.tablePixel == rle.runPixel)
        rle_flush_withtable(rle, rle.runCount);
    else
        rle_flush_clearorrep(rle, rle.runCount);
    rle.runCount = 0;
}

// Sends runs of 1, 2, 3, ... pixels, each of which the decoder then holds.
void GrImageGIF::rle_flush_fromclear(RleState& rle, int count) {
    rle.outClear = rle.maxOutCodes;
    rle.tablePixel = rle.runPixel;
    int n = 1;
    while (count > 0) {
        if (n == 1) {
            rle.tableMax = 1;
            rle_output_plain(rle, rle.runPixel);
            --count;
        } else if (count >= n) {
            rle.tableMax = n;
            rle_output_plain(rle, rle.runBaseCode + n - 2);
            count -= n;
        } else if (count == 1) {
            ++rle.tableMax;
            rle_output_plain(rle, rle.runPixel);
            count = 0;
        } else {
            ++rle.tableMax;
            rle_output_plain(rle, rle.runBaseCode + count - 2);
            count = 0;
        }
        n = rle.outCount == 0 ? 1 : n + 1;
    }
    rle_reset_out_clear(rle);
}

void GrImageGIF::rle_flush_withtable(RleState& rle, int count) {
    int full = count / rle.tableMax;
    int rest = count % rle.tableMax;
    uint32_t extra = rest ? 1 : 0;
    if (rle.outCount + full + static_cast<int>(extra) > rle.maxOutCodes) {
        full = rle.maxOutCodes - rle.outCount;
        rest = count - full * rle.tableMax;
        extra = 1 + rle_compute_triangle_count(static_cast<uint32_t>(rest), static_cast<uint32_t>(rle.maxOutCodes));
    }
    if (1 + rle_compute_triangle_count(static_cast<uint32_t>(count), static_cast<uint32_t>(rle.maxOutCodes)) <
        static_cast<uint32_t>(full) + extra) {
        rle_output(rle, rle.codeClear);
        rle_clear(rle);
        rle_flush_fromclear(rle, count);
        return;
    }
    rle.outClear = rle.maxOutCodes;
    for (; full > 0; --full) rle_output_plain(rle, rle.runBaseCode + rle.tableMax - 2);
    if (rest) {
        if (rle.justCleared)
            rle_flush_fromclear(rle, rest);
        else if (rest == 1)
            rle_output_plain(rle, rle.runPixel);
        else
            rle_output_plain(rle, rle.runBaseCode + rest - 2);
    }
    rle_reset_out_clear(rle);
}

void GrImageGIF::rle_flush_clearorrep(RleState& rle, int count) {
    const int withClear = 1 + static_cast<int>(rle_compute_triangle_count(static_cast<uint32_t>(count),
                                                                          static_cast<uint32_t>(rle.maxOutCodes)));
    if (withClear < count) {
        rle_output(rle, rle.codeClear);
        rle_clear(rle);
        rle_flush_fromclear(rle, count);
        return;
    }
    for (; count > 0; --count) rle_output_plain(rle, rle.runPixel);
}

// Codes needed to send `count` equal pixels from a cleared table: runs of
// 1, 2, 3, ... up to `limit`, then again.
uint32_t GrImageGIF::rle_compute_triangle_count(uint32_t count, uint32_t limit) {
    const uint32_t perCycle = limit * (limit + 1) / 2;
    uint32_t cost = 0;
    while (count >= perCycle) {
        count -= perCycle;
        cost += limit;
    }
    if (count > 0) {
        uint32_t n = rle_isqrt(count);
        while (n * (n + 1) >= 2 * count) --n;
        while (n * (n + 1) < 2 * count) ++n;
        cost += n;
    }
    return cost;
}

uint32_t GrImageGIF::rle_isqrt(uint32_t x) {
    if (x < 2) return x;
    uint32_t r = 1;
    for (uint32_t v = x; v != 0; v >>= 2) r <<= 1;
    for (;;) {
        const uint32_t v = (x / r + r) / 2;
        if (v == r || v == r + 1) return r;
        r = v;
    }
}

}  // namespace glyphrun
