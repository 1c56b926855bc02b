#include "skip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace glyphrun::testing {

void SkipTest(const std::string& why) {
    // GTEST_SKIP() in a helper records the skip but only returns from the
    // helper, and the test would go on to fail on the missing reading.
    // AssertionException is the one exception GoogleTest takes for "already
    // reported" and ends the test body with, so the skip stands alone.
    [&] { GTEST_SKIP() << why; }();
    throw ::testing::AssertionException(
        ::testing::TestPartResult(::testing::TestPartResult::kSkip, __FILE__, __LINE__, why.c_str()));
}

int RunProgram(const std::string& command) {
    static const std::map<std::string, std::string> packages = {
        {"rsvg-convert", "librsvg2-bin"}, {"gs", "ghostscript"},
        {"xmllint", "libxml2-utils"},     {"qpdf", "qpdf"},
        {"pdftoppm", "poppler-utils"},    {"pdftotext", "poppler-utils"},
        {"pdfinfo", "poppler-utils"}};
    const std::string program = command.substr(0, command.find(' '));
    if (std::system(("command -v '" + program + "' >/dev/null 2>&1").c_str()) != 0) {
        const auto package = packages.find(program);
        SkipTest(program + " is not installed (Debian package " +
                 (package == packages.end() ? program : package->second) + ")");
    }
    return std::system(command.c_str());
}

}  // namespace glyphrun::testing
