// GrImage: one raster image in device-independent bitmap layout (40-byte
// header, palette, bottom-up rows padded to 4 bytes, 24-bit pixels in
// blue-green-red order) in a single block, with its settings. Operations
// report failure by their result and leave a one-line reason in
// GetLastError(); nothing throws.
//
// Saving and encoding (Save, Encode) dispatch to the writer registered for
// the type. This library knows no file format: glyphrun_codecs registers
// the BMP, GIF and PNG writers whenever it is linked.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "glyphrun/export.h"
#include "glyphrun/gdi.h"
#include "glyphrun/gr_file.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

enum ImageType : uint32_t {
    TypeUnknown = 0,
    TypeBmp = 1,
    TypeGif = 2,
    TypePng = 3,
};
inline constexpr uint32_t kImageTypeCount = 4;

class GrImage;

// The writer of one image type: `make` gives a codec object, which Encode
// turns into a view of the image being written, and `encode` runs it.
struct ImageWriter {
    std::unique_ptr<GrImage> (*make)();
    bool (*encode)(GrImage& codec, GrFile* file);
};
// Makes `writer` the one for `type` (1 to kImageTypeCount - 1).
void RegisterImageWriter(uint32_t type, ImageWriter writer);

class GrImage {
public:
    explicit GrImage(uint32_t type = TypeUnknown);
    GrImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type = TypeUnknown);
    virtual ~GrImage();
    GrImage(const GrImage&) = delete;
    GrImage& operator=(const GrImage&) = delete;

    // ---- lifecycle
    // A zeroed image of 1, 4, 8 or 24 bits per pixel (other depths round up
    // to the next of these); null with a reason on failure.
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t type = TypeUnknown);
    bool Destroy();                        // false for a ghost, which owns nothing
    static void FreeMemory(void* memory);  // for buffers that Encode handed out

    // ---- geometry and state
    uint32_t GetWidth() const { return static_cast<uint32_t>(header_.biWidth); }
    uint32_t GetHeight() const { return static_cast<uint32_t>(header_.biHeight); }
    uint16_t GetBpp() const { return header_.biBitCount; }
    uint32_t GetNumColors() const { return header_.biClrUsed; }
    uint32_t GetEffWidth() const { return info_.effWidth; }
    uint8_t* GetDIB() const { return dib_; }
    RGBQUAD* GetPalette() const;
    uint32_t GetPaletteSize() const { return header_.biClrUsed * 4; }
    bool IsValid() const { return dib_ != nullptr; }
    uint32_t GetType() const { return info_.type; }
    bool IsIndexed() const { return header_.biClrUsed != 0; }
    uint8_t GetColorType() const;
    int64_t GetSize() const;
    uint8_t* GetBits(uint32_t row = 0) const;  // row 0 is the bottom of the picture
    bool IsInside(int64_t x, int64_t y) const;
    const char* GetLastError() const { return info_.lastError; }
    const BITMAPINFOHEADER& GetHeader() const { return header_; }

    // ---- settings
    int32_t GetTransIndex() const { return info_.transIndex; }
    void SetTransIndex(int32_t index) { info_.transIndex = index; }
    bool IsTransparent() const { return info_.transIndex >= 0; }
    int32_t GetXDPI() const { return info_.xDpi; }
    int32_t GetYDPI() const { return info_.yDpi; }
    void SetXDPI(int32_t dpi);
    void SetYDPI(int32_t dpi);
    uint32_t GetCodecOption(uint32_t type = TypeUnknown) const;
    bool SetCodecOption(uint32_t option, uint32_t type = TypeUnknown);
    uint32_t GetFrameDelay() const { return info_.frameDelay; }
    void SetFrameDelay(uint32_t delay) { info_.frameDelay = delay; }
    void GetOffset(int32_t* x, int32_t* y) const;
    void SetOffset(int32_t x, int32_t y);
    uint8_t AlphaGetMax() const { return info_.alphaMax; }
    void AlphaSetMax(uint8_t max) { info_.alphaMax = max; }
    bool AlphaPaletteIsEnabled() const { return info_.alphaPaletteEnabled; }
    void AlphaPaletteEnable(bool enable = true) { info_.alphaPaletteEnabled = enable; }
    bool IsEnabled() const { return info_.enabled; }
    void Enable(bool enable = true) { info_.enabled = enable; }
    uint32_t GetClrImportant() const { return header_.biClrImportant; }
    void SetClrImportant(uint32_t colors);

    // ---- palette
    RGBQUAD GetPaletteColor(uint8_t index) const;
    bool GetPaletteColor(uint8_t index, uint8_t* red, uint8_t* green, uint8_t* blue) const;
    void SetPaletteColor(uint8_t index, uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 0);
    void SetPaletteColor(uint8_t index, RGBQUAD color);
    void SetPaletteColor(uint8_t index, COLORREF color);
    void SetPalette(const RGBQUAD* entries, uint32_t count);
    void SetGrayPalette();
    void SwapIndex(uint8_t a, uint8_t b);
    uint8_t GetNearestIndex(RGBQUAD color);

    // ---- pixels and transparency (x from the left, y from the bottom)
    RGBQUAD GetTransColor() const;
    void SetTransColor(RGBQUAD color);
    uint8_t GetPixelIndex(int64_t x, int64_t y) const;
    void SetPixelIndex(int64_t x, int64_t y, uint8_t index);
    RGBQUAD GetPixelColor(int64_t x, int64_t y, bool withAlpha = true) const;

    // ---- alpha channel: one byte per pixel, 255 opaque
    bool AlphaIsValid() const { return alpha_ != nullptr; }
    void AlphaCreate();
    void AlphaDelete();
    uint8_t AlphaGet(int64_t x, int64_t y) const;
    void AlphaSet(int64_t x, int64_t y, uint8_t value);

    // ---- the drawing platform
    // Copies a bitmap into this image (bits rounded as Create does: 16 and
    // 32 become 24); on failure the image is left empty.
    bool CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette = nullptr);
    // Paints the image with its top-left corner at (x, y), cx x cy pixels
    // (negative: the image's own size), within `clip` when given; 1 when
    // drawn, 0 when there was nothing to do.
    int32_t Draw(HDC dc, int32_t x, int32_t y, int32_t cx = -1, int32_t cy = -1, const RECT* clip = nullptr,
                 bool smooth = false);
    int32_t Draw(HDC dc, const RECT& rect, const RECT* clip = nullptr, bool smooth = false);

    static RGBQUAD RGBtoRGBQUAD(COLORREF color);
    static COLORREF RGBQUADtoRGB(RGBQUAD color);

    // ---- saving (the writers come from the codecs library)
    // Writes the whole file or nothing: the type and image are checked
    // first, the bytes go to a temporary file that replaces `path` only
    // once complete. A device or pipe is written into directly.
    bool Save(const char* path, uint32_t type);
    bool Encode(FILE* stream, uint32_t type);
    bool Encode(GrFile* stream, uint32_t type);
    // A new block of `size` bytes that the caller releases with FreeMemory;
    // `buffer` must be null on entry.
    bool Encode(uint8_t*& buffer, int32_t& size, uint32_t type);

