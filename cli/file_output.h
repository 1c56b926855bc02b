// Writing a finished file without ever leaving a partial one behind.
#pragma once

#include <string>
#include <vector>

namespace glyphrun::cli {

// Writes `bytes` to `path`. A regular file (or a new one) is written to a
// temporary file in the same folder and renamed over the target only once
// it is complete, so a failed write leaves an existing file as it was; a
// symbolic link has the file it points to replaced (or created, when it
// dangles). Anything else (a device, a pipe, a name in /dev or /proc such
// as /dev/stdout, or the file that standard output goes to) is written
// straight into and never replaced.
// Returns an empty string on success, else a one-line reason.
std::string WriteFileReplacing(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace glyphrun::cli
