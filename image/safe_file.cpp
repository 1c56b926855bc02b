#include "glyphrun/safe_file.h"

#include <fcntl.h>
#include <grp.h>
#include <pthread.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
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
// Threads putting a set of files in place, whose temporary names hold the
// old files meanwhile: the handler lets them finish before it removes those
// names (the thread itself holds the signals off, but another may take them).
std::atomic<int> placing{0};

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

// The process id in temporary names, asked for once: the child of a fork
// asks again, so that its names never meet its parent's (a name is
// protected before it is made, and a signal in the child would otherwise
// remove the parent's file of that name).
std::atomic<pid_t> ownId{0};
void ForgetOwnId() { ownId.store(0); }
pid_t OwnId() {
    static const int forgetInChildren = ::pthread_atfork(nullptr, nullptr, ForgetOwnId);
    (void)forgetInChildren;
    pid_t id = ownId.load();
    if (id == 0) ownId.store(id = ::getpid());
    return id;
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

// A failed system call on `path`: the place's failure when every other
// file written there would meet the same error.
Status Failure(const std::string& what, const std::string& path, int error) {
    const FileWriteError way = PlaceError(error) ? FileWriteError::Place : FileWriteError::System;
    return Status::Failed(way, what + " " + path + ": " + std::strerror(error), error);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The process's own entries, whose links name open files (/dev/stdout leads
// to /proc/self/fd/1): what they lead to is written into, never replaced.
bool IsProcessEntry(const std::string& path) { return path.rfind("/proc/", 0) == 0; }

// The files that standard output and error go to, looked at when first
// needed and then kept for as long as this lives: writes that share one
// (a run, a set) ask once, rather than twice for every file.
class StandardFiles {
public:
    // Looks at them now: a run shared between threads only reads them after.
    void Look() {
        for (int i = 0; i < 2; ++i) {
            struct stat open {};
            files_[i] = ::fstat(kStreams[i], &open) == 0 ? File{true, open.st_dev, open.st_ino} : File{};
        }
        looked_ = true;
    }

    // Standard output or error when `named` is the file it goes to; -1
    // otherwise. Such a file is written through the descriptor the shell
    // gave us, so that its offset and append mode hold (">> log" must not
    // be overwritten).
    int StreamFor(const struct stat& named) {
        if (!looked_) Look();
        for (int i = 0; i < 2; ++i)
            if (files_[i].open && files_[i].device == named.st_dev && files_[i].inode == named.st_ino)
                return kStreams[i];
        return -1;
    }

private:
    static constexpr int kStreams[2] = {STDOUT_FILENO, STDERR_FILENO};
    struct File {
        bool open = false;
        dev_t device = 0;
        ino_t inode = 0;
    };
    bool looked_ = false;
    File files_[2];
};

struct Destination {
    std::string path;          // the file to write or to replace
    bool inPlace = false;      // a device, pipe or system file: written into, never replaced
    bool throughLink = false;  // a symbolic link led there
    bool exists = false;       // `info` describes the file at `path`, looked at once
    struct stat info {};
    int stream = -1;  // standard output or error, when it goes to that file
};

// Follows symbolic links one by one, so that a dangling link still names
// the file to create and a link into /dev or /proc is never replaced.
// Returns 0, or the errno that stopped it at destination.path.
int Resolve(const std::string& path, Destination& destination, StandardFiles& streams) {
    destination = {path};
    std::string& current = destination.path;
    for (int hop = 0; hop < 40; ++hop) {
        if (IsProcessEntry(current)) {
            destination.inPlace = true;
            return 0;
        }
        struct stat& info = destination.info;
        if (::lstat(current.c_str(), &info) != 0) {
            // A name too long for the file system is this file's fault, said
            // as such; any other failure is met again, and told, by the write.
            return errno == ENAMETOOLONG ? ENAMETOOLONG : 0;  // a new file
        }
        if (!S_ISLNK(info.st_mode)) {
            // Only a file that exists can be the one a standard stream goes
            // to; anything but a regular file is written in place anyway.
            destination.exists = true;
            if (S_ISREG(info.st_mode)) destination.stream = streams.StreamFor(info);
            destination.inPlace = !S_ISREG(info.st_mode) || destination.stream >= 0;
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

// A descriptor closed however the write ends, unless closed on purpose first.
struct Descriptor {
    int fd = -1;

    Descriptor() = default;
    explicit Descriptor(int opened) : fd(opened) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    // 0, or the errno of a close that failed (a file system that writes
    // back on close, such as NFS, tells a full disk only here).
    int Close() {
        const int closed = ::close(fd);
        fd = -1;
        return closed == 0 ? 0 : errno;
    }
};

// How putting the contents into a descriptor went.
struct Filled {
    bool ok = false;
    bool byWriter = false;  // the callback reported the failure
    int error = 0;          // errno of the failure, 0 when there was none to give
};
using Fill = std::function<Filled(int fd)>;

// 0, or the errno that stopped the write. A pipe or a device may take part
// of the bytes at a time, and a handled signal may cut a write short.
int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        if (written == 0) return EIO;  // nothing taken and no reason given: trying again would spin
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

// The stream a callback writes to: stdio's buffer over writes of our own,
// rather than fdopen, which asks the descriptor for its flags and its
// block size (two system calls for every file).
struct Sink {
    int fd;
    int error = 0;  // of the first write that failed
};

ssize_t SinkWrite(void* cookie, const char* data, size_t size) {
    Sink& sink = *static_cast<Sink*>(cookie);
    const int error = WriteAll(sink.fd, data, size);
    if (error == 0) return static_cast<ssize_t>(size);
    if (sink.error == 0) sink.error = error;
    errno = error;
    return 0;  // how stdio is told of a failure
}

int SinkSeek(void* cookie, off64_t* offset, int whence) {
    const off64_t to = ::lseek64(static_cast<Sink*>(cookie)->fd, *offset, whence);
    if (to < 0) return -1;
    *offset = to;
    return 0;
}

// Large enough that a big image takes few writes (stdio's own is 8 KiB).
constexpr size_t kStreamBuffer = 1 << 16;

// Runs the callback on a stream over `fd` and flushes it; `fd` stays open.
Filled FillThroughStream(int fd, const std::function<bool(FILE*)>& write) {
    Sink sink{fd};
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kStreamBuffer]);  // stdio's own will do without
    static constexpr cookie_io_functions_t kSinkFunctions{nullptr, SinkWrite, SinkSeek, nullptr};
    FILE* stream = ::fopencookie(&sink, "wb", kSinkFunctions);
    if (!stream) return {false, false, errno ? errno : ENOMEM};
    if (buffer) std::setvbuf(stream, buffer.get(), _IOFBF, kStreamBuffer);
    bool written = false;
    try {
        written = write(stream);
    } catch (...) {
        std::fclose(stream);
        throw;
    }
    const bool flushed = std::fclose(stream) == 0;
    if (!written) return {false, true, sink.error};
    // A write that failed fails the file even when the callback let it pass.
    if (!flushed || sink.error != 0) return {false, false, sink.error != 0 ? sink.error : EIO};
    return {true};
}

Filled FillWithBytes(int fd, std::string_view bytes) {
    const int error = WriteAll(fd, bytes.data(), bytes.size());
    return {error == 0, false, error};
}

// The outcome of a fill, naming `path`.
Status Outcome(const Filled& filled, const std::string& path) {
    if (filled.ok) return {};
    if (filled.error != 0) return Failure("cannot write", path, filled.error);
    return Status::Failed(filled.byWriter ? FileWriteError::Writer : FileWriteError::System, "cannot write " + path);
}

Status WriteInPlace(Destination& destination, const std::string& path, const Fill& fill, StandardFiles& streams) {
    // /proc's entries were not looked at on the way (what a link there
    // leads to is never replaced); where they lead is looked at now.
    if (!destination.exists) destination.exists = ::stat(destination.path.c_str(), &destination.info) == 0;
    if (destination.exists && S_ISDIR(destination.info.st_mode))
        return Status::Failed(FileWriteError::System, "cannot write " + path + ": it is a folder");
    // A regular file written in place is a standard stream's, known already.
    if (destination.exists && destination.stream < 0) destination.stream = streams.StreamFor(destination.info);
    // A duplicate of the standard stream keeps it open after our close.
    Descriptor file(destination.stream >= 0 ? ::fcntl(destination.stream, F_DUPFD_CLOEXEC, 0)
                                            : ::open(destination.path.c_str(), O_WRONLY | O_CLOEXEC));
    if (file.fd < 0) return Failure("cannot open", path, errno);
    Filled filled = fill(file.fd);
    if (const int error = file.Close(); error != 0 && filled.ok) filled = {false, false, error};
    return Outcome(filled, path);
}

// Gives a temporary file a fresh name in `folder` through `create` (which
// returns -1 and sets errno on failure) and returns what `create` returned.
// The name is protected before the file has it, so that no moment leaves a
// file that a signal could not remove.
template <typename Create>
int Name(const std::string& folder, std::string& name, int& slot, const Create& create) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.glyphrun-" + std::to_string(OwnId()) + "-" + std::to_string(counter++);
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

// "root:root", or the numbers where the system has no names for them.
std::string OwnerName(uid_t uid, gid_t gid) {
    char buffer[4096];
    passwd user{};
    passwd* userFound = nullptr;
    group team{};
    group* teamFound = nullptr;
    const bool named = ::getpwuid_r(uid, &user, buffer, sizeof buffer, &userFound) == 0 && userFound;
    std::string name = named ? user.pw_name : std::to_string(uid);
    const bool grouped = ::getgrgid_r(gid, &team, buffer, sizeof buffer, &teamFound) == 0 && teamFound;
    return name + ":" + (grouped ? team.gr_name : std::to_string(gid));
}

// The owner, group and permission bits a new file was made with.
struct Born {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
};

// Owner and group before the permission bits, since a change of owner
// clears the set-id bits. A process that may not give the file away keeps
// at least the group when it belongs to it; otherwise the file is its own,
// which is told as a warning. Permission bits that cannot be kept fail the
// write: the new file would be more open than the old one. A new file
// known to be `born` with the old one's owner, group or bits (as in a
// folder of one user's files) is left as it is, without system calls.
Status KeepOwnerAndMode(int fd, const struct stat& existing, const std::string& path, Warnings* warnings,
                        const Born* born) {
    const bool sameOwner = born && born->owner == existing.st_uid && born->group == existing.st_gid;
    if (sameOwner && born->mode == (existing.st_mode & 07777)) return {};
    if (!sameOwner && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        if (::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
            // The group cannot be kept either.
        }
        struct stat made {};
        if (warnings && ::fstat(fd, &made) == 0 && (made.st_uid != existing.st_uid || made.st_gid != existing.st_gid))
            warnings->push_back(path + " belonged to " + OwnerName(existing.st_uid, existing.st_gid) +
                                " and now belongs to " + OwnerName(made.st_uid, made.st_gid) +
                                ": this user may not give a file away");
    }
    if (::fchmod(fd, existing.st_mode & 07777) == 0) return {};
    const int error = errno;
    // A file system that refuses the change (some mounts of other systems'
    // disks) may still have made the file no more open than the old one.
    struct stat made {};
    if (::fstat(fd, &made) == 0 && (made.st_mode & 07777 & ~existing.st_mode) == 0) return {};
    return Failure("cannot keep the permissions of", path, error);
}

// What a run of writes knows without asking each time (see WriteRun).
class RunFacts {
public:
    RunFacts() : user_(::getuid()) { streams.Look(); }

    StandardFiles streams;

    // Whether access(W_OK) would say yes without asking it: the real user,
    // whom it asks about, owns the file and may write it. Anything else
    // (an ACL, another owner, a read-only bit) is left to access itself.
    bool OwnerMayWrite(const struct stat& file) const { return file.st_uid == user_ && (file.st_mode & S_IWUSR); }

    // What `fd`, a file just made in `folder`, was born with: told by the
    // kernel the first time, since the folder's set-group bit, its default
    // ACL and the umask all take part, then the same for every file made
    // there. False when the kernel cannot say.
    bool BornIn(const std::string& folder, int fd, Born& born) {
        {
            const std::lock_guard lock(mutex_);
            if (known_ && folder_ == folder) {
                born = born_;
                return true;
            }
        }
        struct stat made {};
        if (::fstat(fd, &made) != 0) return false;
        born = {made.st_uid, made.st_gid, static_cast<mode_t>(made.st_mode & 07777)};
        const std::lock_guard lock(mutex_);
        folder_ = folder;
        born_ = born;
        known_ = true;
        return true;
    }

private:
    const uid_t user_;
    std::mutex mutex_;
    bool known_ = false;  // born_ is what a file made in folder_ gets
    std::string folder_;
    Born born_;
};

// rename cannot put a file where something is mounted, as a single file
// is in containers; writing into it instead would let a failed write
// destroy it, so it is refused.
Status ReplaceFailure(const std::string& path, int error) {
    Status status = Failure("cannot replace", path, error);
    if (error == EBUSY || error == EXDEV)
        status.message = "cannot replace " + path + " by renaming (" + std::strerror(error) +
                         "; it may be a file mounted on its own): write to another path";
    return status;
}

// A temporary file beside the target, removed (and its descriptor and slot
// given back) however the write ends, memory running out included, unless
// it has become the target.
struct Temporary {
    Descriptor file;
    bool unnamed = false;  // made without a name, linked in only at the end
    std::string name;      // its name, once it has one
    int slot = -1;

    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
        if (!name.empty()) ::unlink(name.c_str());
        Unprotect(slot);
    }
};

// A file written whole beside its target, waiting under its temporary name
// to take the target's place.
struct Staged {
    Temporary temporary;
    std::string path;  // as given, for messages
    std::string target;
    bool existed = false;
    bool linkedIn = false;  // a new file that went straight in under its own name: nothing is left to do
};

// Writes a temporary file beside the target and closes it. No fsync: a
// batch writes thousands of labels and a sync costs milliseconds each; the
// rename still guarantees that a failed run leaves the old file. With
// `linkNewIn`, a new file goes straight in under its own name.
// A run's `facts` spare the system calls whose answers it knows already.
Status Stage(const Destination& destination, const std::string& path, const Fill& fill, bool linkNewIn, Staged& staged,
             Warnings* warnings, RunFacts* facts = nullptr) {
    staged.path = path;
    staged.target = destination.path;
    staged.existed = destination.exists;
    const std::string& target = staged.target;
    const bool mayWrite = facts && facts->OwnerMayWrite(destination.info);
    if (staged.existed && !mayWrite && ::access(target.c_str(), W_OK) != 0) return Failure("cannot write", path, errno);

    const std::string folder = FolderOf(target);
    Temporary& temporary = staged.temporary;
    temporary.file.fd = OpenUnnamed(folder);
    temporary.unnamed = temporary.file.fd >= 0;
    const auto createNamed = [](const char* name) {
        return ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);  // the umask applies
    };
    if (!temporary.unnamed) temporary.file.fd = Name(folder, temporary.name, temporary.slot, createNamed);
    if (temporary.file.fd < 0) {
        Status status = Failure("cannot write", path, errno);
        status.code = make_error_code(FileWriteError::Place);  // no file can be made in that folder now
        return status;
    }
    if (staged.existed) {
        Born born;
        const bool known = facts && facts->BornIn(folder, temporary.file.fd, born);
        const Status kept =
            KeepOwnerAndMode(temporary.file.fd, destination.info, path, warnings, known ? &born : nullptr);
        if (!kept) return kept;
    }
    const Status filled = Outcome(fill(temporary.file.fd), path);
    if (!filled) return filled;
    if (temporary.unnamed) {
        const std::string self = "/proc/self/fd/" + std::to_string(temporary.file.fd);
        const auto linkIn = [&self](const char* name) {
            return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW);
        };
        // A new file goes straight in under its own name: a link never
        // replaces, so a file made there meanwhile (or any other failure)
        // leads on to a temporary name and a rename, as an existing file
        // does. Once the process is ending no new file appears.
        if (linkNewIn && !staged.existed && !ending.load() && linkIn(target.c_str()) == 0) {
            // Only a file system that writes back on close (FUSE) fails
            // here, after the link: the file it may not hold goes again.
            if (const int error = temporary.file.Close()) {
                ::unlink(target.c_str());
                return Failure("cannot write", path, error);
            }
            staged.linkedIn = true;
            return {};
        }
        if (Name(folder, temporary.name, temporary.slot, linkIn) < 0) return Failure("cannot write", path, errno);
    }
    if (const int error = temporary.file.Close()) return Failure("cannot write", path, error);
    return {};
}

