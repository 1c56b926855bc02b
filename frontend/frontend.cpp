#include <cstring>

#include "glyphrun/frontend.h"

namespace glyphrun {
namespace {

// One per thread, so that workers encoding side by side keep their own.
thread_local HBITMAP tHeldBitmap = nullptr;

void DropHeldBitmap() {
    if (tHeldBitmap) DeleteObject(tHeldBitmap);
    tHeldBitmap = nullptr;
}

Result<HBITMAP> Fail(BarcodeError error, std::string reason) {
    DropHeldBitmap();
    return Status::Failed(error, std::move(reason));
}

}  // namespace

EncodeScheme SchemeForMode(int32_t mode) {
    switch (mode) {
        case 0: return EncodeScheme::Ascii;
        case 1: return EncodeScheme::C40;
        case 2: return EncodeScheme::Text;
        case 3: return EncodeScheme::Base256;
        case 4: return EncodeScheme::X12;
        case 5: return EncodeScheme::Edifact;
        case kModeMinimal: return EncodeScheme::AutoMinimal;
        default: return EncodeScheme::AutoBest;
    }
}

void SetDefaultBarcodeOptions(BarcodeOptions* options) {
    if (!options) return;
    *options = BarcodeOptions{};  // every byte of the text zero
    options->mode = -1;
    options->moduleSize = 2;
    options->sizeIndex = kSmallestSquare;
    options->margin = 4;
    options->backgroundColor = RGB(255, 255, 255);
    options->barColor = RGB(0, 0, 0);
}

HBITMAP EncodeToBitmap(BarcodeOptions* options) {
    const Result<HBITMAP> bitmap = EncodeBarcodeBitmap(options);
    return bitmap ? bitmap.value() : nullptr;
}

Result<HBITMAP> EncodeBarcodeBitmap(BarcodeOptions* options) {
    if (!options) return Fail(BarcodeError::NoOptions, "no options were given");
    if (options->length < 0 || options->length > kBarcodeTextSize)
        return Fail(BarcodeError::BadLength, "the length " + std::to_string(options->length) + " is outside 0 to " +
                                                 std::to_string(kBarcodeTextSize));
    // A zero module size would give an empty picture, a negative margin a cut symbol.
    if (options->moduleSize < 1)
        return Fail(BarcodeError::BadModuleSize,
                    "the module size " + std::to_string(options->moduleSize) + " is below 1");
    if (options->margin < 0)
        return Fail(BarcodeError::BadMargin, "the margin " + std::to_string(options->margin) + " is negative");
    if (options->length == 0) {
        const void* zero = std::memchr(options->text, 0, kBarcodeTextSize);
        if (!zero)
            return Fail(BarcodeError::Unterminated,
                        "the text has no terminating zero byte in its " + std::to_string(kBarcodeTextSize) + " bytes");
        options->length = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - options->text);
    }

    Ecc200Encoder encoder = InitEncoder();
    encoder.moduleSize = options->moduleSize;
    encoder.margin = options->margin;
    encoder.scheme = SchemeForMode(options->mode);
    encoder.meaning = options->meaning;
    HBITMAP bitmap = nullptr;
    const bool encoded = EncodeMessage(&encoder, options->length, options->text, options->sizeIndex) != 0;
    if (encoded)
        bitmap = RenderModuleImage(encoder.image, encoder.image->width, encoder.image->height, options->backgroundColor,
                                   options->barColor);
    const std::string failure = encoded ? "" : DescribeEncodeFailure(encoder.failure);
    FreeEncoder(&encoder);
    if (!encoded) return Fail(BarcodeError::Encoder, failure);
    // The sizes were checked by the encoder: only memory can be short here.
    if (!bitmap) return Fail(BarcodeError::NoBitmap, "out of memory: the bitmap could not be created");
    DropHeldBitmap();  // one the caller did not release is not leaked
    tHeldBitmap = bitmap;
    return bitmap;
}

int ReleaseBarcodeBitmap() {
    DropHeldBitmap();
    return 1;
}

HBITMAP RenderModuleImage(const ModuleImage* image, int32_t width, int32_t height, COLORREF background, COLORREF bar) {
    if (!image || !image->pixels) return nullptr;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    SelectObject(memory, bitmap);
    const int32_t x0 = (width - image->width) / 2, y0 = (height - image->height) / 2;
    // Stored rows run from the top of the picture, as the bitmap's do.
    const uint8_t* pixel = image->pixels;
    for (int32_t i = 0; i < image->height; ++i)
        for (int32_t j = 0; j < image->width; ++j, pixel += 3)
            SetPixel(memory, x0 + j, y0 + i, pixel[0] == 0 ? bar : background);
    ReleaseDC(nullptr, screen);
    DeleteDC(memory);
    return bitmap;
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(BarcodeError, "glyphrun.barcode")

}  // namespace glyphrun
