#include "report.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "text.h"

namespace glyphrun::cli {
namespace {

// Standard output is written by the main thread only.
int gStandardOutputErrno = 0;  // of the first failed write
bool gWroteToStandardOutput = false;

constexpr size_t kReserveBytes = 64 << 10;
std::atomic<void*> gReserve{nullptr};

// The new-handler: operator new found no memory.
void ReleaseReserveAndFail() {
    std::free(gReserve.exchange(nullptr));
    throw std::bad_alloc();
}

Status StandardOutputFailure() {
    if (gStandardOutputErrno == 0) return {};
    return Failure(std::string("cannot write to standard output: ") + std::strerror(gStandardOutputErrno));
}

}  // namespace

bool HoldMemoryReserve() {
    if (!gReserve.load()) {
        void* block = std::malloc(kReserveBytes);
        if (!block) return false;
        std::free(gReserve.exchange(block));  // another thread may have held one meanwhile
    }
    std::set_new_handler(ReleaseReserveAndFail);
    return true;
}

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

GLYPHRUN_DEFINE_ERROR_CATEGORY(CliError, "glyphrun.cli")

}  // namespace glyphrun::cli
