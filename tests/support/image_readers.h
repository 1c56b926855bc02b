// Independent readers of the files our writers produce: libpng's reading
// API, giflib and stb_image. A file is right when they read exactly the
// pixels of the image it was written from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "glyphrun/gr_image.h"
#include "reader.h"
#include "skip.h"

namespace glyphrun::testing {

struct Rgba {
    uint8_t r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

// Pixels top row first, left to right.
struct Picture {
    int width = 0, height = 0;
    std::vector<Rgba> pixels;
    const Rgba& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

using Bytes = std::vector<uint8_t>;

// A w x h image of `bpp` bits with a random palette and random pixels
// (24-bit: random colours, or `colors` distinct ones when it is not 0).
void FillRandom(GrImage& image, uint32_t width, uint32_t height, uint32_t bpp, uint32_t seed, int colors = 0);

bool SamePixels(const Picture& a, const Picture& b);  // transparent pixels match whatever their colour

// What the image holds, as a reader should see it; transparent pixels of a
// palette image (its transparent index) have alpha 0.
Picture PictureOf(const GrImage& image);

// The file's bytes as the writer of `type` produces them in memory.
Bytes EncodeToMemory(GrImage& image, uint32_t type);

std::optional<Picture> ReadWithStb(const Bytes& file);

struct PngFacts {
    int colorType = -1, bitDepth = 0, interlace = -1;
    int paletteLength = 0, transparencyCount = 0;
    uint32_t xPixelsPerUnit = 0, yPixelsPerUnit = 0;
    int unit = -1;
};
std::optional<Picture> ReadWithLibpng(const Bytes& file, PngFacts* facts = nullptr);

struct GifFacts {
    int images = 0;
    bool hasGlobalColorMap = false;
};
// All image blocks composed on the logical screen, as a viewer shows them.
std::optional<Picture> ReadWithGiflib(const Bytes& file, GifFacts* facts = nullptr);

// The part of `picture` at (left, top), width x height, within it.
Picture Crop(const Picture& picture, int left, int top, int width, int height);

// Reads the Data Matrix symbol in a decoded picture.
std::optional<std::string> ReadSymbolIn(const Picture& picture, int moduleSize);
std::optional<Reading> ReadSymbolFullyIn(const Picture& picture, int moduleSize);
// The symbol in an image file as stb_image opens it; nothing when the file
// does not open or holds no symbol.
std::optional<Reading> ReadSymbolInFile(const std::string& path, int moduleSize);

Bytes ReadFile(const std::string& path);

}  // namespace glyphrun::testing
