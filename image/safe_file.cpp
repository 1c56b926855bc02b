#include "glyphrun/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

namespace glyphrun {
namespace {

std::string SystemError(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A failure before any byte was written.
FileWriteResult Refused(const std::string& reason, int systemError = 0) { return {false, false, systemError, reason}; }

// The process's own entries, whose links name open files (/dev/stdout leads
// to /proc/self/fd/1): what they lead to is written into, never replaced.
bool IsProcessEntry(const std::string& path) { return path.rfind("/proc/", 0) == 0; }

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
        if (IsProcessEntry(current) || ::lstat(current.c_str(), &info) != 0) {
            destination = {current, IsProcessEntry(current)};
            return true;
        }
        if (!S_ISLNK(info.st_mode)) {
            destination = {current, !S_ISREG(info.st_mode) || StandardStreamFor(current) >= 0};
            return true;
        }
        char target[4096];
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
        if (length < 0) {
            error = SystemError("cannot follow", current, errno);
            return false;
        }
        target[length] = '\0';
        current = target[0] == '/' ? std::string(target) : FolderOf(current) + "/" + target;
    }
    error = "cannot write " + path + ": too many levels of symbolic links";
    return false;
}

// Runs the callback on a stream over `fd` and closes it; the outcome names `path`.
FileWriteResult WriteThrough(int fd, const std::string& path, const std::function<bool(FILE*)>& write) {
    FileWriteResult result;
    FILE* stream = ::fdopen(fd, "wb");
    if (!stream) {
        result.reason = SystemError("cannot write", path, errno);
        ::close(fd);
        return result;
    }
    errno = 0;
    bool written = false;
    int writeErrno = 0;
    try {
        written = write(stream);
        writeErrno = std::ferror(stream) ? errno : 0;
    } catch (const std::bad_alloc&) {
        writeErrno = ENOMEM;  // the file is not finished: it is dropped like any failed one
    }
    const bool closed = std::fclose(stream) == 0;
    const int closeErrno = errno;
    if (!written) {
        result.writerFailed = true;
        result.systemError = writeErrno;
        result.reason = writeErrno ? SystemError("cannot write", path, writeErrno) : "cannot write " + path;
    } else if (!closed) {
        result.systemError = closeErrno;
        result.reason = SystemError("cannot write", path, closeErrno);
    } else {
        result.ok = true;
    }
    return result;
}

FileWriteResult WriteInPlace(const std::string& path, const std::function<bool(FILE*)>& write) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return Refused("cannot write " + path + ": it is a folder");
    // A duplicate of the standard stream keeps it open after our close.
    const int stream = StandardStreamFor(path);
    const int fd = stream >= 0 ? ::dup(stream) : ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return Refused(SystemError("cannot open", path, errno), errno);
    return WriteThrough(fd, path, write);
}

// A new file in `folder` with a name of its own, created with the mode a
// new file gets (the kernel applies the umask, which we leave alone).
int CreateTemporary(const std::string& folder, std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.glyphrun-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Writes a temporary file beside `target` and renames it over the target.
// No fsync: a batch writes thousands of labels and a sync costs milliseconds
// each; the rename still guarantees that a failed run leaves the old file.
FileWriteResult WriteAndReplace(const std::string& target, const std::string& path,
                                const std::function<bool(FILE*)>& write) {
    struct stat existing {};
    const bool existed = ::stat(target.c_str(), &existing) == 0;
    if (existed && ::access(target.c_str(), W_OK) != 0) return Refused(SystemError("cannot write", path, errno), errno);

    std::string temporary;
    const int fd = CreateTemporary(FolderOf(target), temporary);
    if (fd < 0) return Refused(SystemError("cannot write", path, errno), errno);
    // A replaced file keeps its permissions; a new one has the usual ones.
    if (existed) ::fchmod(fd, existing.st_mode & 07777);
    FileWriteResult result = WriteThrough(fd, path, write);
    if (result.ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        result.ok = false;
        result.reason = SystemError("cannot replace", path, errno);
    }
    if (!result.ok) ::unlink(temporary.c_str());
    return result;
}

}  // namespace

FileWriteResult WriteFileSafely(const std::string& path, const std::function<bool(FILE*)>& write) {
    Destination destination;
    std::string error;
    if (!Resolve(path, destination, error)) return Refused(error);
    if (destination.inPlace) return WriteInPlace(destination.path, write);
    return WriteAndReplace(destination.path, path, write);
}

}  // namespace glyphrun