Status WriteAndReplace(const Destination& destination, const std::string& path, const Fill& fill, Warnings* warnings,
                       RunFacts* facts = nullptr) {
    Staged staged;
    if (Status written = Stage(destination, path, fill, /*linkNewIn=*/true, staged, warnings, facts); !written)
        return written;
    if (staged.linkedIn) return {};
    if (::rename(staged.temporary.name.c_str(), staged.target.c_str()) != 0) return ReplaceFailure(path, errno);
    staged.temporary.name.clear();  // it is the target now
    return {};
}

Status WriteSafely(const std::string& path, const Fill& fill, Warnings* warnings) {
    Destination destination;
    StandardFiles streams;
    if (const int error = Resolve(path, destination, streams)) return Failure("cannot write", path, error);
    if (destination.inPlace) return WriteInPlace(destination, path, fill, streams);
    return WriteAndReplace(destination, path, fill, warnings);
}

// The signals that end a program which removes its temporary files on them
// wait, on this thread, for as long as this lives.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, number);
        ::pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};

// How a staged file took its place, for putting it back.
enum class Placed { Not, Exchanged, Created, Overwritten };

// Swaps two names' files; false where the file system cannot, or where the
// C library has no exchange (WebAssembly's).
bool Exchange(const char* from, const char* to) {
#ifdef RENAME_EXCHANGE
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0;
#else
    static_cast<void>(from), static_cast<void>(to);
    return false;
#endif
}

