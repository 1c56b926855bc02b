// The independent readers and renderers are optional: a machine without
// one still builds and runs every test, and a test that needs the missing
// one is skipped with the Debian package to install, rather than failed.
#pragma once

#include <string>

namespace glyphrun::testing {

// Skips the running test here and now: the rest of its body does not run.
// Works from a helper as deep as the test calls it, on the test's thread.
[[noreturn]] void SkipTest(const std::string& why);

// Runs a shell command whose first word is an outside program (rsvg-convert,
// gs, xmllint); skips the test, naming the package, when it is not installed.
// Returns std::system's status.
int RunProgram(const std::string& command);

}  // namespace glyphrun::testing
