// glyphrun-cli as a function: the program's main only sets up the process
// (signals, the memory reserve, standard descriptors) and calls Run.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include "glyphrun/export.h"

GLYPHRUN_API_BEGIN
namespace glyphrun::cli {

// The streams a run reads and writes; the program passes its standard
// ones. The input is read through its descriptor by --batch, so it must
// have one (tmpfile() does, fmemopen() does not). Run flushes but never
// closes them.
struct Streams {
    FILE* in = stdin;
    FILE* out = stdout;
    FILE* err = stderr;
};

// Runs the command line `arguments` (without the program's name) and
// answers its exit status: 0 done, 1 an input could not be encoded or
// written, 2 bad usage, with one line on `streams.err` for a failure.
// Keeps nothing from one call to the next, so it may be called again.
int Run(std::span<const std::string> arguments, const Streams& streams = {});

}  // namespace glyphrun::cli
GLYPHRUN_API_END
