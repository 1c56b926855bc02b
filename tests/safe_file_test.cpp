// Safe writing and saving: a complete file that readers open, or nothing changed, whatever a failure,
// a signal or a mount does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "glyphrun/codecs.h"
#include "glyphrun/safe_file.h"
#include "image_readers.h"
#include "temp_folder.h"

namespace glyphrun {
namespace {

using namespace testing;
using SafeFile = TempFolderTest;
using Save = TempFolderTest;

Status WriteText(const std::string& path, const std::string& text) {
    return WriteFileSafely(path, [&](FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); });
}

// Puts a seccomp filter on this process: `rules` run on the call's number; what they let through is allowed.
bool InstallFilter(std::vector<sock_filter> rules) {
    rules.insert(rules.begin(), BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
    rules.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog program{static_cast<unsigned short>(rules.size()), rules.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// open(O_TMPFILE) fails as on a file system without it, so that writes take the named temporary file.
bool RefuseUnnamedFiles() {
    return InstallFilter({BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
                          BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),  // the flags' low half
                          BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
                          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP)});
}

// Runs `work` in a child process, so that a filter, mount or limit it makes stays there. Without `running`: what
// it answers or writes on `out`, nothing when it exits 77 (not permitted here); with it: its first byte, the
// child left running, or nothing when it exits first.
std::optional<std::string> InChild(const std::function<std::string(int out)>& work, pid_t* running = nullptr) {
    int report[2];
    if (pipe(report) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        const std::string lines = work(report[1]);
        _exit(write(report[1], lines.data(), lines.size()) == static_cast<ssize_t>(lines.size()) ? 0 : 1);
    }
    close(report[1]);
    std::string lines;
    char buffer[512];
    for (ssize_t n; !(running && !lines.empty()) && (n = read(report[0], buffer, sizeof buffer)) > 0;)
        lines.append(buffer, n);
    close(report[0]);
    if (running && !lines.empty()) return *running = child, lines;
    int status = 0;
    waitpid(child, &status, 0);
    if (running || (WIFEXITED(status) && WEXITSTATUS(status) == 77)) return std::nullopt;
    return lines;
}

void Stop(int ready) {
    if (write(ready, "!", 1) != 1) _exit(1);
    for (;;) pause();
}

// A child stopped midway through writing `path`, the handlers installed, while with `busy` threads write files
// there all the time, once they have made `files` between them; -1 when it exits first (77: no named file forced).
pid_t StartStuckWriter(const std::string& path, bool named, bool ignoreHangUp, const std::string& busy = "",
                       int files = 0) {
    pid_t child = -1;
    InChild(
        [&](int ready) {
            if (named && !RefuseUnnamedFiles()) _exit(77);
            if (ignoreHangUp) std::signal(SIGHUP, SIG_IGN);
            RemoveTemporaryFilesOnSignals();
            static std::atomic<int> written{0};
            for (int t = 0; !busy.empty() && t < 4; ++t)
                std::thread([path = busy + "/w" + std::to_string(t)] {
                    for (;;) written += static_cast<bool>(WriteText(path, "x"));
                }).detach();
            while (written < files) sched_yield();
            WriteFileSafely(path, [&](FILE* f) {
                std::fwrite(std::string(1 << 16, 'x').data(), 1, 1 << 16, f);
                std::fflush(f);
                Stop(ready);
                return true;
            });
            return std::string();
        },
        &child);
    return child;
}

int EndingSignal(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

// A signal leaves no temporary file, named or not, whichever thread takes it while others write; nohup holds.
TEST_F(SafeFile, InterruptedWritesLeaveNoFile) {
    const std::string out = dir + "/out", busy = dir + "/busy";
    ASSERT_TRUE(mkdir(out.c_str(), 0755) == 0 && mkdir(busy.c_str(), 0755) == 0);
    const int probe = open(dir.c_str(), O_TMPFILE | O_WRONLY, 0600);
    const bool unnamedHere = probe >= 0;
    if (probe >= 0) close(probe);
    for (int round = 0; round < 6; ++round)
        for (bool named : {false, true}) {
            const bool hasName = named || !unnamedHere;
            for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
                if (signal == SIGKILL && (hasName || round > 0)) continue;  // none removes a named file
                const bool others = signal != SIGKILL;
                const pid_t child =
                    StartStuckWriter(out + "/out.png", named, false, others ? busy : "", others ? 4 + 8 * round : 0);
                if (child < 0 && named) GTEST_SKIP() << "seccomp is not permitted";
                ASSERT_GT(child, 0);
                EXPECT_EQ(Entries(out).size(), hasName ? 1u : 0u) << "midway, only a named temporary file is seen";
                kill(child, signal);
                EXPECT_EQ(EndingSignal(child), signal) << named;
                EXPECT_TRUE(Entries(out).empty()) << "signal " << signal << (named ? ", named" : "");
                for (const std::string& name : Entries(busy))
                    EXPECT_EQ(name.find(".glyphrun-"), std::string::npos) << name << (named ? ", named" : "");
            }
        }
    const pid_t child = StartStuckWriter(out + "/out.png", true, true);
    ASSERT_GT(child, 0);
    kill(child, SIGHUP);
    kill(child, SIGTERM);
    EXPECT_EQ(EndingSignal(child), SIGTERM);
    EXPECT_TRUE(Entries(out).empty());
}

// A mode that cannot be kept fails the write (the file would be more open); an owner that cannot is told.
TEST_F(SafeFile, ReplacementKeepsOwnerAndModeOrSaysWhy) {
    const std::string path = Keep("kept.png");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    const auto writeFailing = [&](long call) {
        return InChild([&](int) {
            if (!InstallFilter({BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<uint32_t>(call), 0, 1),
                                BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM)}))
                _exit(77);
            Warnings warnings;
            const Status written = WriteFileSafely(path, std::string_view("new"), &warnings);
            std::string lines = written ? "written\n" : written.reason() + "\n";
            for (const std::string& warning : warnings) lines += warning + "\n";
            return lines;
        });
    };
    const std::optional<std::string> mode = writeFailing(SYS_fchmod);
    if (!mode) GTEST_SKIP() << "seccomp is not permitted";
    EXPECT_EQ(*mode, "cannot keep the permissions of " + path + ": Operation not permitted\n");
    EXPECT_EQ(Slurp(path), "precious");
    EXPECT_EQ(Entries(), std::set<std::string>{"kept.png"});

