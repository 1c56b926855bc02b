#include "report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text.h"

namespace glyphrun::cli {
namespace {

// Standard output is written by the main thread only.
int gStandardOutputErrno = 0;  // of the first failed write
bool gWroteToStandardOutput = false;

Failure StandardOutputFailure() {
    if (gStandardOutputErrno == 0) return {};
    return {std::string("cannot write to standard output: ") + std::strerror(gStandardOutputErrno)};
}

}  // namespace

void Report(std::string_view message) {
    std::fprintf(stderr, "glyphrun-cli: %s\n", Printable(message).c_str());
}

int Fail(const Failure& failure) {
    Report(failure.message);
    return kExitFailure;
}

void WriteOut(std::string_view bytes) {
    if (gStandardOutputErrno != 0) return;
    gWroteToStandardOutput = true;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) gStandardOutputErrno = errno ? errno : EIO;
}

Failure FlushStandardOutput() {
    errno = 0;
    if (gStandardOutputErrno == 0 && std::fflush(stdout) != 0) gStandardOutputErrno = errno ? errno : EIO;
    return StandardOutputFailure();
}

Failure CloseStandardOutput() {
    if (Failure failure = FlushStandardOutput()) return failure;
    // Nothing written: a closed standard output (>&-) is no failure.
    if (!gWroteToStandardOutput) return {};
    errno = 0;
    if (std::fclose(stdout) != 0) gStandardOutputErrno = errno ? errno : EIO;
    return StandardOutputFailure();
}

}  // namespace glyphrun::cli
