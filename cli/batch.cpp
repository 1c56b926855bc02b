#include "batch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "glyphrun/safe_file.h"
#include "records.h"
#include "template.h"
#include "text.h"
#include "verify.h"

namespace glyphrun::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

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

// --csv with {column} in the output's name: the names come from the rows.
bool NamesFromData(const Options& options) { return options.csv && options.outputPath->find('{') != std::string::npos; }

size_t WorkerCount(const Options& options) {
    if (options.jobs > 0) return static_cast<size_t>(options.jobs);
    return std::max(1u, std::thread::hardware_concurrency());
}

// One input of a batch: the data to encode, a caption of its own (a CSV
// row's), and its output's name.
struct Item {
    std::string data;
    std::optional<std::string> caption;
    std::string name;
};

// Where a batch's items come from: the lines of the input, or its CSV rows.
class Source {
public:
    virtual ~Source() = default;
    // The next item; a record that cannot be one (too long, not CSV, a
    // value that cannot name a file) comes with its reason in `problem`.
    virtual ReadResult Next(int64_t number, Item& item, Status& problem) = 0;
    virtual std::optional<uint64_t> CountAhead() const { return std::nullopt; }
    virtual const char* Unit() const = 0;  // what an item is called in messages
    virtual int Errno() const = 0;
};

class LineSource : public Source {
public:
    LineSource(FILE* input, std::string pattern) : reader_(input), pattern_(std::move(pattern)) {}

    ReadResult Next(int64_t number, Item& item, Status& problem) override {
        const ReadResult result = reader_.Next(item.data);
        if (result == ReadResult::TooLong)
            problem = Failure("the line is longer than " + std::to_string(kMaxLineBytes) + " bytes");
        item.name = BatchOutputName(pattern_, number);
        return result;
    }
    std::optional<uint64_t> CountAhead() const override { return reader_.CountAhead(); }
    const char* Unit() const override { return "line"; }
    int Errno() const override { return reader_.Errno(); }

private:
    LineReader reader_;
    std::string pattern_;
};

// Why a CSV record that was read (TooLong or Malformed) is none.
std::string NoRecord(const std::string& record, ReadResult result) {
    if (result == ReadResult::TooLong) return record + " is longer than " + std::to_string(kMaxLineBytes) + " bytes";
    return record + " is not CSV: a quoted field is followed by more than a comma, or never closed";
}

// The rows after the header, each composed by the templates.
class CsvSource : public Source {
public:
    CsvSource(CsvReader& reader, size_t columns, Template data, std::optional<Template> caption, Template name)
        : reader_(reader),
          columns_(columns),
          data_(std::move(data)),
          caption_(std::move(caption)),
          name_(std::move(name)) {}

    ReadResult Next(int64_t number, Item& item, Status& problem) override {
        const ReadResult result = reader_.Next(fields_);
        if (result == ReadResult::TooLong || result == ReadResult::Malformed)
            problem = Failure(NoRecord("the row", result));
        else if (result == ReadResult::Record && fields_.size() != columns_)
            problem = Failure("the row has " + std::to_string(fields_.size()) + " fields where the header has " +
                              std::to_string(columns_));
        if (result != ReadResult::Record || !problem) return result;
        item.data = data_.Fill(fields_);
        if (caption_) item.caption = caption_->Fill(fields_);
        problem = name_.FillName(fields_, number, item.name);
        return result;
    }
    const char* Unit() const override { return "row"; }
    int Errno() const override { return reader_.Errno(); }

private:
    CsvReader& reader_;
    const size_t columns_;
    const Template data_;
    const std::optional<Template> caption_;
    const Template name_;
    std::vector<std::string> fields_;
};

// The output names of a run, each with the item that took it: kept end to
// end in one string and found by their hash, so that a million rows take
// some tens of megabytes.
class Names {
public:
    // The item that took `name` before, else nothing and `name` is now `number`'s.
    std::optional<int64_t> Claim(const std::string& name, int64_t number) {
        const size_t hash = std::hash<std::string>{}(name);
        for (auto [at, end] = index_.equal_range(hash); at != end; ++at)
            if (std::string_view(text_).substr(at->second.offset, at->second.length) == name) return at->second.number;
        index_.emplace(hash, Entry{text_.size(), name.size(), number});
        text_ += name;
        return std::nullopt;
    }

private:
    struct Entry {
        size_t offset, length;
        int64_t number;
    };
    std::unordered_multimap<size_t, Entry> index_;
    std::string text_;
};

