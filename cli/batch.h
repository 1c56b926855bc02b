// --batch: one symbol per input line, written by worker threads.
#pragma once

#include <string>
#include <vector>

#include "symbol.h"

namespace glyphrun::cli {

// The lines of `input`, each without its line end ("\n" or "\r\n"); a
// last line without a line end counts, an empty end after one does not.
std::vector<ByteSpan> SplitLines(ByteSpan input);

// Writes every line's symbol; reports each failed line and a summary on
// standard error, and progress while it runs when that is a terminal.
// Returns the exit status: 0 when every line was written, else 1.
int RunBatch(ByteSpan input, const std::string& inputName, const Options& options);

}  // namespace glyphrun::cli
