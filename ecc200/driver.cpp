#include <cstdio>
#include <cstring>

#include <new>
#include <optional>
#include "failure.h"
#include "glyphrun/ecc200_stages.h"
#include "glyphrun/symbol.h"
#include "symbol_internal.h"

namespace glyphrun {
namespace {

constexpr uint8_t kDarkValue = ModuleDarkBits;

std::string SizeName(int32_t sizeIndex) {
    return std::to_string(QuerySymbolAttribute(SymbolAttribute::AttrSymbolRows, sizeIndex)) + "x" +
           std::to_string(QuerySymbolAttribute(SymbolAttribute::AttrSymbolCols, sizeIndex));
}

std::string RequestName(int32_t requestedSize) {
    if (requestedSize == kSmallestSquare) return "the largest square symbol (144x144)";
    if (requestedSize == kSmallestRectangle) return "the largest rectangular symbol (16x48)";
    if (requestedSize == kSmallestRectangleOrDmre) return "the largest rectangular or DMRE symbol (26x64)";
    return "the requested size " + SizeName(requestedSize);
}

int64_t ImageSide(int32_t moduleSize, int32_t modules, int32_t margin) {
    return static_cast<int64_t>(moduleSize) * modules + 2 * static_cast<int64_t>(margin);
}

bool IsImageSide(int64_t pixels) { return pixels >= 1 && pixels <= kMaxImageSide; }

}  // namespace

int32_t EncodeCodewords(uint8_t* output, int32_t outputCapacity, const uint8_t* bytes, int32_t length,
                        EncodeScheme scheme, int32_t& sizeIndex, EncodeFailure* failure, const DataMeaning& meaning,
                        bool lenientEnd) {
    const int32_t requested = sizeIndex;
    sizeIndex = -1;
    if (const EncodeError error = CheckRequest(output, bytes, length, requested, meaning); error != EncodeError::None)
        return FailRequest(failure, error, scheme, meaning);

    int32_t count = 0;
    switch (scheme) {
        case EncodeScheme::AutoMinimal:
            // The minimal encodation shapes the end of the data for the size
            // it chose, so that size stands.
            return EncodeAutoMinimal(output, outputCapacity, bytes, length, requested, sizeIndex, failure, meaning,
                                     lenientEnd);
        case EncodeScheme::AutoBest:
            count = EncodeAutoBest(output, outputCapacity, bytes, length, requested, failure, meaning);
            break;
        default:
            count = EncodeSingleScheme(output, outputCapacity, bytes, length, scheme, requested, failure, meaning);
            break;
    }
    if (count <= 0) return 0;

    sizeIndex = SelectSymbolSize(count, requested);
    return sizeIndex < 0 ? FailToFit(failure, scheme, count, requested) : count;
}

int EncodeMessage(Ecc200Encoder* encoder, int32_t length, const uint8_t* bytes, int32_t requestedSize) {
    if (!encoder) return 0;
    // A record may be driven again: nothing of an earlier run survives.
    Ecc200Encoder settings = InitEncoder();
    settings.moduleSize = encoder->moduleSize;
    settings.margin = encoder->margin;
    settings.scheme = encoder->scheme;
    settings.meaning = encoder->meaning;
    FreeEncoder(encoder);
    *encoder = settings;
    EncodeFailure& failure = encoder->failure;
    if (encoder->moduleSize < 0 || encoder->margin < 0)
        return Fail(&failure, EncodeError::InvalidArgument, encoder->scheme);

    if (length < 0 || (!bytes && length > 0)) return Fail(&failure, EncodeError::InvalidArgument, encoder->scheme);
    std::optional<Symbol> made;
    try {
        made = SymbolMaker::Make(std::span<const uint8_t>(bytes, static_cast<size_t>(length)),
                                 EncodeOptions{encoder->scheme, requestedSize, encoder->meaning}, failure);
    } catch (const std::bad_alloc&) {
        return Fail(&failure, EncodeError::OutOfMemory, encoder->scheme);
    }
    if (!made) return 0;
    const Symbol& symbol = *made;
    encoder->dataCodewords = symbol.dataCodewords();
    encoder->sizeIndex = symbol.sizeIndex();
    encoder->symbolRows = symbol.rows();
    encoder->symbolCols = symbol.cols();
    encoder->mappingRows = symbol.size().mappingRows();
    encoder->mappingCols = symbol.size().mappingCols();

    // The record keeps the mapping matrix with its status bits, which the
    // symbol does not carry: the codewords are placed once more into it.
    encoder->message = AllocMessage(symbol.sizeIndex());
    if (!encoder->message) return Fail(&failure, EncodeError::OutOfMemory, encoder->scheme);
    std::memcpy(encoder->message->codewords, symbol.codewords().data(), symbol.codewords().size());
    PlaceCodewords(encoder->message, symbol.sizeIndex(), kDarkValue);

    const int64_t width = ImageSide(encoder->moduleSize, encoder->symbolCols, encoder->margin);
    const int64_t height = ImageSide(encoder->moduleSize, encoder->symbolRows, encoder->margin);
    if (!IsImageSide(width) || !IsImageSide(height)) {
        Fail(&failure, EncodeError::ImageSizeOutOfRange, encoder->scheme);
        failure.imageWidth = width;
        failure.imageHeight = height;
        return 0;
    }
    encoder->image = CreateModuleImage(static_cast<int32_t>(width), static_cast<int32_t>(height));
    // A library has no say over the caller's standard error: the failure
    // goes back in the record only.
    if (!encoder->image) return Fail(&failure, EncodeError::OutOfMemory, encoder->scheme);
    GenerateImage(encoder);
    return 1;
}

void GenerateImage(Ecc200Encoder* encoder) {
    if (!encoder || !encoder->image || !encoder->message || encoder->moduleSize < 0 || encoder->margin < 0) return;
    ModuleImage* image = encoder->image;
    // A record changed by hand since the image was made is not painted.
    if (image->width != ImageSide(encoder->moduleSize, encoder->symbolCols, encoder->margin) ||
        image->height != ImageSide(encoder->moduleSize, encoder->symbolRows, encoder->margin))
        return;
    const int32_t s = encoder->moduleSize;
    Matrix3 scale, translate;
    Matrix3Scale(scale, s, s);
    Matrix3Translate(translate, encoder->margin, encoder->margin);
    Matrix3Multiply(encoder->moduleToPixel, scale, translate);

    std::memset(image->pixels, 255, static_cast<size_t>(ModuleImagePixelCount(image)) * 3);
    for (int32_t r = 0; r < encoder->symbolRows; ++r) {
        for (int32_t c = 0; c < encoder->symbolCols; ++c) {
            Point2 corner;
            TransformPoint(corner, Point2{static_cast<double>(c), static_cast<double>(r)}, encoder->moduleToPixel);
            const auto px = static_cast<int32_t>(corner.x);
            const auto py = static_cast<int32_t>(corner.y);
            const int32_t status = ModuleStatus(encoder->message, encoder->sizeIndex, r, c);
            const uint8_t c0 = (status & 0x01) ? 0 : 255;
            const uint8_t c1 = (status & 0x02) ? 0 : 255;
            const uint8_t c2 = (status & 0x04) ? 0 : 255;
            for (int32_t y = py; y < py + s; ++y)
                for (int32_t x = px; x < px + s; ++x) SetModuleImagePixel(image, x, y, c0, c1, c2);
        }
    }
}

std::string DescribeEncodeFailure(const EncodeFailure& f) {
    char hex[8];
    switch (f.error) {
        case EncodeError::None: return "no error";
        case EncodeError::InvalidArgument: return "invalid argument (null input, negative length or size)";
        case EncodeError::EmptyInput: return "the input is empty";
        case EncodeError::UnknownScheme:
            return "unknown encodation scheme " + std::to_string(static_cast<int>(f.scheme));
        case EncodeError::NotEncodable:
            std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(f.byteValue & 0xFF));
            return std::string(SchemeName(f.scheme)) + " cannot encode byte " + hex + " at position " +
                   std::to_string(f.position);
        case EncodeError::TooLong:
            return "the input needs more than " + std::to_string(kMaxDataCodewords) + " data codewords but " +
                   RequestName(f.requestedSize) + " holds " + std::to_string(f.capacity);
        case EncodeError::DoesNotFit:
            return "the input needs " + std::to_string(f.needed) + " data codewords but " +
                   RequestName(f.requestedSize) + " holds " + std::to_string(f.capacity);
        case EncodeError::InvalidSize:
            return "invalid symbol size index (use 0-47, -1 for square, -2 for rectangle or -3 for rectangle or DMRE)";
        case EncodeError::ImageSizeOutOfRange:
            return "the image would be " + std::to_string(f.imageWidth) + "x" + std::to_string(f.imageHeight) +
                   " pixels; each side must be 1 to " + std::to_string(kMaxImageSide);
        case EncodeError::OutOfMemory: return "out of memory";
        case EncodeError::OutputTooSmall:
            return "the output buffer holds " + std::to_string(f.capacity) + " codewords but " +
                   std::to_string(f.needed) + " were produced";
        case EncodeError::Fnc1NotEncodable:
            return std::string(SchemeName(f.scheme)) + " cannot encode FNC1 (the GS1 separator at position " +
                   std::to_string(f.position) + ")";
        case EncodeError::InvalidEci:
            return "the ECI number " + std::to_string(f.byteValue) + " is outside 0 to 999999";
        case EncodeError::Gs1WithEci: return "GS1 data cannot carry an ECI designator";
        case EncodeError::Gs1LeadingSeparator:
            return "GS1 data cannot start with a separator: a second FNC1 there means other data";
        case EncodeError::ReaderInitWithGs1: return "a reader programming symbol cannot carry GS1 data";
        case EncodeError::ReaderInitWithStructuredAppend:
            return "a reader programming symbol cannot be part of a Structured Append message";
        case EncodeError::MacroNotFirst:
            return "a Macro 05/06 codeword must come first: it cannot go with GS1, reader programming or "
                   "Structured Append";
        case EncodeError::InvalidMacro: return "macro " + std::to_string(f.byteValue) + " is neither 05 nor 06";
        case EncodeError::InvalidSymbolCount:
            if (f.needed < 2 || f.needed > kMaxAppendSymbols)
                return "Structured Append takes 2 to " + std::to_string(kMaxAppendSymbols) + " symbols, not " +
                       std::to_string(f.needed);
            return "symbol " + std::to_string(f.position) + " is outside the " + std::to_string(f.needed) +
                   " of its message";
        case EncodeError::InvalidFileId:
            return "a Structured Append file identification is 1 to 254, not " + std::to_string(f.byteValue);
        case EncodeError::NeedsMoreSymbols:
            return "the input needs more than " + std::to_string(f.capacity) + " symbols of " +
                   RequestName(f.requestedSize);
        case EncodeError::FewerBytesThanSymbols:
            return std::to_string(f.needed) + " symbols need a byte each but the input has " +
                   std::to_string(f.capacity);
        case EncodeError::TooFewPlacesToSplit:
            return "the input cannot be spread over " + std::to_string(f.needed) +
                   " symbols: no symbol may begin inside a UTF-8 character or just before a GS1 separator, "
                   "which leaves room for " +
                   std::to_string(f.capacity) + " at most";
    }
    return "unknown error";
}

}  // namespace glyphrun
