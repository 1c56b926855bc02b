// What a shared build of the libraries exports. The libraries are compiled
// with hidden symbols, and each public header opens its declarations with
// GLYPHRUN_API_BEGIN and closes them with GLYPHRUN_API_END, so that its
// functions, and nothing of the sources' own, are the library's interface.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#define GLYPHRUN_API __attribute__((visibility("default")))
#define GLYPHRUN_API_BEGIN _Pragma("GCC visibility push(default)")
#define GLYPHRUN_API_END _Pragma("GCC visibility pop")
#else
#define GLYPHRUN_API
#define GLYPHRUN_API_BEGIN
#define GLYPHRUN_API_END
#endif
