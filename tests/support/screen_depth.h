// The drawing layer's screen depth for one scope: back to 32 bits when it
// ends, so that a failed assertion cannot leave the next test a screen of
// another depth.
#pragma once

#include "glyphrun/gdi.h"

namespace glyphrun::testing {

struct ScreenDepth {
    explicit ScreenDepth(int bpp) { SetScreenDepth(bpp); }
    ~ScreenDepth() { SetScreenDepth(32); }
    ScreenDepth(const ScreenDepth&) = delete;
    ScreenDepth& operator=(const ScreenDepth&) = delete;
};

}  // namespace glyphrun::testing
