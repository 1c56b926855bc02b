#include "batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "glyphrun/safe_file.h"

namespace glyphrun::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// Lines, each without its line end ("\n" or "\r\n"), read in blocks
// straight from the descriptor so that a pipe's lines arrive as they come.
// A last line without a line end counts; an empty end after one does not.
class LineReader {
public:
    enum class Result { Line, TooLong, End, Failed };

    explicit LineReader(FILE* stream) : fd_(fileno(stream)) {}

    // A line longer than kMaxLineBytes is answered TooLong at once; the
    // rest of it is skipped, unread into memory, by the next call.
    Result Next(std::string& line) {
        line.clear();
        if (skipping_ && !SkipRestOfLine()) return Result::Failed;
        bool started = false;
        for (;;) {
            if (begin_ == end_ && !Fill()) {
                if (failed_) return Result::Failed;
                if (!started) return Result::End;
                return line.size() > kMaxLineBytes ? Result::TooLong : Result::Line;  // a last line without a line end
            }
            started = true;
            const char* start = buffer_.data() + begin_;
            const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
            const size_t length = newline ? static_cast<size_t>(newline - start) : end_ - begin_;
            // One byte more than a line may hold: the '\r' of a line end.
            if (line.size() + length > kMaxLineBytes + 1) {
                begin_ += newline ? length + 1 : end_ - begin_;
                skipping_ = !newline;
                return Result::TooLong;
            }
            line.append(start, length);
            begin_ += newline ? length + 1 : length;
            if (newline) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line.size() > kMaxLineBytes ? Result::TooLong : Result::Line;
            }
        }
    }

    int Errno() const { return errno_; }

    // The lines still to come in a regular file, counted ahead so that
    // progress can show the whole; nothing for a pipe or a terminal.
    std::optional<uint64_t> CountAhead() const {
        struct stat info {};
        const off_t start = ::lseek(fd_, 0, SEEK_CUR);
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || start < 0) return std::nullopt;
        uint64_t lines = 0;
        char last = '\n';
        std::vector<char> block(1 << 16);
        for (ssize_t count; (count = ::read(fd_, block.data(), block.size())) > 0;) {
            lines += static_cast<uint64_t>(std::count(block.data(), block.data() + count, '\n'));
            last = block[static_cast<size_t>(count) - 1];
        }
        if (::lseek(fd_, start, SEEK_SET) != start) return std::nullopt;
        return lines + (last != '\n' ? 1 : 0);
    }

private:
    bool Fill() {
        begin_ = end_ = 0;
        ssize_t count;
        while ((count = ::read(fd_, buffer_.data(), buffer_.size())) < 0 && errno == EINTR) {}
        if (count < 0) {
            failed_ = true;
            errno_ = errno;
        }
        end_ = count > 0 ? static_cast<size_t>(count) : 0;
        return end_ > 0;
    }

    // False when reading failed.
    bool SkipRestOfLine() {
        while (begin_ < end_ || Fill()) {
            const auto* newline = static_cast<const char*>(std::memchr(buffer_.data() + begin_, '\n', end_ - begin_));
            if (newline) {
                begin_ = static_cast<size_t>(newline - buffer_.data()) + 1;
                skipping_ = false;
                return true;
            }
            begin_ = end_;
        }
        skipping_ = false;
        return !failed_;
    }

    int fd_;
    std::vector<char> buffer_ = std::vector<char>(1 << 16);
    size_t begin_ = 0, end_ = 0;
    bool skipping_ = false, failed_ = false;
    int errno_ = 0;
};

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The line whose own output name `name` is, when it fits the pattern (a
// run of digits for each run of '#', the same number in all).
std::optional<int64_t> LineNumberIn(const std::string& pattern, const std::string& name) {
    std::optional<int64_t> number;
    size_t at = 0;
    for (size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '#') {
            if (at >= name.size() || name[at++] != pattern[i++]) return std::nullopt;
            continue;
        }
        const size_t digits = std::find_if(name.begin() + static_cast<ptrdiff_t>(at), name.end(),
                                           [](char c) { return c < '0' || c > '9'; }) -
                              name.begin() - static_cast<ptrdiff_t>(at);
        if (digits == 0 || digits > 18) return std::nullopt;
        const int64_t value = std::stoll(name.substr(at, digits));
        if (number && *number != value) return std::nullopt;
        number = value;
        at += digits;
        i = std::min(pattern.find_first_not_of('#', i), pattern.size());
    }
    if (at != name.size() || !number || BatchOutputName(pattern, *number) != name) return std::nullopt;
    return number;
}

