#include "records.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace glyphrun::cli {

bool Blocks::Fill() {
    begin_ = end_ = 0;
    ssize_t count;
    while ((count = ::read(fd_, buffer_.data(), buffer_.size())) < 0 && errno == EINTR) {}
    if (count < 0) errno_ = errno;
    end_ = count > 0 ? static_cast<size_t>(count) : 0;
    return end_ > 0;
}

ReadResult LineReader::Next(std::string& line) {
    line.clear();
    if (skipping_ && !SkipRestOfLine()) return ReadResult::Failed;
    bool started = false;
    for (;;) {
        if (blocks_.Empty() && !blocks_.Fill()) {
            if (blocks_.Errno()) return ReadResult::Failed;
            if (!started) return ReadResult::End;
            // A last line without a line end.
            return line.size() > kMaxLineBytes ? ReadResult::TooLong : ReadResult::Record;
        }
        started = true;
        const char* start = blocks_.Data();
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', blocks_.Size()));
        const size_t length = newline ? static_cast<size_t>(newline - start) : blocks_.Size();
        // One byte more than a line may hold: the '\r' of a line end.
        if (line.size() + length > kMaxLineBytes + 1) {
            blocks_.Take(newline ? length + 1 : blocks_.Size());
            skipping_ = !newline;
            return ReadResult::TooLong;
        }
        line.append(start, length);
        blocks_.Take(newline ? length + 1 : length);
        if (newline) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line.size() > kMaxLineBytes ? ReadResult::TooLong : ReadResult::Record;
        }
    }
}

std::optional<uint64_t> LineReader::CountAhead() const {
    const int fd = blocks_.Descriptor();
    struct stat info {};
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || start < 0) return std::nullopt;
    uint64_t lines = 0;
    char last = '\n';
    std::vector<char> block(1 << 16);
    for (ssize_t count; (count = ::read(fd, block.data(), block.size())) > 0;) {
        lines += static_cast<uint64_t>(std::count(block.data(), block.data() + count, '\n'));
        last = block[static_cast<size_t>(count) - 1];
    }
    if (::lseek(fd, start, SEEK_SET) != start) return std::nullopt;
    return lines + (last != '\n' ? 1 : 0);
}

bool LineReader::SkipRestOfLine() {
    while (!blocks_.Empty() || blocks_.Fill()) {
        const auto* newline = static_cast<const char*>(std::memchr(blocks_.Data(), '\n', blocks_.Size()));
        if (newline) {
            blocks_.Take(static_cast<size_t>(newline - blocks_.Data()) + 1);
            skipping_ = false;
            return true;
        }
        blocks_.Take(blocks_.Size());
    }
    skipping_ = false;
    return blocks_.Errno() == 0;
}

int CsvReader::NextByte() {
    if (blocks_.Empty() && !blocks_.Fill()) return -1;
    const auto byte = static_cast<unsigned char>(*blocks_.Data());
    blocks_.Take(1);
    return byte;
}

ReadResult CsvReader::Next(std::vector<std::string>& fields) {
    if (!started_) {
        started_ = true;
        // A byte-order mark, which spreadsheets put before UTF-8 text.
        if (blocks_.Fill() && blocks_.Size() >= 3 && std::memcmp(blocks_.Data(), "\xEF\xBB\xBF", 3) == 0)
            blocks_.Take(3);
    }
    fields.assign(1, std::string());
    // Plain: a field without quotes (or none yet); Closed: after a quoted
    // field's closing quote, where a second quote stands for one.
    enum class State { Plain, Quoted, Closed } state = State::Plain;
    // Every byte counts toward the cap, separators too, so that a record's
    // memory is bounded whatever it is made of; past the cap nothing is kept.
    size_t bytes = 0;
    bool any = false, malformed = false;
    bool carriageReturn = false;  // a '\r' outside quotes, which "\r\n" makes a line end
    bool fieldStart = true;       // nothing of the field read yet: a quote opens it
    const auto keep = [&](char c) {
        if (bytes <= kMaxLineBytes) fields.back() += c;
    };
    for (int c; (c = NextByte()) >= 0;) {
        any = true;
        ++bytes;
        if (state == State::Quoted) {
            if (c == '"')
                state = State::Closed;
            else
                keep(static_cast<char>(c));
            continue;
        }
        if (c == '\n') {
            --bytes;
            if (carriageReturn) --bytes;
            if (fields.size() == 1 && fieldStart && state == State::Plain) {  // an empty line
                any = carriageReturn = false;
                bytes = 0;
                continue;
            }
            break;
        }
        if (carriageReturn) {  // not a line end: text, or after a closing quote too much
            carriageReturn = false;
            if (state == State::Closed)
                malformed = true;
            else
                keep('\r');
            fieldStart = false;
        }
        if (c == '\r') {
            carriageReturn = true;
            continue;
        }
        if (c == ',') {
            if (bytes <= kMaxLineBytes) fields.emplace_back();
            state = State::Plain;
            fieldStart = true;
            continue;
        } else if (state == State::Closed) {
            if (c == '"') {
                state = State::Quoted;
                keep('"');
            } else {
                malformed = true;  // text after a closing quote
            }
        } else if (c == '"' && fieldStart) {
            state = State::Quoted;
        } else {
            keep(static_cast<char>(c));
        }
        fieldStart = false;
    }
    if (blocks_.Errno()) return ReadResult::Failed;
    if (!any) return ReadResult::End;
    if (state == State::Quoted) return ReadResult::Malformed;  // the input ended inside quotes
    if (bytes > kMaxLineBytes) return ReadResult::TooLong;
    return malformed ? ReadResult::Malformed : ReadResult::Record;
}

}  // namespace glyphrun::cli
