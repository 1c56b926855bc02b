#include "file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace glyphrun::cli {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::vector<unsigned char>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string WriteInPlace(const std::string& path, const std::vector<unsigned char>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return SystemError("cannot open", path);
    const bool written = WriteAll(fd, bytes);
    const int savedErrno = errno;
    if (::close(fd) != 0 || !written) {
        if (!written) errno = savedErrno;
        return SystemError("cannot write", path);
    }
    return {};
}

// The file that a write to `path` should replace: symbolic links resolved.
std::string ReplacementTarget(const std::string& path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && ::realpath(path.c_str(), resolved))
        return resolved;
    return path;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string WriteFileReplacing(const std::string& path, const std::vector<unsigned char>& bytes) {
    const std::string target = ReplacementTarget(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) return "cannot write " + path + ": it is a folder";
        return WriteInPlace(target, bytes);
    }
    const bool existed = ::stat(target.c_str(), &info) == 0;

    std::string temporary = FolderOf(target) + "/.glyphrun-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return SystemError("cannot create a temporary file in", FolderOf(target));
    // A new file gets the usual permissions; a replaced one keeps its own.
    if (existed) {
        ::fchmod(fd, info.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    const bool written = WriteAll(fd, bytes);
    const int savedErrno = errno;
    if (::close(fd) != 0 || !written) {
        if (!written) errno = savedErrno;
        const std::string reason = SystemError("cannot write", path);
        ::unlink(temporary.c_str());
        return reason;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const std::string reason = SystemError("cannot replace", path);
        ::unlink(temporary.c_str());
        return reason;
    }
    return {};
}

}  // namespace glyphrun::cli