size_t WorkerCount(const Options& options) {
    if (options.jobs > 0) return static_cast<size_t>(options.jobs);
    return std::max(1u, std::thread::hardware_concurrency());
}

class Batch {
public:
    // With `document`, every line's label goes into it, in line order,
    // rather than to a file of its own.
    Batch(const std::string& inputName, const Options& options, size_t workers, Console& console,
          LabelDocument* document = nullptr)
        : console_(console),
          document_(document),
          inputName_(inputName),
          options_(options),
          pattern_(*options.outputPath),
          // With the line number in the folder, one folder failing says
          // nothing of the others, and folders may lead to one another.
          numberInFolder_(FolderOf(pattern_).find('#') != std::string::npos),
          slots_(std::max<size_t>(32, 8 * workers)),
          showProgress_(isatty(fileno(console.Err())) != 0) {}

    Status Run(LineReader& reader, size_t workerCount) {
        if (showProgress_) expected_ = reader.CountAhead();
        // One worker is the main thread itself: handing each line to another
        // thread and back would cost more than writing it.
        std::vector<std::jthread> workers;
        writesHere_ = workerCount == 1;
        try {
            while (!writesHere_ && workers.size() < workerCount) workers.emplace_back([this] { Work(); });
        } catch (const std::system_error& error) {
            if (workers.empty()) return Failure(std::string("cannot start a worker thread: ") + error.what());
        }
        // Should the main thread fail (memory running out), the workers are
        // let go before they are joined.
        struct LetGo {
            Batch& batch;
            ~LetGo() { batch.Stop(); }
        } letGo{*this};
        const Status read = ReadLines(reader);
        Close();
        for (std::jthread& worker : workers) worker.join();
        ReportFinished(/*all=*/true);
        ClearProgress();
        if (!read) console_.Report(read.reason());
        return Summarise(read);
    }

    uint64_t Added() const { return added_; }

private:
    struct Slot {
        enum class State { Free, Waiting, Writing, Done };
        State state = State::Free;
        std::string line;
        OutputLook output;
        Status outcome;
        std::vector<std::string> notes;  // warnings, then with --verbose what was made
        PdfLabel label;                  // a document's: the line's label, drawn
    };

    Slot& SlotOf(uint64_t index) { return slots_[index % slots_.size()]; }

    Status ReadLines(LineReader& reader) {
        std::string line;
        for (int64_t number = 1;; ++number) {
            const LineReader::Result result = reader.Next(line);
            if (result == LineReader::Result::End) return {};
            if (result == LineReader::Result::Failed)
                return Failure("cannot read " + inputName_ + ": " + std::strerror(reader.Errno()));
            OutputLook output;
            Status early = FailOnOutOfMemory([&]() -> Status {
                if (result == LineReader::Result::TooLong)
                    return Failure("the line is longer than " + std::to_string(kMaxLineBytes) + " bytes");
                if (document_) return {};
                output.path = BatchOutputName(pattern_, number);
                return ClaimOutput(output, number);
            });
            if (!Add(std::move(line), std::move(output), std::move(early))) return {};
            line = std::string();
        }
    }