    // A run learns what a new file gets in the folder and changes only what differs from the old file.
    const WriteRun run;
    struct stat info {};
    const auto writeInRun = [&] { return run.Write(run.Look(path), std::string_view("new")); };
    for (mode_t kept : {0640, 0644, 0600, 0666}) {
        ASSERT_EQ(chmod(path.c_str(), kept), 0);
        ASSERT_TRUE(writeInRun());
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, kept);
    }

    if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    for (mode_t kept : {0640, 02750, 0600})  // a change of owner after the mode would clear the set-gid bit
        for (bool inRun : {false, true}) {
            ASSERT_EQ(chown(path.c_str(), 1234, 1234), 0);
            ASSERT_EQ(chmod(path.c_str(), kept), 0);
            ASSERT_TRUE(inRun ? writeInRun() : WriteText(path, "new"));
            ASSERT_EQ(stat(path.c_str(), &info), 0);
            EXPECT_EQ(info.st_uid, 1234u);
            EXPECT_EQ(info.st_gid, 1234u);
            EXPECT_EQ(info.st_mode & 07777, kept);
        }
    EXPECT_EQ(writeFailing(SYS_fchown), "written\n" + path +
                                            " belonged to 1234:1234 and now belongs to root:root: this user may not "
                                            "give a file away\n");
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

