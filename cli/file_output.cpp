#include "file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Closes `fd` after writing; the reason on failure, naming `path`.
std::string WriteAndClose(int fd, const std::vector<unsigned char>& bytes, const std::string& path) {
    const bool written = WriteAll(fd, bytes);
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (written && closed) return {};
    if (!written) errno = writeErrno;
    return SystemError("cannot write", path);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool InSystemArea(const std::string& path) { return path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0; }

// Standard output or error when `path` names the same open file; -1 otherwise.
// Such a file is written through the descriptor the shell gave us, so that
// its offset and append mode hold (">> log" must not be overwritten).
int StandardStreamFor(const std::string& path) {
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0) return -1;
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat open {};
        if (::fstat(fd, &open) == 0 && open.st_dev == named.st_dev && open.st_ino == named.st_ino) return fd;
    }
    return -1;
}

struct Destination {
    std::string path;  // the file to write or to replace
    bool inPlace;      // a device, pipe or system file: written into, never replaced
};

// Follows symbolic links one by one, so that a dangling link still names
// the file to create and a link into /dev or /proc is never replaced.
bool Resolve(const std::string& path, Destination& destination, std::string& error) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (InSystemArea(current) || ::lstat(current.c_str(), &info) != 0) {
            destination = {current, InSystemArea(current)};
            return true;
        }
        if (!S_ISLNK(info.st_mode)) {
            destination = {current, !S_ISREG(info.st_mode)};
            return true;
        }
        char target[4096];
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
        if (length < 0) {
            error = SystemError("cannot follow", current);
            return false;
        }
        target[length] = '\0';
        current = target[0] == '/' ? std::string(target) : FolderOf(current) + "/" + target;
    }
    error = "cannot write " + path + ": too many levels of symbolic links";
    return false;
}

std::string WriteInPlace(const std::string& path, const std::vector<unsigned char>& bytes) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return "cannot write " + path + ": it is a folder";
    const int stream = StandardStreamFor(path);
    if (stream >= 0) {
        if (!WriteAll(stream, bytes)) return SystemError("cannot write", path);
        return {};
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return SystemError("cannot open", path);
    return WriteAndClose(fd, bytes, path);
}

// Writes a temporary file beside `target` and renames it over the target.
// No fsync: a batch writes thousands of labels and a sync costs milliseconds
// each; the rename still guarantees that a failed run leaves the old file.
std::string WriteAndReplace(const std::string& target, const std::string& path,
                            const std::vector<unsigned char>& bytes) {
    struct stat existing {};
    const bool existed = ::stat(target.c_str(), &existing) == 0;
    if (existed && ::access(target.c_str(), W_OK) != 0) return SystemError("cannot write", path);

    std::string temporary = FolderOf(target) + "/.glyphrun-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return SystemError("cannot write", path);
    // A replaced file keeps its permissions; a new one gets the usual ones.
    mode_t mode = existing.st_mode & 07777;
    if (!existed) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    std::string error = WriteAndClose(fd, bytes, path);
    if (error.empty() && ::rename(temporary.c_str(), target.c_str()) != 0) error = SystemError("cannot replace", path);
    if (!error.empty()) ::unlink(temporary.c_str());
    return error;
}

}  // namespace

std::string WriteFileReplacing(const std::string& path, const std::vector<unsigned char>& bytes) {
    Destination destination;
    std::string error;
    if (!Resolve(path, destination, error)) return error;
    if (destination.inPlace || StandardStreamFor(destination.path) >= 0) return WriteInPlace(destination.path, bytes);
    return WriteAndReplace(destination.path, path, bytes);
}

}  // namespace glyphrun::cli