    // Two lines whose names lead through symbolic links to one file would
    // leave whichever was written last; the later line fails instead. Only
    // outputs reached through a link are remembered, so memory stays flat;
    // with the number in the folder, where a folder may be a link to
    // another, every output is. A device (links to /dev/null, say) is
    // written into, not replaced. The look at the output is the write's
    // own: no other line writes that file meanwhile.
    Status ClaimOutput(OutputLook& look, int64_t number) {
        look = run_.Look(look.path);
        const std::string& output = look.path;
        // A plain file with nothing remembered yet meets no other line: the
        // folder need not be resolved then, which is most of the cost.
        const OutputTarget& followed = look.target;
        if (followed.inPlace || (!followed.throughLink && !numberInFolder_ && claimed_.empty())) return {};
        const OutputTarget target = ResolveOutputTarget(output);
        auto claimed = claimed_.find(target.path);
        std::optional<int64_t> earlier;
        if (claimed != claimed_.end())
            earlier = claimed->second;
        else if (target.throughLink)
            earlier = OwnOutputLine(target.path);
        if (earlier && *earlier < number)
            return Failure(output + " is the same file as the output of line " + std::to_string(*earlier) + " (" +
                           target.path + ")");
        if (target.throughLink || numberInFolder_) claimed_.emplace(target.path, number);
        return {};
    }

    // The line that writes straight to `path` under its own name, if any.
    std::optional<int64_t> OwnOutputLine(const std::string& path) {
        const std::string folder = FolderOf(pattern_);
        const std::string leaf = path.substr(FolderOf(path).size());
        const std::optional<int64_t> line = LineNumberIn(pattern_.substr(folder.size()), leaf);
        if (!line || ResolveOutputTarget(BatchOutputName(pattern_, *line)).path != path) return std::nullopt;
        return line;
    }

    // Waits for room in the window, reporting finished lines meanwhile;
    // false when the batch has stopped. A line that failed already is
    // reported at once: the next read may take long (the rest of a line too
    // long to hold is still skipped).
    bool Add(std::string line, OutputLook output, Status early) {
        for (;;) {
            ReportFinished(/*all=*/false);
            std::unique_lock lock(mutex_);
            if (stopped_) return false;
            if (added_ - reported_ < slots_.size()) break;
            slotDone_.wait_for(lock, kProgressInterval, [this] { return stopped_ || WorthReporting(); });
        }
        {
            std::lock_guard lock(mutex_);
            Slot& slot = SlotOf(added_++);
            slot.line = std::move(line);
            slot.output = std::move(output);
            slot.outcome = std::move(early);
            slot.state = slot.outcome ? Slot::State::Waiting : Slot::State::Done;
            ++(slot.outcome ? waiting_ : done_);
        }
        workReady_.notify_one();
        if (writesHere_) WriteWaiting();
        ReportFinished(/*all=*/false);
        return true;
    }

