#include "glyphrun/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace glyphrun {
namespace {

// Every temporary file that has a name, for a signal handler to remove: a
// fixed table of lock-free slots, since a handler may neither allocate nor
// lock. A write that finds every slot taken, or whose name does not fit,
// goes on unprotected: a signal then leaves its temporary file behind.
constexpr int kSlots = 256;
enum : int { kFree, kFilling, kNamed, kRemoved };
std::atomic<int> slotStates[kSlots];
char slotNames[kSlots][PATH_MAX];
static_assert(std::atomic<int>::is_always_lock_free);

// Once the files are being removed no new one is named, and a thread that
// is naming one as it begins finishes first (see Name and RemoveTemporaryFiles).
std::atomic<bool> ending{false};
std::atomic<int> naming{0};  // threads between protecting a name and knowing whether it was made

// The slot that now holds `name`, or -1.
int Protect(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (int slot = 0; slot < kSlots; ++slot) {
        int expected = kFree;
        if (!slotStates[slot].compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slotNames[slot], name.c_str(), name.size() + 1);
        slotStates[slot].store(kNamed);
        return slot;
    }
    return -1;
}

// A slot whose file a handler removed stays taken: the process is ending.
void Unprotect(int slot) {
    int expected = kNamed;
    if (slot >= 0) slotStates[slot].compare_exchange_strong(expected, kFree);
}

void RemoveAndEnd(int number) {
    RemoveTemporaryFiles();
    struct sigaction usual {};
    usual.sa_handler = SIG_DFL;
    ::sigaction(number, &usual, nullptr);
    ::raise(number);  // delivered as the handler returns: the usual end for this signal
}

// Errors that every other file written to the same place would meet too.
bool PlaceError(int error) {
    return error == ENOSPC || error == EDQUOT || error == EROFS || error == EMFILE || error == ENFILE;
}

FileWriteResult Failure(const std::string& what, const std::string& path, int error) {
    FileWriteResult result;
    result.systemError = error;
    result.reason = what + " " + path + ": " + std::strerror(error);
    return result;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

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
    std::string path;          // the file to write or to replace
    bool inPlace = false;      // a device, pipe or system file: written into, never replaced
    bool throughLink = false;  // a symbolic link led there
};

// Follows symbolic links one by one, so that a dangling link still names
// the file to create and a link into /dev or /proc is never replaced.
// Returns 0, or the errno that stopped it at destination.path.
int Resolve(const std::string& path, Destination& destination) {
    destination = {path};
    std::string& current = destination.path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (IsProcessEntry(current)) {
            destination.inPlace = true;
            return 0;
        }
        if (::lstat(current.c_str(), &info) != 0) return 0;  // a new file
        if (!S_ISLNK(info.st_mode)) {
            destination.inPlace = !S_ISREG(info.st_mode) || StandardStreamFor(current) >= 0;
            return 0;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
        if (length < 0) return errno;
        target[length] = '\0';
        current = target[0] == '/' ? std::string(target) : FolderOf(current) + "/" + target;
        destination.throughLink = true;
    }
    return ELOOP;
}

// Runs the callback on a stream over `fd` and closes it; the outcome names `path`.
FileWriteResult WriteThrough(int fd, const std::string& path, const std::function<bool(FILE*)>& write) {
    FILE* stream = ::fdopen(fd, "wb");
    if (!stream) {
        FileWriteResult result = Failure("cannot write", path, errno);
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
    FileWriteResult result;
    if (!written) {
        result = writeErrno ? Failure("cannot write", path, writeErrno) : FileWriteResult{};
        if (!writeErrno) result.reason = "cannot write " + path;
        result.writerFailed = true;
    } else if (!closed) {
        result = Failure("cannot write", path, closeErrno);
    } else {
        result.ok = true;
    }
    return result;
}

FileWriteResult WriteInPlace(const std::string& target, const std::string& path,
                             const std::function<bool(FILE*)>& write) {
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        FileWriteResult result;
        result.reason = "cannot write " + path + ": it is a folder";
        return result;
    }
    // A duplicate of the standard stream keeps it open after our close.
    const int stream = StandardStreamFor(target);
    const int fd = stream >= 0 ? ::dup(stream) : ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return Failure("cannot open", path, errno);
    return WriteThrough(fd, path, write);
}

// Gives a temporary file a fresh name in `folder` through `create` (which
// returns -1 and sets errno on failure) and returns what `create` returned.
// The name is protected before the file has it, so that no moment leaves a
// file that a signal could not remove.
template <typename Create>
int Name(const std::string& folder, std::string& name, int& slot, const Create& create) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.glyphrun-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        naming.fetch_add(1);
        if (ending.load()) {
            naming.fetch_sub(1);
            errno = EINTR;
            break;
        }
        slot = Protect(name);
        int created = create(name.c_str());
        int error = errno;
        // Made while the files were being removed: the name may have been
        // passed over already, and the process is about to end.
        if (created >= 0 && ending.load()) {
            ::unlink(name.c_str());
            created = -1;
            error = EINTR;
        }
        naming.fetch_sub(1);
        if (created >= 0) return created;
        Unprotect(slot);
        errno = error;
        if (error != EEXIST) break;
    }
    name.clear();
    slot = -1;
    return -1;
}

// A file without a name in `folder`, which nothing leaves behind, not even
// SIGKILL, until it is linked in through /proc; -1 where the kernel, the
// file system or a missing /proc rules that out. Whatever the reason, a
// named file is tried next and tells any real fault again.
int OpenUnnamed(const std::string& folder) {
    static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
    return linkable ? ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
}

