// Writing a file so that a failure never leaves a damaged one behind.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "glyphrun/export.h"
#include "glyphrun/status.h"

GLYPHRUN_API_BEGIN
namespace glyphrun {

// The ways a write fails, the code of its Status. The message names the
// path as given; systemError is the errno behind it, when there is one.
enum class FileWriteError {
    None = 0,
    Writer,  // the write callback reported the failure, and no system call told more
    // The failure belongs to the place rather than to this file, so every
    // other file written there would fail alike: the folder took no new
    // file (missing, not writable, read-only, out of inodes, too many open
    // files), or the file system ran out of space or quota.
    Place,
    System,  // a system call or stream write failed for this file
};
GLYPHRUN_ERROR_ENUM(FileWriteError)

// One line each for what a write that worked has to tell: a replaced file
// whose owner could not be kept, since this process may not give a file
// away, and that now belongs to it.
using Warnings = std::vector<std::string>;

// Runs `write` on a stream for `path`. A regular file (or a new one) is
// written to a temporary file in the same folder that replaces the target
// only when `write` and the close both succeeded, so a failed write leaves
// an existing file as it was. Replacing gives the path a new file: a hard
// link to the old one keeps the old content. The new file keeps the old
// one's permission bits, or the write fails; it keeps the owner and group
// as far as the process may set them, with a line in `warnings` when it
// may not. A file that cannot be
// replaced by renaming (one mounted on its own) is refused. A symbolic link
// has the file it points to replaced (or created, when it dangles).
// Anything else (a device, a pipe, a name in /dev or /proc such as
// /dev/stdout, or the file that standard output goes to) is written straight
// into and never replaced. The stream is buffered by stdio over the file's
// descriptor but does not show it: fileno gives -1.
// An exception from `write` passes through, the temporary file removed.
Status WriteFileSafely(const std::string& path, const std::function<bool(FILE*)>& write, Warnings* warnings = nullptr);

// The same for a file whose bytes are all in memory: they go to write(2)
// as they are, with no stream between. Failures are told as above, never
// as FileWriteError::Writer.
Status WriteFileSafely(const std::string& path, std::string_view bytes, Warnings* warnings = nullptr);

// Files that belong together, such as the symbols of one message, which a
// reader would join wrongly if some were old and some new. Add writes each
// to a temporary file; PutInPlace then puts them all in place, with SIGINT,
// SIGTERM and SIGHUP held off on this thread meanwhile. A failure before
// then replaces none, nor does a set destroyed without PutInPlace; a
// failure while putting them in place puts back those already replaced,
// where the file system can exchange two files (ext4, XFS, Btrfs, tmpfs),
// and its message names any it could not. A signal that another thread
// takes meanwhile waits until the set is in.
// A device or pipe among them is written into by Add.
class FileSet {
public:
    FileSet();
    ~FileSet();
    FileSet(const FileSet&) = delete;
    FileSet& operator=(const FileSet&) = delete;

    Status Add(const std::string& path, std::string_view bytes, Warnings* warnings = nullptr);
    Status PutInPlace();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The file that WriteFileSafely(path, ...) would write, for telling whether
// two outputs are one file: symbolic links followed as the write follows
// them, then the folder made absolute and free of links (when it exists).
struct OutputTarget {
    std::string path;
    bool throughLink = false;  // a symbolic link was followed
    bool inPlace = false;      // written into, never replaced (a device, pipe or standard stream)
};
OutputTarget ResolveOutputTarget(const std::string& path);
// The same with the links followed but the folder left as it is written:
// no more than a look at the file (and its links).
OutputTarget FollowOutputLinks(const std::string& path);

// What one look at an output saw, for the write that follows it (WriteRun).
struct OutputLook {
    std::string path;     // as given, for messages
    OutputTarget target;  // where the write goes, as FollowOutputLinks tells
    int error = 0;        // the errno that stopped the look, which the write reports
    bool exists = false;  // `info` describes the file at target.path
    struct stat info {};
    int stream = -1;  // standard output or error, when the file is the one it goes to
};

// Writes that follow one another, such as a batch's, asking the system once
// for what each write would otherwise ask again. The files that standard
// output and error go to are looked at when the run is made; a file that
// the process's real user owns and may write is not asked about again; and
// the owner, group and permission bits that a file made in a folder gets
// are learnt from the first file replaced there, so that a replacement
// already born with the old file's needs no change. Its writes are
// WriteFileSafely's as long as the standard streams, the process's users,
// umask and working folder, and the folders' own defaults stay as they were
// when the run began. It may be used from several threads at once.
class WriteRun {
public:
    WriteRun();
    ~WriteRun();
    WriteRun(const WriteRun&) = delete;
    WriteRun& operator=(const WriteRun&) = delete;

    // One look at `path`, its links followed as the write follows them.
    OutputLook Look(const std::string& path) const;
    // Writes `bytes` as WriteFileSafely does, to what `look` saw, without
    // looking again: for a file that nothing else writes between the two.
    Status Write(const OutputLook& look, std::string_view bytes, Warnings* warnings = nullptr) const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Programs call this first thing: each of descriptors 0-2 that is closed
// gets /dev/null, opened so that it fails as a closed one does (standard
// input for reading, standard output and error for writing). Otherwise the
// next file opened takes the number, and what is meant for standard error
// (say) lands in a file being written.
void HoldStandardDescriptors();

// Programs call this once at start: SIGINT, SIGTERM and SIGHUP then remove
// the temporary files of the writes under way before the process ends with
// the usual status for the signal. A signal that is ignored (nohup, a
// background job) or that already has a handler is left as it is.
void RemoveTemporaryFilesOnSignals();

// Removes the temporary files of the writes under way, with unlink alone:
// for a signal handler of the program's own that then ends the process
// (the writes under way fail, and no new one starts).
void RemoveTemporaryFiles();

}  // namespace glyphrun
GLYPHRUN_API_END
