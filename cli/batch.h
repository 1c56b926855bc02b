// --batch: one symbol per input line (or CSV row), read as a stream and
// written by worker threads.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
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
// The line of a batch whose output is `file` (the same file, its name
// read against the output's pattern); nothing for names made from a CSV
// row's values, which are known only as the rows come.
std::optional<int64_t> LineWritingTo(const Options& options, const std::string& file);

Status RunBatch(FILE* input, const std::string& inputName, const Options& options, Console& console,
                AuditFile* audit = nullptr);

}  // namespace glyphrun::cli
