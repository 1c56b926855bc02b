// System calls per new file written safely, counted through ptrace: for
// each form (from memory, through a stream) and each road (an unnamed
// temporary file, or a named one as on a file system without O_TMPFILE),
// the most that any of a few writes made, memory management left out.
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "glyphrun/safe_file.h"

namespace {

// Makes open(O_TMPFILE) fail in this process, so that writes take the
// named temporary file.
bool RefuseUnnamedFiles() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{sizeof filter / sizeof filter[0], filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The system calls of each writeFile(i), i from 0 to count - 1, in a traced
// child; writeFile(-1) runs first, untraced, so that what is done once per
// process is not counted. Empty when the child could not be traced.
std::vector<std::vector<long>> CallsPerWrite(int count, bool named, const std::function<void(int)>& writeFile) {
    constexpr int kMark = -77;  // a close of this descriptor starts each write's count
    const pid_t child = fork();
    if (child == 0) {
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(77);
        if (named && !RefuseUnnamedFiles()) _exit(78);
        writeFile(-1);
        raise(SIGSTOP);
        for (int i = 0; i < count; ++i) {
            close(kMark);
            writeFile(i);
        }
        close(kMark);
        _exit(0);
    }
    std::vector<std::vector<long>> calls;
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFSTOPPED(status)) return calls;
    ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    for (int signal = 0;; signal = 0) {
        if (ptrace(PTRACE_SYSCALL, child, nullptr, signal) != 0) kill(child, SIGKILL);
        if (waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) break;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status) == SIGSTOP ? 0 : WSTOPSIG(status);
            continue;
        }
        __ptrace_syscall_info info{};
        if (ptrace(PTRACE_GET_SYSCALL_INFO, child, sizeof info, &info) <= 0 || info.op != PTRACE_SYSCALL_INFO_ENTRY)
            continue;
        const long nr = static_cast<long>(info.entry.nr);
        if (nr == SYS_close && static_cast<int>(info.entry.args[0]) == kMark)
            calls.emplace_back();
        else if (!calls.empty() && nr != SYS_mmap && nr != SYS_munmap && nr != SYS_mprotect && nr != SYS_brk &&
                 nr != SYS_madvise && nr != SYS_mremap)
            calls.back().push_back(nr);
    }
    if (!calls.empty()) calls.pop_back();  // after the last mark: the exit
    return calls;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    constexpr int kFiles = 4;
    for (bool named : {false, true})
        for (bool fromMemory : {false, true}) {
            const std::string prefix =
                dir + "/syscalls-" + (named ? "named" : "unnamed") + (fromMemory ? "-memory-" : "-stream-");
            const auto writeFile = [&](int i) {
                const std::string path = prefix + std::to_string(i + 1) + ".png", text(3000 * (i + 1), 'x');
                const auto write = [&](FILE* f) { return std::fwrite(text.data(), 1, text.size(), f) == text.size(); };
                if (!(fromMemory ? glyphrun::WriteFileSafely(path, text) : glyphrun::WriteFileSafely(path, write)))
                    _exit(1);
            };
            const std::vector<std::vector<long>> calls = CallsPerWrite(kFiles, named, writeFile);
            for (int i = 0; i < kFiles; ++i) unlink((prefix + std::to_string(i + 1) + ".png").c_str());
            size_t most = 0;
            std::string numbers;
            for (const std::vector<long>& write : calls) {
                most = std::max(most, write.size());
                numbers += " " + std::to_string(write.size());
            }
            std::printf("%-8s %-7s %s\n", named ? "named" : "unnamed", fromMemory ? "memory" : "stream",
                        calls.empty() ? "not traced" : ("at most " + std::to_string(most) + ":" + numbers).c_str());
        }
}