class Batch {
public:
    // With `document`, every line's label goes into it, in line order,
    // rather than to a file of its own.
    Batch(const std::string& inputName, const Options& options, size_t workers, Console& console,
          LabelDocument* document, AuditFile* audit)
        : console_(console),
          document_(document),
          audit_(audit),
          inputName_(inputName),
          options_(options),
          pattern_(*options.outputPath),
          // With the line number (or a row's value) in the folder, one
          // folder failing says nothing of the others, and folders may lead
          // to one another.
          numberInFolder_(FolderOf(pattern_).find_first_of(options.csv ? "#{" : "#") != std::string::npos),
          namesFromData_(NamesFromData(options)),
          slots_(std::max<size_t>(32, 8 * workers)),
          showProgress_(isatty(fileno(console.Err())) != 0) {}

    Status Run(Source& source, size_t workerCount) {
        unit_ = source.Unit();
        if (showProgress_) expected_ = source.CountAhead();
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
        const Status read = ReadItems(source);
        Close();
        for (std::jthread& worker : workers) worker.join();
        ReportFinished(/*all=*/true);
        if (read) ReportUnread(source);
        ClearProgress();
        if (!read) console_.Report(read.reason());
        return Summarise(read);
    }

    uint64_t Added() const { return added_; }

private:
    struct Slot {
        enum class State { Free, Waiting, Writing, Done };
        State state = State::Free;
        Item item;
        OutputLook output;
        Status outcome;
        std::vector<std::string> notes;  // warnings, then with --verbose what was made
        PdfLabel label;                  // a document's: the line's label, drawn
        std::optional<Symbol> symbol;    // what was made, for the report
        LabelDocument::Placement placement{};
    };

    Slot& SlotOf(uint64_t index) { return slots_[index % slots_.size()]; }

    Status ReadItems(Source& source) {
        for (int64_t number = 1;; ++number) {
            Item item;
            Status problem;
            const ReadResult result = source.Next(number, item, problem);
            if (result == ReadResult::End) return {};
            if (result == ReadResult::Failed)
                return Failure("cannot read " + inputName_ + ": " + std::strerror(source.Errno()));
            OutputLook output;
            Status early = FailOnOutOfMemory([&]() -> Status {
                if (!problem || document_) return problem;
                output.path = item.name;
                if (options_.makeFolders)
                    if (Status made = MakeFolders(output.path); !made) return made;
                return ClaimOutput(output, number);
            });
            if (!Add(item, std::move(output), std::move(early))) {
                unread_ = std::move(item);
                return {};
            }
        }
    }

    // After a stop, with --report, a line for each input never read: the
    // report has one for every input.
    void ReportUnread(Source& source) {
        if (!audit_ || !unread_) return;
        for (int64_t number = static_cast<int64_t>(added_) + 1;; ++number) {
            AuditPlace place;
            place.number = number;
            place.unit = unit_;
            place.data = unread_->data;
            audit_->Write(AuditLine(place, nullptr, options_, false, NotTried()));
            Status problem;
            unread_.emplace();
            const ReadResult result = source.Next(number + 1, *unread_, problem);
            if (result == ReadResult::End || result == ReadResult::Failed) return;
        }
    }

    std::string NotTried() const {
        return "not tried: the run stopped at " + std::string(unit_) + " " + std::to_string(stoppingLine_);
    }

    // With --mkdir, the folders an output needs; the last one made is
    // remembered, since a run's outputs mostly share their folder.
    Status MakeFolders(const std::string& path) {
        const std::string folder = FolderOf(path);
        if (folder == madeFolder_) return {};
        if (Status made = MakeOutputFolders(path); !made) return made;
        madeFolder_ = folder;
        return {};
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
        if (audit_ && look.exists && audit_->IsFileOf(look.info)) return Failure(output + " is the report's file");
        // A plain file with nothing remembered yet meets no other line: the
        // folder need not be resolved then, which is most of the cost.
        const OutputTarget& followed = look.target;
        if (followed.inPlace) return {};
        // Names made from a row's values may repeat: each is remembered.
        if (namesFromData_ && !followed.throughLink && !numberInFolder_) {
            const std::optional<int64_t> earlier = named_.Claim(output, number);
            if (!earlier) return {};
            return Failure(output + " is the same file as the output of " + unit_ + " " + std::to_string(*earlier));
        }
        if (!followed.throughLink && !numberInFolder_ && claimed_.empty()) return {};
        const OutputTarget target = ResolveOutputTarget(output);
        auto claimed = claimed_.find(target.path);
        std::optional<int64_t> earlier;
        if (claimed != claimed_.end())
            earlier = claimed->second;
        else if (target.throughLink)
            earlier = LineWritingTo(options_, target.path);
        if (earlier && *earlier < number)
            return Failure(output + " is the same file as the output of " + unit_ + " " + std::to_string(*earlier) +
                           " (" + target.path + ")");
        if (target.throughLink || numberInFolder_) claimed_.emplace(target.path, number);
        return {};
    }