Placed PutStagedInPlace(Staged& staged) {
    const char* from = staged.temporary.name.c_str();
    const char* to = staged.target.c_str();
    // An exchange keeps the old file under the temporary name until the
    // whole set is in; a file system without exchanges has it replaced.
    if (staged.existed && Exchange(from, to)) return Placed::Exchanged;
    if (::rename(from, to) != 0) return Placed::Not;
    staged.temporary.name.clear();  // it is the target now
    return staged.existed ? Placed::Overwritten : Placed::Created;
}

// Puts the old file back, or removes a new one that had none; otherwise
// says what is left: a file replaced for good, or an old file kept under
// its temporary name, which is then no longer removed.
std::string PutBack(Staged& staged, Placed placed) {
    switch (placed) {
        case Placed::Not: return {};
        case Placed::Created: return ::unlink(staged.target.c_str()) == 0 ? "" : staged.path + " was written already";
        case Placed::Overwritten: return staged.path + " was replaced already";
        case Placed::Exchanged: break;
    }
    Temporary& kept = staged.temporary;
    if (Exchange(kept.name.c_str(), staged.target.c_str())) return {};
    std::string left = staged.path + " was replaced already; its old file is kept as " + kept.name;
    kept.name.clear();
    Unprotect(kept.slot);
    kept.slot = -1;
    return left;
}

}  // namespace