// Owner and group before the permission bits, since a change of owner
// clears the set-id bits. A process that may not give the file away keeps
// at least the group when it belongs to it; otherwise the file is its own.
void KeepOwnerAndMode(int fd, const struct stat& existing) {
    if (::fchown(fd, existing.st_uid, existing.st_gid) != 0 && ::fchown(fd, -1, existing.st_gid) != 0) {
        // Nothing more may be kept.
    }
    ::fchmod(fd, existing.st_mode & 07777);
}

// rename cannot put a file where something is mounted, as a single file
// is in containers; writing into it instead would let a failed write
// destroy it, so it is refused.
FileWriteResult ReplaceFailure(const std::string& path, int error) {
    FileWriteResult result = Failure("cannot replace", path, error);
    if (error == EBUSY || error == EXDEV)
        result.reason = "cannot replace " + path + " by renaming (" + std::strerror(error) +
                        "; it may be a file mounted on its own): write to another path";
    return result;
}

// A temporary file beside the target, removed (and its descriptor and slot
// given back) however the write ends, memory running out included, unless
// it has become the target.
struct Temporary {
    int unnamed = -1;  // a file without a name, linked in only at the end
    std::string name;  // its name, once it has one
    int slot = -1;

    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
        if (unnamed >= 0) ::close(unnamed);
        if (!name.empty()) ::unlink(name.c_str());
        Unprotect(slot);
    }
};

// Writes a temporary file beside `target` and renames it over the target.
// No fsync: a batch writes thousands of labels and a sync costs milliseconds
// each; the rename still guarantees that a failed run leaves the old file.
FileWriteResult WriteAndReplace(const std::string& target, const std::string& path,
                                const std::function<bool(FILE*)>& write) {
    struct stat existing {};
    const bool existed = ::stat(target.c_str(), &existing) == 0;
    if (existed && ::access(target.c_str(), W_OK) != 0) return Failure("cannot write", path, errno);

    const std::string folder = FolderOf(target);
    Temporary temporary;
    // The unnamed file keeps a descriptor of its own to be linked in
    // through once the stream is closed.
    temporary.unnamed = OpenUnnamed(folder);
    const auto createNamed = [](const char* name) {
        return ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);  // the umask applies
    };
    const int fd = temporary.unnamed >= 0 ? ::fcntl(temporary.unnamed, F_DUPFD_CLOEXEC, 0)
                                          : Name(folder, temporary.name, temporary.slot, createNamed);
    if (fd < 0) {
        FileWriteResult result = Failure("cannot write", path, errno);
        result.placeFailed = true;  // no file can be made in that folder now
        return result;
    }
    if (existed) KeepOwnerAndMode(fd, existing);
    FileWriteResult result = WriteThrough(fd, path, write);
    if (result.ok && temporary.unnamed >= 0) {
        const std::string self = "/proc/self/fd/" + std::to_string(temporary.unnamed);
        const auto linkIn = [&self](const char* name) {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW);
        };
        if (Name(folder, temporary.name, temporary.slot, linkIn) < 0) result = Failure("cannot write", path, errno);
    }
    if (result.ok && ::rename(temporary.name.c_str(), target.c_str()) != 0) result = ReplaceFailure(path, errno);
    if (result.ok) temporary.name.clear();  // it is the target now
    return result;
}

}  // namespace

FileWriteResult WriteFileSafely(const std::string& path, const std::function<bool(FILE*)>& write) {
    Destination destination;
    FileWriteResult result;
    if (const int error = Resolve(path, destination))
        result = Failure("cannot write", path, error);
    else if (destination.inPlace)
        result = WriteInPlace(destination.path, path, write);
    else
        result = WriteAndReplace(destination.path, path, write);
    if (!result.ok && PlaceError(result.systemError)) result.placeFailed = true;
    return result;
}

OutputTarget ResolveOutputTarget(const std::string& path) {
    Destination destination;
    Resolve(path, destination);  // where it stops, the write stops too
    OutputTarget target{destination.path, destination.throughLink, destination.inPlace};
    const std::string leaf = destination.path.substr(destination.path.rfind('/') + 1);
    if (char* folder = ::realpath(FolderOf(destination.path).c_str(), nullptr)) {
        target.path = std::string(folder) + (std::strcmp(folder, "/") == 0 ? "" : "/") + leaf;
        std::free(folder);
    }
    return target;
}

void RemoveTemporaryFiles() {
    ending.store(true);
    // A thread naming a file as this begins is a few system calls from
    // knowing whether it made it; the wait is bounded, since the thread this
    // runs on may be the one interrupted there.
    for (int wait = 0; wait < 1000 && naming.load() > 0; ++wait) {
        const timespec tenthOfAMillisecond{0, 100'000};
        ::nanosleep(&tenthOfAMillisecond, nullptr);
    }
    for (int slot = 0; slot < kSlots; ++slot) {
        int expected = kNamed;
        if (slotStates[slot].compare_exchange_strong(expected, kRemoved)) ::unlink(slotNames[slot]);
    }
}

void HoldStandardDescriptors() {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free number is this one, since those below it are open.
        const int held = ::open("/dev/null", (fd == STDIN_FILENO ? O_WRONLY : O_RDONLY));
        if (held >= 0 && held != fd) ::close(held);
    }
}

void RemoveTemporaryFilesOnSignals() {
    constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction action {};
    action.sa_handler = RemoveAndEnd;
    // While one is handled the others wait on that thread, so that a second
    // Ctrl-C does not end the process before the files are gone.
    sigemptyset(&action.sa_mask);
    for (int number : kSignals) sigaddset(&action.sa_mask, number);
    for (int number : kSignals) {
        struct sigaction current {};
        if (::sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::sigaction(number, &action, nullptr);
    }
}

}  // namespace glyphrun
