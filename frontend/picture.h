// Internal: a grid of modules drawn into a two-colour raster image, with no
// screen bitmap in between, and into the documents of the vector writers.
#pragma once

#include <cstdint>
#include <vector>

#include "glyphrun/ecc200.h"
#include "glyphrun/gr_image.h"
#include "glyphrun/raster_text.h"
#include "glyphrun/status.h"
#include "glyphrun/vector.h"
#include "glyphrun/write.h"

namespace glyphrun {

// A style made concrete for one picture: every size in pixels.
struct Picture {
    int32_t moduleSize;               // pixels a module, 1 or more
    int32_t margin;                   // pixels of background on each side, 0 or more
    uint32_t foreground, background;  // 0xRRGGBB
    bool transparentBackground;
    int32_t dpi;
    std::vector<TextBitmap> text{};  // lines under the symbol, top first, centred

    // A side of the symbol with its margins.
    int64_t Side(int32_t modules) const { return int64_t{moduleSize} * modules + 2 * int64_t{margin}; }
    // The whole picture: the symbol's, as wide as its widest line, with
    // the lines below.
    int64_t Width(const ModuleGrid& grid) const;
    int64_t Height(const ModuleGrid& grid) const;
};

// The symbol turned clockwise by `degrees` (0, 90, 180 or 270) as a grid.
ModuleGrid TurnedGrid(const Symbol& symbol, int32_t degrees);

// Refused (WriteError::TooLarge) when a side of the grid's picture is
// outside 1-kMaxImageSide, so that a margin one format takes, every format
// takes.
Status CheckSides(const ModuleGrid& grid, const Picture& picture);

// The picture's lines of text: `lines` drawn at `fontPixels` (0: to fit
// the symbol's width, at least `leastPixels`) in `fontFile`'s font.
Status AddText(const ModuleGrid& grid, const std::vector<std::string>& lines, int32_t fontPixels, int32_t leastPixels,
               const std::string& fontFile, Picture& picture);

// Makes `image` a 1-bit image of the grid and its text with the palette
// {background, foreground}, the background transparent when the picture
// says so.
Status RenderGrid(const ModuleGrid& grid, const Picture& picture, GrImage& image);

}  // namespace glyphrun
