#include "image_readers.h"

#if GLYPHRUN_HAVE_GIFLIB
#include <gif_lib.h>
#endif
#include <png.h>
#if GLYPHRUN_HAVE_STB
#include <stb_image.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "temp_folder.h"

namespace glyphrun::testing {

void FillRandom(GrImage& image, uint32_t width, uint32_t height, uint32_t bpp, uint32_t seed, int colors) {
    std::mt19937 rng(seed);
    const auto byte = [&] { return static_cast<uint8_t>(rng()); };
    image.Create(width, height, bpp);
    for (uint32_t i = 0; i < image.GetNumColors(); ++i)
        image.SetPaletteColor(static_cast<uint8_t>(i), byte(), byte(), byte());
    std::vector<uint8_t> palette(3 * static_cast<size_t>(colors));
    for (uint8_t& b : palette) b = byte();
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            if (image.IsIndexed()) {
                image.SetPixelIndex(x, y, static_cast<uint8_t>(rng() % image.GetNumColors()));
                continue;
            }
            const uint8_t* colour = colors ? &palette[3 * (rng() % colors)] : nullptr;
            for (int i = 0; i < 3; ++i) image.GetBits(y)[3 * x + i] = colour ? colour[i] : byte();
        }
}

bool SamePixels(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const Rgba &p = a.pixels[i], &q = b.pixels[i];
        if (p.a != q.a || (p.a != 0 && (p.r != q.r || p.g != q.g || p.b != q.b))) return false;
    }
    return true;
}

Picture PictureOf(const GrImage& image) {
    Picture picture{static_cast<int>(image.GetWidth()), static_cast<int>(image.GetHeight()), {}};
    const bool transparentIndex = image.IsIndexed() && image.GetTransIndex() >= 0 &&
                                  static_cast<uint32_t>(image.GetTransIndex()) < image.GetNumColors();
    const RGBQUAD key = image.GetTransColor();
    for (int y = 0; y < picture.height; ++y) {
        const int row = picture.height - 1 - y;
        for (int x = 0; x < picture.width; ++x) {
            const RGBQUAD c = image.GetPixelColor(x, row, false);
            uint8_t alpha = 255;
            if (transparentIndex && image.GetPixelIndex(x, row) == image.GetTransIndex()) alpha = 0;
            if (!image.IsIndexed() && image.IsTransparent() && c.rgbRed == key.rgbRed && c.rgbGreen == key.rgbGreen &&
                c.rgbBlue == key.rgbBlue)
                alpha = 0;
            if (image.AlphaIsValid()) alpha = static_cast<uint8_t>(image.AlphaGet(x, row) * image.AlphaGetMax() / 255);
            picture.pixels.push_back({c.rgbRed, c.rgbGreen, c.rgbBlue, alpha});
        }
    }
    return picture;
}

Bytes EncodeToMemory(GrImage& image, uint32_t type) {
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    if (!image.Encode(buffer, size, type)) return {};
    Bytes bytes(buffer, buffer + size);
    GrImage::FreeMemory(buffer);
    return bytes;
}

std::optional<Picture> ReadWithStb(const Bytes& file) {
#if !GLYPHRUN_HAVE_STB
    (void)file;
    SkipTest("stb_image is not installed (Debian package libstb-dev)");
#else
    int width = 0, height = 0, channels = 0;
    stbi_uc* data = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width, &height, &channels, 4);
    if (!data) return std::nullopt;
    Picture picture{width, height, std::vector<Rgba>(static_cast<size_t>(width) * height)};
    std::memcpy(picture.pixels.data(), data, picture.pixels.size() * 4);
    stbi_image_free(data);
    return picture;
#endif
}

