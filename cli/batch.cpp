#include "batch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace glyphrun::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Shared by the workers: the next line to take and what became of each.
struct BatchWork {
    const std::vector<ByteSpan>& lines;
    const Options& options;
    std::vector<std::string> failures;  // per line; empty when it was written
    std::atomic<size_t> next{0};
    std::atomic<size_t> done{0};
    std::atomic<size_t> failed{0};
    std::mutex mutex;
    std::condition_variable finished;

    BatchWork(const std::vector<ByteSpan>& batchLines, const Options& batchOptions)
        : lines(batchLines), options(batchOptions), failures(batchLines.size()) {}
};

void Work(BatchWork& work) {
    for (size_t i; (i = work.next++) < work.lines.size();) {
        work.failures[i] = WriteSymbol(work.lines[i], work.options, BatchOutputName(*work.options.outputPath,
                                                                                    static_cast<int64_t>(i) + 1));
        if (!work.failures[i].empty()) ++work.failed;
        if (++work.done == work.lines.size()) {
            std::lock_guard<std::mutex> lock(work.mutex);
            work.finished.notify_all();
        }
    }
}

void ShowProgress(const BatchWork& work) {
    std::fprintf(stderr, "\rglyphrun-cli: %zu of %zu symbols", work.done.load(), work.lines.size());
    if (const size_t failed = work.failed.load()) std::fprintf(stderr, " (%zu failed)", failed);
    std::fflush(stderr);
}

// Waits for the workers, showing the count every tenth of a second.
void WaitWithProgress(BatchWork& work) {
    std::unique_lock<std::mutex> lock(work.mutex);
    while (!work.finished.wait_for(lock, std::chrono::milliseconds(100),
                                   [&] { return work.done.load() == work.lines.size(); }))
        ShowProgress(work);
    std::fputs("\r\033[K", stderr);  // the progress line goes; the report follows
}

size_t WorkerCount(const Options& options, size_t lines) {
    const size_t wanted = options.jobs > 0 ? static_cast<size_t>(options.jobs)
                                           : std::max(1u, std::thread::hardware_concurrency());
    return std::clamp<size_t>(lines, 1, wanted);
}

}  // namespace

std::vector<ByteSpan> SplitLines(ByteSpan input) {
    std::vector<ByteSpan> lines;
    size_t start = 0;
    while (start < input.size()) {
        const auto newline = std::find(input.begin() + static_cast<ptrdiff_t>(start), input.end(), '\n');
        size_t end = static_cast<size_t>(newline - input.begin());
        const size_t next = end + 1;
        if (end > start && input[end - 1] == '\r' && newline != input.end()) --end;
        lines.push_back(input.subspan(start, end - start));
        start = next;
    }
    return lines;
}

int RunBatch(ByteSpan input, const std::string& inputName, const Options& options) {
    const std::vector<ByteSpan> lines = SplitLines(input);
    if (lines.empty()) {
        std::fprintf(stderr, "glyphrun-cli: %s has no lines: no symbol was written\n", inputName.c_str());
        return kExitFailure;
    }
    BatchWork work(lines, options);
    const bool showProgress = isatty(STDERR_FILENO) && lines.size() > 1;
    {
        std::vector<std::jthread> workers;
        for (size_t i = WorkerCount(options, lines.size()); i > 0; --i) workers.emplace_back(Work, std::ref(work));
        if (showProgress) WaitWithProgress(work);
    }
    for (size_t i = 0; i < lines.size(); ++i)
        if (!work.failures[i].empty())
            std::fprintf(stderr, "glyphrun-cli: %s line %zu: %s\n", inputName.c_str(), i + 1, work.failures[i].c_str());
    std::fprintf(stderr, "glyphrun-cli: %zu of %zu symbols written", lines.size() - work.failed, lines.size());
    if (work.failed) std::fprintf(stderr, "; %zu failed", work.failed.load());
    std::fputc('\n', stderr);
    return work.failed ? kExitFailure : 0;
}

}  // namespace glyphrun::cli
