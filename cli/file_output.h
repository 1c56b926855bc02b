// Writing a finished file without ever leaving a partial one behind.
#pragma once

#include <string>
#include <vector>

namespace glyphrun::cli {

// Writes `bytes` to `path`. A regular file (or a new one) is written to a
// temporary file in the same folder and renamed over the target only once
// everything is on disk, so an existing file is never left half-written;
// a symbolic link has the file it points to replaced. Anything else (a
// device such as /dev/stdout, a pipe) is written straight into.
// Returns an empty string on success, else a one-line reason.
std::string WriteFileReplacing(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace glyphrun::cli