namespace {

// What is left of a file in memory; Take gives up to `length` bytes of it.
struct MemoryReader {
    const Bytes* file;
    size_t position;
    size_t Take(void* out, size_t length) {
        const size_t n = std::min(length, file->size() - position);
        std::memcpy(out, file->data() + position, n);
        position += n;
        return n;
    }
};

bool ReadPngFacts(const Bytes& file, PngFacts& facts) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{&file, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, [](png_structp reading, png_bytep out, size_t length) {
        if (static_cast<MemoryReader*>(png_get_io_ptr(reading))->Take(out, length) != length)
            png_error(reading, "past the end");
    });
    png_read_info(png, info);
    facts.colorType = png_get_color_type(png, info);
    facts.bitDepth = png_get_bit_depth(png, info);
    facts.interlace = png_get_interlace_type(png, info);
    png_colorp palette = nullptr;
    png_get_PLTE(png, info, &palette, &facts.paletteLength);  // each left as it was when the file has no such chunk
    png_bytep alphas = nullptr;
    png_color_16p transparentColor = nullptr;
    png_get_tRNS(png, info, &alphas, &facts.transparencyCount, &transparentColor);
    png_get_pHYs(png, info, &facts.xPixelsPerUnit, &facts.yPixelsPerUnit, &facts.unit);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

std::optional<Picture> ReadWithLibpng(const Bytes& file, PngFacts* facts) {
    if (facts && !ReadPngFacts(file, *facts)) return std::nullopt;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return std::nullopt;
    image.format = PNG_FORMAT_RGBA;
    Picture picture{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    picture.pixels.resize(static_cast<size_t>(image.width) * image.height);
    const bool read = png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);  // nothing left to free once a read has run to its end
    return read ? std::optional(picture) : std::nullopt;
}

std::optional<Picture> ReadWithGiflib(const Bytes& file, GifFacts* facts) {
#if !GLYPHRUN_HAVE_GIFLIB
    (void)file, (void)facts;
    SkipTest("giflib is not installed (Debian package libgif-dev)");
#else
    MemoryReader reader{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(
        &reader,
        [](GifFileType* reading, GifByteType* out, int length) {
            return static_cast<int>(static_cast<MemoryReader*>(reading->UserData)->Take(out, length));
        },
        &error);
    if (!gif) return std::nullopt;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return std::nullopt;
    }
    Picture picture{gif->SWidth, gif->SHeight, std::vector<Rgba>(static_cast<size_t>(gif->SWidth) * gif->SHeight)};
    if (facts) *facts = {gif->ImageCount, gif->SColorMap != nullptr};
    bool ok = true;
    for (int i = 0; i < gif->ImageCount && ok; ++i) {
        const SavedImage& saved = gif->SavedImages[i];
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, i, &control);
        const GifImageDesc& d = saved.ImageDesc;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        ok = map && d.Left + d.Width <= gif->SWidth && d.Top + d.Height <= gif->SHeight;
        for (int y = 0; y < d.Height && ok; ++y)
            for (int x = 0; x < d.Width; ++x) {
                const int index = saved.RasterBits[static_cast<size_t>(y) * d.Width + x];
                if (index == control.TransparentColor) continue;
                if (index >= map->ColorCount) ok = false;
                const GifColorType& c = map->Colors[index % map->ColorCount];
                picture.pixels[static_cast<size_t>(d.Top + y) * gif->SWidth + d.Left + x] = {c.Red, c.Green, c.Blue,
                                                                                             255};
            }
    }
    DGifCloseFile(gif, &error);
    return ok ? std::optional(picture) : std::nullopt;
#endif
}

std::optional<Reading> ReadSymbolFullyIn(const Picture& picture, int moduleSize) {
    // Freed however the reading ends, a skipped test's included.
    const auto free = [](ModuleImage* image) { FreeModuleImage(image); };
    const std::unique_ptr<ModuleImage, decltype(free)> image(CreateModuleImage(picture.width, picture.height), free);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        // Dark or light by luminance, as a scanner sees the bars.
        const Rgba& p = picture.pixels[i];
        const uint8_t gray = static_cast<uint8_t>((p.r * 299 + p.g * 587 + p.b * 114) / 1000);
        std::memset(image->pixels + 3 * i, gray, 3);
    }
    return ReadSymbolFully(*image, moduleSize);
}

std::optional<std::string> ReadSymbolIn(const Picture& picture, int moduleSize) {
    const std::optional<Reading> reading = ReadSymbolFullyIn(picture, moduleSize);
    return reading ? std::optional(reading->bytes) : std::nullopt;
}

std::optional<Reading> ReadSymbolInFile(const std::string& path, int moduleSize) {
    const std::optional<Picture> picture = ReadWithStb(ReadFile(path));
    if (!picture) return std::nullopt;
    return ReadSymbolFullyIn(*picture, moduleSize);
}

Picture Crop(const Picture& picture, int left, int top, int width, int height) {
    Picture part{width, height, {}};
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x) part.pixels.push_back(picture.at(x, y));
    return part;
}

Bytes ReadFile(const std::string& path) {
    const std::string file = Slurp(path);
    return Bytes(file.begin(), file.end());
}

}  // namespace glyphrun::testing
