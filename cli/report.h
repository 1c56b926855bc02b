// What glyphrun-cli says: one-line messages on standard error, and writes
// to standard output that are checked to the last byte.
#pragma once

#include <new>
#include <string>
#include <string_view>

namespace glyphrun::cli {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Why something was not done, in one line; empty when it was. `place`
// marks a failure of the output's folder or file system rather than of
// one input, which every later file there would meet too.
struct Failure {
    std::string message;
    bool place = false;
    explicit operator bool() const { return !message.empty(); }
};

// Runs `work`, which answers a Failure; memory that runs out inside it is
// its failure too, so that one input's size never ends a whole run.
template <typename Work>
Failure FailOnOutOfMemory(Work&& work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return {"out of memory"};
    }
}

// "glyphrun-cli: MESSAGE" on standard error, with unprintable bytes escaped.
void Report(std::string_view message);
// Reports the failure and answers kExitFailure.
int Fail(const Failure& failure);

// Writes to standard output. A failure is remembered, and all writes
// after it are dropped, so that FlushStandardOutput reports its reason.
void WriteOut(std::string_view bytes);
// Flushes standard output: "cannot write to standard output: REASON" for
// the first write that failed so far.
Failure FlushStandardOutput();
// Flushes and, when anything was written, closes standard output, whose
// close may be the first to learn that the bytes did not arrive.
Failure CloseStandardOutput();

}  // namespace glyphrun::cli
