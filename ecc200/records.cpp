#include <cstdlib>

#include "glyphrun/ecc200.h"

namespace glyphrun {

Ecc200Encoder InitEncoder() {
    Ecc200Encoder encoder{};
    encoder.moduleSize = 5;
    encoder.margin = 10;
    encoder.scheme = EncodeScheme::AutoBest;
    return encoder;
}

void FreeEncoder(Ecc200Encoder* encoder) {
    if (!encoder) return;
    FreeModuleImage(encoder->image);
    FreeMessage(encoder->message);
    *encoder = Ecc200Encoder{};
}

Ecc200Message* AllocMessage(int32_t sizeIndex) {
    const int32_t rows = QuerySymbolAttribute(SymbolAttribute::AttrMappingRows, sizeIndex);
    const int32_t cols = QuerySymbolAttribute(SymbolAttribute::AttrMappingCols, sizeIndex);
    if (rows < 1 || cols < 1) return nullptr;
    auto* message = static_cast<Ecc200Message*>(std::calloc(1, sizeof(Ecc200Message)));
    if (!message) return nullptr;
    message->moduleCount = rows * cols;
    message->codewordCount = QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, sizeIndex) +
                             QuerySymbolAttribute(SymbolAttribute::AttrEccCodewords, sizeIndex);
    message->modules = static_cast<uint8_t*>(std::calloc(message->moduleCount, 1));
    message->codewords = static_cast<uint8_t*>(std::calloc(message->codewordCount, 1));
    if (!message->modules || !message->codewords) FreeMessage(message);
    return message;
}

void FreeMessage(Ecc200Message*& message) {
    if (!message) return;
    std::free(message->modules);
    std::free(message->codewords);
    std::free(message);
    message = nullptr;
}

namespace {

// The pseudo-random addend of the randomisers, for any position without overflow.
int32_t Pseudo(int32_t position, int32_t states) {
    const int64_t product = (149 * static_cast<int64_t>(position)) % states;
    return static_cast<int32_t>(product < 0 ? product + states : product) + 1;
}

}  // namespace

uint8_t Randomize253(int32_t value, int32_t position) {
    const int32_t pseudo = Pseudo(position, 253);
    const int32_t t = (value & 0xFF) + pseudo;
    return static_cast<uint8_t>(t > 254 ? t - 254 : t);
}

uint8_t Randomize255(int32_t value, int32_t position) {
    const int32_t pseudo = Pseudo(position, 255);
    const int32_t t = (value & 0xFF) + pseudo;
    return static_cast<uint8_t>(t > 255 ? t - 256 : t);
}

uint8_t Unrandomize255(int32_t value, int32_t position) {
    const int32_t pseudo = Pseudo(position, 255);
    const int32_t t = (value & 0xFF) - pseudo;
    return static_cast<uint8_t>(t < 0 ? t + 256 : t);
}

void PadCodewords(uint8_t* codewords, int32_t& count, int32_t capacity) {
    constexpr uint8_t kPad = 129;
    if (!codewords || count < 0) return;
    if (count < capacity) codewords[count++] = kPad;
    // The position handed to the randomiser is the pad's 1-based position.
    for (; count < capacity; ++count) codewords[count] = Randomize253(kPad, count + 1);
}

const char* SchemeName(EncodeScheme scheme) {
    switch (scheme) {
        case EncodeScheme::Ascii: return "ASCII";
        case EncodeScheme::C40: return "C40";
        case EncodeScheme::Text: return "Text";
        case EncodeScheme::X12: return "X12";
        case EncodeScheme::Edifact: return "EDIFACT";
        case EncodeScheme::Base256: return "Base 256";
        case EncodeScheme::AutoBest: return "automatic";
        case EncodeScheme::AutoMinimal: return "minimal";
    }
    return "unknown";
}

}  // namespace glyphrun
