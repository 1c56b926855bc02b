// What the reader module answers: the bytes it read and what they mean.
#pragma once

#include <cstddef>
#include <cstdint>

struct GlyphrunReading {
    uint8_t bytes[65536];
    size_t length;
    bool hasEci, gs1, readerInit;
};

// 1 when a Data Matrix symbol was read from the grey picture (one byte a
// pixel, 0 black), its content in `reading`; 0 otherwise.
using GlyphrunReadDataMatrix = int (*)(const uint8_t* grey, int width, int height, GlyphrunReading* reading);
