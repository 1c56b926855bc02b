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

Status StandardOutputFailure() {
    if (gStandardOutputErrno == 0) return {};
    return Failure(std::string("cannot write to standard output: ") + std::strerror(gStandardOutputErrno));
}

}  // namespace

Status Failure(std::string message) { return Status::Failed(CliError::Failed, std::move(message)); }

int ExitCodeOf(const Status& outcome) {
    if (outcome) return 0;
    return outcome.Is(CliError::Usage) ? 2 : 1;
}

void Report(std::string_view message) { std::fprintf(stderr, "glyphrun-cli: %s\n", Printable(message).c_str()); }

void ReportFailure(const Status& failure) {
    Report(failure.reason());
    if (failure.Is(CliError::Usage)) std::fputs("Try 'glyphrun-cli --help' for more information.\n", stderr);
}

void WriteOut(std::string_view bytes) {
    if (gStandardOutputErrno != 0) return;
    gWroteToStandardOutput = true;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) gStandardOutputErrno = errno ? errno : EIO;
}

Status FlushStandardOutput() {
    errno = 0;
    if (gStandardOutputErrno == 0 && std::fflush(stdout) != 0) gStandardOutputErrno = errno ? errno : EIO;
    return StandardOutputFailure();
}

Status CloseStandardOutput() {
    if (Status flushed = FlushStandardOutput(); !flushed) return flushed;
    // Nothing written: a closed standard output (>&-) is no failure.
    if (!gWroteToStandardOutput) return {};
    errno = 0;
    if (std::fclose(stdout) != 0) gStandardOutputErrno = errno ? errno : EIO;
    return StandardOutputFailure();
}

}  // namespace glyphrun::cli