// A file mounted on its own, alone or in a set, is refused, not written into, and every file stays.
TEST_F(SafeFile, FileMountedOnItsOwnIsRefused) {
    const std::string mounted = Keep("mounted.png", "under"), source = Keep("source.png", "over");
    const std::string first = Keep("first.png");
    const std::string link = dir + "/link.png";
    ASSERT_EQ(symlink(mounted.c_str(), link.c_str()), 0);
    const std::optional<std::string> lines = InChild([&](int) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(source.c_str(), mounted.c_str(), nullptr, MS_BIND, nullptr) != 0)
            _exit(77);
        std::string told;
        for (const std::string& path : {mounted, link}) {
            const Status result = WriteText(path, "new");
            told +=
                (result ? "written" : result.reason()) + (result.Is(FileWriteError::Place) ? " (place)" : "") + "\n";
        }
        FileSet set;
        for (const std::string& path : {first, mounted, dir + "/new.png"})
            if (!set.Add(path, "new")) _exit(1);
        const Status result = set.PutInPlace();
        return told + (result ? "written" : result.reason()) + "\n" + Slurp(mounted);
    });
    if (!lines) GTEST_SKIP() << "cannot make a mount namespace here";
    const std::string refusal =
        " by renaming (Device or resource busy; it may be a file mounted on its own): write to another path\n";
    EXPECT_EQ(*lines, "cannot replace " + mounted + refusal + "cannot replace " + link + refusal + "cannot replace " +
                          mounted + refusal + "over");
    EXPECT_EQ(Slurp(mounted), "under");
    EXPECT_EQ(Slurp(source), "over");
    EXPECT_EQ(Slurp(first), "precious");
    EXPECT_EQ(Entries(), (std::set<std::string>{"first.png", "mounted.png", "source.png", "link.png"}));
}

// Messages name the path as given; Place tells a place where no file can be from a file that cannot.
TEST_F(SafeFile, FailuresNameTheGivenPathAndTellWhereTheyBelong) {
    ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0755), 0);
    const struct {
        std::string name, linkTo, reason;
        bool placeFailed;
    } cases[] = {
        {"missing/x.png", "", "No such file or directory", true},
        {"dangling", "missing/x.png", "No such file or directory", true},
        {"to-full", "/dev/full", "No space left on device", true},
        {"folder", "", "it is a folder", false},
        {"to-folder", "folder", "it is a folder", false},
        {"loop", "loop", "Too many levels of symbolic links", false},
    };
    for (const auto& c : cases)
        ASSERT_TRUE(c.linkTo.empty() || symlink(c.linkTo.c_str(), (dir + "/" + c.name).c_str()) == 0);
    for (const auto& c : cases)
        for (bool fromMemory : {false, true}) {
            const std::string path = dir + "/" + c.name;
            const Status result = fromMemory ? WriteFileSafely(path, std::string_view("new")) : WriteText(path, "new");
            EXPECT_FALSE(result.Is(FileWriteError::Writer)) << c.name;
            EXPECT_EQ(result.reason(), "cannot write " + path + ": " + c.reason);
            EXPECT_EQ(result.Is(FileWriteError::Place), c.placeFailed) << c.name << (fromMemory ? ", from memory" : "");
        }
    EXPECT_EQ(Entries().size(), 5u);  // nothing new, no temporary file
}

TEST_F(SafeFile, ResolveOutputTargetFollowsLinksAsTheWriteDoes) {
    const std::string real = std::filesystem::canonical(dir);
    Keep("a.png");
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("a.png", (dir + "/relative").c_str()), 0);
    ASSERT_EQ(symlink((dir + "/relative").c_str(), (dir + "/sub/chain").c_str()), 0);
    ASSERT_EQ(symlink("new.png", (dir + "/dangling").c_str()), 0);

    const OutputTarget plain = ResolveOutputTarget(dir + "/sub/../a.png");
    EXPECT_EQ(plain.path, real + "/a.png");
    EXPECT_FALSE(plain.throughLink);
    EXPECT_FALSE(plain.inPlace);
    for (const char* name : {"/relative", "/sub/chain"}) {
        const OutputTarget linked = ResolveOutputTarget(dir + name);
        EXPECT_EQ(linked.path, plain.path) << name;
        EXPECT_TRUE(linked.throughLink) << name;
    }
    const OutputTarget created = ResolveOutputTarget(dir + "/dangling");
    ASSERT_TRUE(WriteText(dir + "/dangling", "new"));
    EXPECT_EQ(created.path, std::filesystem::canonical(dir + "/new.png").string());
    EXPECT_EQ(ResolveOutputTarget("x.png").path, (std::filesystem::current_path() / "x.png").string());
    EXPECT_TRUE(ResolveOutputTarget("/dev/null").inPlace);
}

