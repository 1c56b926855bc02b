// A device context over a 32-bit buffer with guard bands around it, to see
// that drawing never touches memory outside the surface.
#pragma once

#include <cstring>
#include <vector>

#include "glyphrun/gdi.h"

namespace glyphrun {

struct GuardedBuffer {
    static constexpr int kGuard = 4;
    int width, height, stride;
    std::vector<uint8_t> memory;
    HDC dc;
    GuardedBuffer(int w, int h)
        : width(w),
          height(h),
          stride((w + 2 * kGuard) * 4),
          memory(static_cast<size_t>(stride) * (h + 2 * kGuard), 0x5A) {
        dc = CreateDCForBuffer(memory.data() + kGuard * stride + kGuard * 4, w, h, stride);
    }
    ~GuardedBuffer() { DeleteDC(dc); }
    const uint8_t* Pixel(int x, int y) const { return memory.data() + (y + kGuard) * stride + (x + kGuard) * 4; }
    COLORREF At(int x, int y) const { return RGB(Pixel(x, y)[2], Pixel(x, y)[1], Pixel(x, y)[0]); }
    bool GuardsIntact() const {
        for (int y = -kGuard; y < height + kGuard; ++y)
            for (int x = -kGuard; x < width + kGuard; ++x)
                if ((x < 0 || y < 0 || x >= width || y >= height) && std::memcmp(Pixel(x, y), "\x5A\x5A\x5A\x5A", 4))
                    return false;
        return true;
    }
};

}  // namespace glyphrun
