// What glyphrun-cli says: one-line messages on its error stream, writes to
// its output that are checked to the last byte, and the exit status.
#pragma once

#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "glyphrun/status.h"

namespace glyphrun::cli {

// The ways glyphrun-cli fails, the code of its Status. A failure of the
// layers below becomes one of these where the command line meets it.
enum class CliError {
    None = 0,
    Failed,  // an input could not be encoded or written
    // The output's folder or file system failed rather than one input:
    // every later file there would meet it too.
    Place,
    Usage,  // bad usage
};
GLYPHRUN_ERROR_ENUM(CliError)

// A failure of one input (CliError::Failed) with its one-line reason.
Status Failure(std::string message);

// The exit status a run's outcome means, the one place it is decided:
// 0 done, 2 bad usage, 1 any other failure.
int ExitCodeOf(const Status& outcome);

// Holds back a little memory for telling that memory ran out: throwing
// std::bad_alloc takes memory too, and under a tight limit the C++ runtime
// may have none of its own for it, which ends the process with an abort.
// An allocation that fails gives the reserve back and throws. Called once
// at start, and again after each such failure; false when not even the
// reserve could be had.
bool HoldMemoryReserve();

// Runs `work`, which answers a Status; memory that runs out inside it is
// its failure too, so that one input's size never ends a whole run.
template <typename Work>
Status FailOnOutOfMemory(Work&& work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        HoldMemoryReserve();
        return Failure("out of memory");
    }
}

// Where a run's output and messages go: standard output and error in the
// program, any streams in a test. Used by the thread that runs the command.
class Console {
public:
    Console(FILE* out, FILE* err) : out_(out), err_(err) {}

    // "glyphrun-cli: MESSAGE" on the error stream, with unprintable bytes escaped.
    void Report(std::string_view message);
    // Reports a run's failure, with a pointer to --help for bad usage.
    void ReportFailure(const Status& failure);

    // Writes to the output. A failure is remembered, and all writes after
    // it are dropped, so that FlushOut reports its reason.
    void WriteOut(std::string_view bytes);
    // Flushes the output: "cannot write to standard output: REASON" for the
    // first write that failed so far.
    Status FlushOut();

    FILE* Err() const { return err_; }

private:
    FILE* out_;
    FILE* err_;
    int outErrno_ = 0;  // of the first failed write
};

}  // namespace glyphrun::cli
