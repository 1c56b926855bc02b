// The independent reader that --verify asks, in a module of its own that
// the program loads only when asked: zxing-cpp is a large shared library,
// and every run without --verify would otherwise pay for loading it.
#include <ZXing/ReadBarcode.h>

#include <cstdint>
#include <cstring>

#include "reader_module.h"

extern "C" __attribute__((visibility("default"))) int glyphrun_read_data_matrix(const uint8_t* grey, int width,
                                                                                int height, GlyphrunReading* reading) {
    try {
        const ZXing::ImageView view(grey, width, height, ZXing::ImageFormat::Lum);
        // The picture is the one about to be written, two-tone, the symbol
        // upright and alone on its quiet zone: a fixed threshold, and no
        // search, rotation or second try.
        const auto hints = ZXing::DecodeHints()
                               .setFormats(ZXing::BarcodeFormat::DataMatrix)
                               .setCharacterSet("ISO-8859-1")
                               .setIsPure(true)
                               .setBinarizer(ZXing::Binarizer::FixedThreshold)
                               .setTryHarder(false)
                               .setTryRotate(false);
        const ZXing::Result result = ZXing::ReadBarcode(view, hints);
        if (!result.isValid()) return 0;
        const ZXing::ByteArray& bytes = result.bytes();
        reading->length = bytes.size() < sizeof reading->bytes ? bytes.size() : sizeof reading->bytes;
        std::memcpy(reading->bytes, bytes.data(), reading->length);
        reading->hasEci = result.hasECI();
        reading->gs1 = result.symbologyIdentifier() == "]d2";
        reading->readerInit = result.readerInit();
        return 1;
    } catch (...) {
        return 0;
    }
}