    void WriteWaiting() {
        std::unique_lock lock(mutex_);
        while (!stopped_ && waiting_ > 0) TakeAndWrite(lock);
    }

    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        workReady_.notify_all();
    }

    void Close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        workReady_.notify_all();
        // The workers finish what they took; meanwhile the finished lines are reported.
        for (;;) {
            ReportFinished(/*all=*/false);
            std::unique_lock lock(mutex_);
            if (AllTaken() && writing_ == 0) return;
            slotDone_.wait_for(lock, kProgressInterval,
                               [this] { return FrontierDone() || (AllTaken() && writing_ == 0); });
        }
    }

    // After a stop, the lines still waiting are left untried.
    bool AllTaken() const { return stopped_ || waiting_ == 0; }

    bool FrontierDone() { return reported_ < added_ && SlotOf(reported_).state == Slot::State::Done; }

    // A full window is refilled half at a time, so that the main thread and
    // the workers wake each other twice a half window rather than for every
    // line; when the workers have nothing left to take, at once.
    bool RefillNow() const { return done_ >= slots_.size() / 2 || waiting_ == 0; }
    bool WorthReporting() { return FrontierDone() && RefillNow(); }

    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (stopped_ || (closed_ && waiting_ == 0)) return;
            if (waiting_ == 0) {
                workReady_.wait(lock);
                continue;
            }
            TakeAndWrite(lock);
        }
    }

    // Takes the first waiting line and writes it, with `lock` held on entry
    // and on return but not while writing.
    void TakeAndWrite(std::unique_lock<std::mutex>& lock) {
        // Lines already reported (those that failed before any worker
        // saw them) have left the window: their slots may hold newer lines.
        taken_ = std::max(taken_, reported_);
        while (SlotOf(taken_).state != Slot::State::Waiting) ++taken_;
        const uint64_t index = taken_++;
        Slot& slot = SlotOf(index);
        slot.state = Slot::State::Writing;
        --waiting_;
        ++writing_;
        lock.unlock();
        const auto* bytes = reinterpret_cast<const unsigned char*>(slot.line.data());
        Status written = document_ ? EncodeAndDraw({bytes, slot.line.size()}, slot)
                                   : EncodeAndWrite({bytes, slot.line.size()}, options_, run_, slot.output, slot.notes);
        lock.lock();
        --writing_;
        // The first line, in line order, to meet the place's failure is
        // the one reported: workers may meet it out of order.
        if (written.Is(CliError::Place) && !numberInFolder_ && (!stopped_ || index + 1 < stoppingLine_)) {
            stopped_ = true;
            stoppingLine_ = index + 1;
            workReady_.notify_all();
        }
        slot.outcome = std::move(written);
        slot.state = Slot::State::Done;
        ++done_;
        if (RefillNow() || stopped_) slotDone_.notify_all();
    }

    Status EncodeAndDraw(ByteSpan input, Slot& slot) {
        return FailOnOutOfMemory([&]() -> Status {
            std::vector<Symbol> symbols;
            if (Status encoded = EncodeInput(input, options_, symbols); !encoded) return encoded;
            Result<PdfLabel> label = document_->Draw(symbols.front(), LabelText(input, options_));
            if (!label) return Failure(label.reason());
            slot.label = std::move(label).value();
            if (options_.verbose) slot.notes.push_back(DescribeSymbol(symbols.front(), options_, pattern_));
            return {};
        });
    }

    // A drawn line's label goes into the document; a failure there (a label
    // larger than its cell, the file refusing bytes) ends the run, and the
    // document is not kept.
    void AddToDocument(Slot& slot, uint64_t line) {
        if (!document_ || !slot.outcome) return;
        if (Status added = document_->Add(slot.label); !added) {
            documentFailure_ = Failure(inputName_ + " line " + std::to_string(line) + ": " + added.reason());
            stopped_ = true;
            stoppingLine_ = line;
            workReady_.notify_all();
        }
    }

    // Reports the finished lines at the front of the window in line order
    // and frees their slots; with `all`, every line left once the workers
    // are gone (a line never taken after a stop was not tried).
    void ReportFinished(bool all) {
        std::vector<std::string> messages;
        const auto addLine = [&](uint64_t line, std::string message) {
            messages.push_back(inputName_ + " line " + std::to_string(line) + ": " + std::move(message));
        };
        {
            std::lock_guard lock(mutex_);
            while (reported_ < added_ && (all || SlotOf(reported_).state == Slot::State::Done)) {
                Slot& slot = SlotOf(reported_);
                const uint64_t line = ++reported_;
                if (slot.state == Slot::State::Done) --done_;
                if (slot.state == Slot::State::Done && documentFailure_) AddToDocument(slot, line);
                // A line left untried after a stop, or failing by the same
                // fault of the place as the one that stopped the batch, is
                // neither written nor reported: the fault is said once.
                const bool sameStop = slot.outcome.Is(CliError::Place) && stopped_ && line != stoppingLine_;
                if (slot.state == Slot::State::Done && slot.outcome) {
                    if (written_++ == 0 && !options_.pictureWarning.empty())
                        messages.push_back(options_.pictureWarning);
                    for (std::string& note : slot.notes) addLine(line, std::move(note));
                } else if (slot.state == Slot::State::Done && !sameStop) {
                    ++failed_;
                    addLine(line, std::move(slot.outcome.message));
                }
                slot = Slot{};
            }
        }
        if (!messages.empty()) ClearProgress();
        for (const std::string& message : messages) console_.Report(message);
        ShowProgress();
    }

    void ShowProgress() {
        const auto now = Clock::now();
        if (!showProgress_ || now - lastProgress_ < kProgressInterval) return;
        lastProgress_ = now;
        progressShown_ = true;
        std::string text = "\rglyphrun-cli: " + std::to_string(written_ + failed_);
        if (expected_ || closed_) text += " of " + std::to_string(expected_.value_or(added_));
        text += " symbols";
        if (failed_) text += " (" + std::to_string(failed_) + " failed)";
        std::fputs(text.c_str(), console_.Err());
        std::fflush(console_.Err());
    }

    void ClearProgress() {
        if (progressShown_) std::fputs("\r\033[K", console_.Err());
        progressShown_ = false;
    }

    // The summary: reported here when every line was written, else the
    // batch's failure.
    Status Summarise(const Status& read) {
        if (added_ == 0 && read) return Failure(inputName_ + " has no lines: no symbol was written");
        if (!documentFailure_) return Failure(documentFailure_.message + ": " + pattern_ + " was not written");
        const std::string counts = std::to_string(written_) + " symbol" + (written_ == 1 ? "" : "s") + " written";
        if (stopped_)
            return Status::Failed(CliError::Place, "stopped at line " + std::to_string(stoppingLine_) +
                                                       ", whose failure every later line would meet: " + counts + "; " +
                                                       std::to_string(failed_) + " failed");
        if (document_) {
            // A document is whole or not at all: a sheet with a label left
            // out would put every later one in the wrong place.
            if (failed_ || !read)
                return Failure(std::to_string(failed_) + " of " + std::to_string(added_) +
                               " labels failed: " + pattern_ + " was not written");
            return {};
        }
        const std::string summary = std::to_string(written_) + " of " + std::to_string(added_) + " symbols written" +
                                    (failed_ ? "; " + std::to_string(failed_) + " failed" : "");
        if (failed_ || !read) return Failure(summary);
        console_.Report(summary);
        return {};
    }

    Console& console_;  // its error stream for messages and progress
    LabelDocument* const document_;
    Status documentFailure_;  // what ended a document's run
    const std::string& inputName_;
    const Options& options_;
    const std::string pattern_;
    const bool numberInFolder_;
    std::map<std::string, int64_t> claimed_;  // outputs reached through links, by file; main thread only
    const WriteRun run_;                      // the standard streams looked at once, as the batch starts

    std::mutex mutex_;
    std::condition_variable workReady_, slotDone_;
    std::vector<Slot> slots_;                        // line n (1-based) in slot (n - 1) % size
    uint64_t added_ = 0, taken_ = 0, reported_ = 0;  // lines placed; the cursor of the next to take; lines reported
    size_t waiting_ = 0, writing_ = 0, done_ = 0;    // slots waiting, being written, done and not reported
    bool closed_ = false, stopped_ = false;
    bool writesHere_ = false;  // no worker threads: the main thread writes each line as it is read
    uint64_t stoppingLine_ = 0;

    // Counted by the main thread as lines are reported.
    uint64_t written_ = 0, failed_ = 0;
    const bool showProgress_;
    std::optional<uint64_t> expected_;  // the lines of a regular file, counted ahead
    bool progressShown_ = false;
    Clock::time_point lastProgress_ = Clock::now();
};

}  // namespace

Status RunBatch(FILE* input, const std::string& inputName, const Options& options, Console& console) {
    LineReader reader(input);
    const size_t workers = WorkerCount(options);
    if (!OneDocument(options)) {
        Batch batch(inputName, options, workers, console);
        return batch.Run(reader, workers);
    }
    // The run happens while the document is written: the file appears only
    // once the last label is in it, and not at all when the run fails.
    Status outcome;
    uint64_t labels = 0;
    const Status written = WriteLabelDocument(options, [&](LabelDocument& document) {
        Batch batch(inputName, options, workers, console, &document);
        outcome = batch.Run(reader, workers);
        labels = batch.Added();
        return outcome;
    });
    if (!outcome) return outcome;
    if (written)
        console.Report(std::to_string(labels) + " label" + (labels == 1 ? "" : "s") + " written to " +
                       *options.outputPath);
    return written;
}

}  // namespace glyphrun::cli
