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

constexpr size_t kReserveBytes = 64 << 10;
std::atomic<void*> gReserve{nullptr};

// The new-handler: operator new found no memory.
void ReleaseReserveAndFail() {
    std::free(gReserve.exchange(nullptr));
    throw std::bad_alloc();
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

void Console::Report(std::string_view message) { std::fprintf(err_, "glyphrun-cli: %s\n", Printable(message).c_str()); }

void Console::ReportFailure(const Status& failure) {
    Report(failure.reason());
    if (failure.Is(CliError::Usage)) std::fputs("Try 'glyphrun-cli --help' for more information.\n", err_);
}

void Console::WriteOut(std::string_view bytes) {
    if (outErrno_ != 0) return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out_) != bytes.size()) outErrno_ = errno ? errno : EIO;
}

Status Console::FlushOut() {
    errno = 0;
    if (outErrno_ == 0 && std::fflush(out_) != 0) outErrno_ = errno ? errno : EIO;
    if (outErrno_ == 0) return {};
    return Failure(std::string("cannot write to standard output: ") + std::strerror(outErrno_));
}

GLYPHRUN_DEFINE_ERROR_CATEGORY(CliError, "glyphrun.cli")

}  // namespace glyphrun::cli