protected:
    void Startup(uint32_t type);
    void Ghost(GrImage* from);  // a view that shares storage, owns nothing
    GrImage* GhostOwner() const { return ghostOwner_; }
    bool EncodeSafeCheck(const GrFile* stream);  // true when the image cannot be encoded
    void SetLastError(const char* text);
    bool IsGhost() const { return ghostOwner_ != nullptr; }

private:
    RGBQUAD SampleColor(float sx, float sy, bool smooth) const;
    void PaintThroughBuffer(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, int32_t left, int32_t top,
                            int32_t right, int32_t bottom, bool blended, bool smooth);
    void BlendPixel(uint8_t* out, int32_t column, int32_t row, RGBQUAD color) const;

    // Everything an image knows besides its storage; a ghost copies it.
    struct Info {
        uint32_t effWidth = 0;  // bytes per pixel row, a multiple of 4
        uint32_t type = TypeUnknown;
        char lastError[256] = {};
        int32_t transIndex = -1;
        RGBQUAD transColor{};
        uint32_t frameDelay = 0;
        int32_t xDpi = 96, yDpi = 96;
        uint8_t alphaMax = 255;
        bool alphaPaletteEnabled = false;
        bool enabled = true;
        int32_t xOffset = 0, yOffset = 0;
        uint32_t codecOptions[kImageTypeCount] = {};
        RGBQUAD lastColor{};  // the nearest-colour search's one-entry cache
        uint8_t lastColorIndex = 0;
        bool lastColorValid = false;
    };

    uint8_t* dib_ = nullptr;
    BITMAPINFOHEADER header_{};
    Info info_;
    uint8_t* alpha_ = nullptr;
    GrImage* ghostOwner_ = nullptr;
};

}  // namespace glyphrun
GLYPHRUN_API_END
