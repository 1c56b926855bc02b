// --batch: one symbol per input line (or CSV row), read as a stream and
// written by worker threads.
#pragma once

#include <cstdio>
#include <string>

#include "audit.h"
#include "records.h"
#include "symbol.h"

namespace glyphrun::cli {

// Writes every line's symbol. Memory stays flat however long the input:
// only a bounded window of lines is in flight. Reports each failed line in
// line order, then a summary, on the console's error stream, and progress
// while it runs when that is a terminal. Stops early when the output's folder or
// file system fails. When every line was written the summary is reported
// here; otherwise it is the failure returned, for the caller to report.
// `input` is read through its descriptor.
// With `audit`, a line for each symbol made or input failed, in input order.
Status RunBatch(FILE* input, const std::string& inputName, const Options& options, Console& console,
                AuditFile* audit = nullptr);

}  // namespace glyphrun::cli