struct FileSet::Parts {
    std::vector<std::unique_ptr<Staged>> staged;
    StandardFiles streams;  // looked at once for the set
};

FileSet::FileSet() : parts_(std::make_unique<Parts>()) {}
FileSet::~FileSet() = default;

Status FileSet::Add(const std::string& path, std::string_view bytes, Warnings* warnings) {
    const Fill fill = [bytes](int fd) { return FillWithBytes(fd, bytes); };
    Destination destination;
    if (const int error = Resolve(path, destination, parts_->streams)) return Failure("cannot write", path, error);
    // A device or pipe is written into, which cannot wait: before anything is replaced.
    if (destination.inPlace) return WriteInPlace(destination, path, fill, parts_->streams);
    auto staged = std::make_unique<Staged>();
    if (Status written = Stage(destination, path, fill, /*linkNewIn=*/false, *staged, warnings); !written)
        return written;
    parts_->staged.push_back(std::move(staged));
    return {};
}

// With the ending signals held off, so that none comes between two of the
// files. A failure midway puts back those already in place; the old files
// kept under their temporary names go when the set is in.
Status FileSet::PutInPlace() {
    const SignalsHeld held;
    const size_t count = parts_->staged.size();
    std::vector<Placed> placed(count, Placed::Not);
    placing.fetch_add(1);
    size_t failed = ending.load() ? 0 : count;  // once the process is ending, none is put in place
    int error = EINTR;
    for (size_t i = 0; i < failed; ++i) {
        placed[i] = PutStagedInPlace(*parts_->staged[i]);
        if (placed[i] != Placed::Not) continue;
        error = errno;
        failed = i;
    }
    std::vector<std::string> left;
    for (size_t j = failed < count ? failed : 0; j-- > 0;)
        if (std::string what = PutBack(*parts_->staged[j], placed[j]); !what.empty()) left.push_back(std::move(what));
    placing.fetch_sub(1);
    if (failed == count) {
        parts_->staged.clear();  // done: the old files go, and the set is empty again
        return {};
    }
    Status failure = ReplaceFailure(parts_->staged[failed]->path, error);
    for (const std::string& what : left) failure.message += "; " + what;
    return failure;
}