// A larger file is replaced whole, under /dev too (a regular file there is no device).
TEST_F(Save, EveryTypeReplacesTheFileWhole) {
    GrImage image;
    FillRandom(image, 33, 21, 24, 1, 2);
    const std::string shm = "/dev/shm/glyphrun-save-test-" + std::to_string(getpid());
    for (const std::string& base : {dir + "/a", shm}) {
        if (base == shm && access("/dev/shm", W_OK) != 0) continue;
        for (auto [type, extension] : {std::pair{TypeBmp, ".bmp"}, {TypeGif, ".gif"}, {TypePng, ".png"}}) {
            const std::string path = base + extension;
            std::ofstream(path) << std::string(100000, 'x');
            ASSERT_TRUE(image.Save(path.c_str(), type)) << image.GetLastError();
            EXPECT_EQ(ReadFile(path), EncodeToMemory(image, type)) << path;  // not the old file's tail after it
            unlink(path.c_str());
        }
    }
}

// Each writer fails with its message on a closed stream, no pixels, a full device, a size limit or a used buffer;
// the file stays.
TEST_F(Save, FailuresSayWhyAndLeaveTheFile) {
    for (auto [type, message] : {std::pair{TypeBmp, "Write Error in BMP file"},
                                 {TypeGif, "Write Error in GIF file"},
                                 {TypePng, "Error saving PNG file"}}) {
        GrImage image;
        FillRandom(image, 40, 40, 8, 7);
        GrMemFile closed;  // never opened
        EXPECT_FALSE(image.Encode(&closed, type)) << message;
        EXPECT_STREQ(image.GetLastError(), message);
        GrImage empty;
        EXPECT_TRUE(EncodeToMemory(empty, type).empty()) << type;
        EXPECT_STREQ(empty.GetLastError(), "null image!!!");
    }

    GrImage image(10, 10, 24);
    const std::string path = Keep("keep.png");
    EXPECT_FALSE(image.Save(path.c_str(), TypeUnknown));
    EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format");
    EXPECT_FALSE(image.Save(path.c_str(), 4));
    EXPECT_EQ(Slurp(path), "precious");
    const std::string full = dir + "/full.gif";
    ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
    for (uint32_t type : {TypeBmp, TypeGif, TypePng}) {
        EXPECT_FALSE(image.Save(full.c_str(), type)) << type;
        EXPECT_NE(std::string(image.GetLastError()).find("No space left on device"), std::string::npos)
            << image.GetLastError();
    }

    const auto limited = InChild([&](int) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        FillRandom(image, 200, 200, 24, 3);
        for (uint32_t type : {TypeBmp, TypeGif, TypePng})
            if (image.Save(path.c_str(), type) || !std::strstr(image.GetLastError(), "File too large"))
                return std::to_string(type) + ": " + image.GetLastError();
        return std::string();
    });
    EXPECT_EQ(limited, "");
    EXPECT_EQ(Slurp(path), "precious");
    EXPECT_EQ(Entries(), (std::set<std::string>{"full.gif", "keep.png"}));  // no temporary file left

    uint8_t* buffer = nullptr;  // one that already holds a file is neither overwritten nor leaked
    int32_t size = 0;
    ASSERT_TRUE(image.Encode(buffer, size, TypeGif));
    EXPECT_FALSE(image.Encode(buffer, size, TypeGif));
    EXPECT_STREQ(image.GetLastError(), "the buffer must be empty");
    GrImage::FreeMemory(buffer);
}

}  // namespace
}  // namespace glyphrun
