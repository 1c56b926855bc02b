// Writing a file so that a failure never leaves a damaged one behind.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace glyphrun {

struct FileWriteResult {
    bool ok = false;
    bool writerFailed = false;  // the write callback reported the failure
    int systemError = 0;        // errno of a failed system call or stream write
    std::string reason;         // one line, set whenever ok is false
};

// Runs `write` on a stream for `path`. A regular file (or a new one) is
// written to a temporary file in the same folder that replaces the target
// only when `write` and the close both succeeded, so a failed write leaves
// an existing file as it was; a symbolic link has the file it points to
// replaced (or created, when it dangles). Anything else (a device, a pipe,
// a name in /dev or /proc such as /dev/stdout, or the file that standard
// output goes to) is written straight into and never replaced.
FileWriteResult WriteFileSafely(const std::string& path, const std::function<bool(FILE*)>& write);

}  // namespace glyphrun