Status WriteFileSafely(const std::string& path, const std::function<bool(FILE*)>& write, Warnings* warnings) {
    return WriteSafely(
        path, [&write](int fd) { return FillThroughStream(fd, write); }, warnings);
}

Status WriteFileSafely(const std::string& path, std::string_view bytes, Warnings* warnings) {
    return WriteSafely(
        path, [bytes](int fd) { return FillWithBytes(fd, bytes); }, warnings);
}

OutputTarget FollowOutputLinks(const std::string& path) {
    Destination destination;
    StandardFiles streams;
    Resolve(path, destination, streams);  // where it stops, the write stops too
    return OutputTarget{destination.path, destination.throughLink, destination.inPlace};
}

struct WriteRun::Parts {
    RunFacts facts;
};

WriteRun::WriteRun() : parts_(std::make_unique<Parts>()) {}
WriteRun::~WriteRun() = default;

OutputLook WriteRun::Look(const std::string& path) const {
    Destination destination;
    OutputLook look;
    look.path = path;
    look.error = Resolve(path, destination, parts_->facts.streams);
    look.target = OutputTarget{std::move(destination.path), destination.throughLink, destination.inPlace};
    look.exists = destination.exists;
    look.info = destination.info;
    look.stream = destination.stream;
    return look;
}

