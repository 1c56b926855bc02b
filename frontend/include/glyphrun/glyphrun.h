// Glyphrun in one include: encode bytes into a Data Matrix symbol and write
// it as PNG, GIF, BMP, PGM, SVG or EPS.
//
//     const Result<Symbol> made = Encode(bytes);      // glyphrun/symbol.h
//     Status saved = SaveSymbol(made.value(), "a.png", Style{});  // glyphrun/write.h
#pragma once

#include "glyphrun/status.h"
#include "glyphrun/symbol.h"
#include "glyphrun/version.h"
#include "glyphrun/write.h"