    // Waits for room in the window, reporting finished lines meanwhile;
    // false when the batch has stopped, `item` left as it was. A line that
    // failed already is reported at once: the next read may take long (the
    // rest of a line too long to hold is still skipped).
    bool Add(Item& item, OutputLook output, Status early) {
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
            slot.item = std::move(item);
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
        const auto* bytes = reinterpret_cast<const unsigned char*>(slot.item.data.data());
        ByteSpan data(bytes, slot.item.data.size());
        std::string escaped;
        // A row's own caption, in a copy of the options: the labels draw theirs.
        std::optional<Options> captioned;
        if (slot.item.caption) {
            captioned = options_;
            captioned->caption = slot.item.caption;
        }
        const Options& options = captioned ? *captioned : options_;
        Status written = ReadInputEscapes(data, options, escaped);
        // The report tells the data as encoded, its escapes read.
        if (written && options.escapes) {
            slot.item.data = std::move(escaped);
            data = {reinterpret_cast<const unsigned char*>(slot.item.data.data()), slot.item.data.size()};
        }
        if (written)
            written = document_ ? EncodeAndDraw(data, options, slot)
                                : EncodeAndWrite(data, options, run_, slot.output, slot.notes, slot.symbol);
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

    Status EncodeAndDraw(ByteSpan input, const Options& options, Slot& slot) {
        return FailOnOutOfMemory([&]() -> Status {
            std::vector<Symbol> symbols;
            if (Status encoded = EncodeInput(input, options, symbols); !encoded) return encoded;
            if (options.verify)
                if (Status verified = Verify(symbols, input, options); !verified) return verified;
            Result<PdfLabel> label = document_->Draw(symbols.front(), LabelText(input, options));
            if (!label) return Failure(label.reason());
            slot.label = std::move(label).value();
            if (options.verbose) slot.notes.push_back(DescribeSymbol(symbols.front(), options, pattern_));
            slot.symbol = std::move(symbols.front());
            return {};
        });
    }

    // A drawn line's label goes into the document; a failure there (a label
    // larger than its cell, the file refusing bytes) ends the run, and the
    // document is not kept.
    void AddToDocument(Slot& slot, uint64_t line) {
        if (!document_ || !slot.outcome) return;
        if (Status added = document_->Add(slot.label, &slot.placement); !added) {
            slot.outcome = Failure(added.reason());
            documentFailure_ = Failure(inputName_ + " " + unit_ + " " + std::to_string(line) + ": " + added.reason());
            stopped_ = true;
            stoppingLine_ = line;
            workReady_.notify_all();
        }
    }

    // Reports the finished lines at the front of the window in line order
    // and frees their slots; with `all`, every line left once the workers
    // are gone (a line never taken after a stop was not tried).
    void ReportFinished(bool all) {
        std::vector<std::string> messages, audited;
        // The report's line of a finished item: what was made, or why not.
        const auto audit = [&](uint64_t line, const Slot& slot) {
            if (!audit_) return;
            AuditPlace place;
            place.number = static_cast<int64_t>(line);
            place.unit = unit_;
            place.data = slot.item.data;
            place.output = slot.output.path;
            if (document_) {
                place.output = pattern_;
                place.page = slot.placement.page;
                place.cell = slot.placement.cell;
            }
            audited.push_back(slot.outcome && slot.symbol
                                  ? AuditLine(place, &*slot.symbol, options_, options_.verify)
                                  : AuditLine(place, nullptr, options_, false, slot.outcome.message));
        };
        const auto addLine = [&](uint64_t line, std::string message) {
            messages.push_back(inputName_ + " " + unit_ + " " + std::to_string(line) + ": " + std::move(message));
        };
        {
            std::lock_guard lock(mutex_);
            while (reported_ < added_ && (all || SlotOf(reported_).state == Slot::State::Done)) {
                Slot& slot = SlotOf(reported_);
                const uint64_t line = ++reported_;
                if (slot.state == Slot::State::Done) --done_;
                if (slot.state == Slot::State::Done && documentFailure_) AddToDocument(slot, line);
                // The label the document failed at is told once, by the summary.
                const bool documentStop = !documentFailure_ && line == stoppingLine_;
                // A line left untried after a stop, or failing by the same
                // fault of the place as the one that stopped the batch, is
                // neither written nor reported but in the report: the fault
                // is said once.
                const bool sameStop = slot.outcome.Is(CliError::Place) && stopped_ && line != stoppingLine_;
                if (slot.state == Slot::State::Done && slot.outcome) {
                    if (written_++ == 0 && !options_.pictureWarning.empty())
                        messages.push_back(options_.pictureWarning);
                    for (std::string& note : slot.notes) addLine(line, std::move(note));
                    audit(line, slot);
                } else if (slot.state == Slot::State::Done && !sameStop) {
                    audit(line, slot);
                    if (!documentStop) {
                        ++failed_;
                        addLine(line, std::move(slot.outcome.message));
                    }
                } else {  // in the report only
                    if (slot.state != Slot::State::Done) slot.outcome = Failure(NotTried());
                    audit(line, slot);
                }
                slot = Slot{};
            }
        }
        for (const std::string& line : audited) audit_->Write(line);
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
    AuditFile* const audit_;
    const char* unit_ = "line";   // "line" or "row"
    std::string madeFolder_;      // the last folder --mkdir made; main thread only
    std::optional<Item> unread_;  // after a stop: the item read but never added
    Status documentFailure_;      // what ended a document's run
    const std::string& inputName_;
    const Options& options_;
    const std::string pattern_;
    const bool numberInFolder_;
    const bool namesFromData_;                // --csv with {column} in the output's name
    Names named_;                             // their names, by the item that took each
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

// The source of the items: lines, or the rows of a CSV input after its
// header, which the templates are read against.
Status RunWithSource(FILE* input, const std::string& inputName, const Options& options,
                     const std::function<Status(Source&)>& run) {
    if (!options.csv) {
        LineSource lines(input, *options.outputPath);
        return run(lines);
    }
    CsvReader reader(input);
    std::vector<std::string> header;
    const ReadResult result = reader.Next(header);
    if (result == ReadResult::Failed) return Failure("cannot read " + inputName + ": " + std::strerror(reader.Errno()));
    if (result == ReadResult::End) return Failure(inputName + " has no header row of column names");
    if (result != ReadResult::Record) return Failure(inputName + ": " + NoRecord("the header row", result));
    const auto parse = [&](const char* option, const std::string& text) {
        std::string error;
        std::optional<Template> parsed = Template::Parse(text, header, error);
        if (!parsed)
            throw Status::Failed(CliError::Usage,
                                 std::string(option) + " '" + text + "': " + error + " of " + inputName);
        return std::move(*parsed);
    };
    try {
        Template data = options.dataTemplate ? parse("--data", *options.dataTemplate) : Template::Column(header, 0);
        std::optional<Template> caption;
        if (options.caption) caption = parse("--caption", *options.caption);
        Template name = parse("--output", *options.outputPath);
        CsvSource rows(reader, header.size(), std::move(data), std::move(caption), std::move(name));
        return run(rows);
    } catch (const Status& usage) {
        return usage;
    }
}

}  // namespace

std::optional<int64_t> LineWritingTo(const Options& options, const std::string& file) {
    const std::string& pattern = *options.outputPath;
    if (NamesFromData(options)) return std::nullopt;
    const std::string folder = FolderOf(pattern);
    const std::optional<int64_t> line = LineNumberIn(pattern.substr(folder.size()), file.substr(FolderOf(file).size()));
    if (!line || ResolveOutputTarget(BatchOutputName(pattern, *line)).path != ResolveOutputTarget(file).path)
        return std::nullopt;
    return line;
}

Status RunBatch(FILE* input, const std::string& inputName, const Options& options, Console& console, AuditFile* audit) {
    const size_t workers = WorkerCount(options);
    if (!OneDocument(options))
        return RunWithSource(input, inputName, options, [&](Source& source) {
            Batch batch(inputName, options, workers, console, nullptr, audit);
            return batch.Run(source, workers);
        });
    // The run happens while the document is written: the file appears only
    // once the last label is in it, and not at all when the run fails. The
    // report's lines wait for that end, so that none claims a page of a
    // document never written.
    Result<std::unique_ptr<AuditFile>> held = audit ? AuditFile::Held() : std::unique_ptr<AuditFile>();
    if (!held) return held.status();
    if (options.makeFolders)
        if (Status made = MakeOutputFolders(*options.outputPath); !made) return made;
    Status outcome;
    uint64_t labels = 0;
    const Status written = WriteLabelDocument(options, [&](LabelDocument& document) {
        outcome = RunWithSource(input, inputName, options, [&](Source& source) {
            Batch batch(inputName, options, workers, console, &document, held.value().get());
            const Status ran = batch.Run(source, workers);
            labels = batch.Added();
            return ran;
        });
        return outcome;
    });
    if (audit) audit->TakeHeld(*held.value(), !outcome ? outcome.reason() : written.reason());
    if (!outcome) return outcome;
    if (written)
        console.Report(std::to_string(labels) + " label" + (labels == 1 ? "" : "s") + " written to " +
                       *options.outputPath);
    return written;
}

}  // namespace glyphrun::cli