Status WriteRun::Write(const OutputLook& look, std::string_view bytes, Warnings* warnings) const {
    if (look.error != 0) return Failure("cannot write", look.path, look.error);
    Destination destination;
    destination.path = look.target.path;
    destination.inPlace = look.target.inPlace;
    destination.throughLink = look.target.throughLink;
    destination.exists = look.exists;
    destination.info = look.info;
    destination.stream = look.stream;
    const Fill fill = [bytes](int fd) { return FillWithBytes(fd, bytes); };
    if (destination.inPlace) return WriteInPlace(destination, look.path, fill, parts_->facts.streams);
    return WriteAndReplace(destination, look.path, fill, warnings, &parts_->facts);
}

OutputTarget ResolveOutputTarget(const std::string& path) {
    OutputTarget target = FollowOutputLinks(path);
    const std::string& destinationPath = target.path;
    const std::string leaf = destinationPath.substr(destinationPath.rfind('/') + 1);
    if (char* folder = ::realpath(FolderOf(destinationPath).c_str(), nullptr)) {
        target.path = std::string(folder) + (std::strcmp(folder, "/") == 0 ? "" : "/") + leaf;
        std::free(folder);
    }
    return target;
}

void RemoveTemporaryFiles() {
    ending.store(true);
    // A thread naming a file as this begins is a few system calls from
    // knowing whether it made it; the wait is bounded, since the thread this
    // runs on may be the one interrupted there. A thread putting a set in
    // place holds the signals off, so it is never this one: it is given up
    // to ten seconds to have every file in (a slow network file system).
    const timespec tenthOfAMillisecond{0, 100'000};
    for (int wait = 0; wait < 1000 && naming.load() > 0; ++wait) ::nanosleep(&tenthOfAMillisecond, nullptr);
    for (int wait = 0; wait < 100'000 && placing.load() > 0; ++wait) ::nanosleep(&tenthOfAMillisecond, nullptr);
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

GLYPHRUN_DEFINE_ERROR_CATEGORY(FileWriteError, "glyphrun.file")

}  // namespace glyphrun
