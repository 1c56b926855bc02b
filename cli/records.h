// A batch's input, one record at a time: a line, or a row of CSV. Both
// read in blocks straight from the descriptor, so that a pipe's records
// arrive as they come, and neither keeps more than one record beside the
// block it reads, nor more than kMaxLineBytes of one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace glyphrun::cli {

// The longest line a batch takes (and the longest single input, and CSV
// record): more than any symbol holds, with room for a message spread over
// 16 symbols.
inline constexpr size_t kMaxLineBytes = 65536;

// The bytes of a descriptor, a block at a time.
class Blocks {
public:
    explicit Blocks(FILE* stream) : fd_(fileno(stream)) {}

    // False at the end, or when reading failed (Errno then not 0).
    bool Fill();
    bool Empty() const { return begin_ == end_; }
    const char* Data() const { return buffer_.data() + begin_; }
    size_t Size() const { return end_ - begin_; }
    void Take(size_t count) { begin_ += count; }
    int Errno() const { return errno_; }
    int Descriptor() const { return fd_; }

private:
    int fd_;
    std::vector<char> buffer_ = std::vector<char>(1 << 16);
    size_t begin_ = 0, end_ = 0;
    int errno_ = 0;
};

enum class ReadResult { Record, TooLong, Malformed, End, Failed };

// Lines, each without its line end ("\n" or "\r\n"). A last line without
// a line end counts; an empty end after one does not.
class LineReader {
public:
    explicit LineReader(FILE* stream) : blocks_(stream) {}

    // A line longer than kMaxLineBytes is answered TooLong at once; the
    // rest of it is skipped, unread into memory, by the next call.
    ReadResult Next(std::string& line);
    int Errno() const { return blocks_.Errno(); }

    // The lines still to come in a regular file, counted ahead so that
    // progress can show the whole; nothing for a pipe or a terminal.
    std::optional<uint64_t> CountAhead() const;

private:
    bool SkipRestOfLine();  // false when reading failed

    Blocks blocks_;
    bool skipping_ = false;
};

// RFC 4180 CSV: fields separated by commas, a field in double quotes may
// hold commas, line ends and quotes (doubled); records end with "\n" or
// "\r\n" (a '\r' elsewhere is text, within quotes or not), and a UTF-8
// byte-order mark before the first is dropped. A line with nothing on it is
// no record. A record over kMaxLineBytes, its commas and quotes counted, is
// TooLong and one with text after a closing quote, or a quote left open at
// the end, Malformed: either is read to its end, so that the next starts
// right.
class CsvReader {
public:
    explicit CsvReader(FILE* stream) : blocks_(stream) {}

    ReadResult Next(std::vector<std::string>& fields);
    int Errno() const { return blocks_.Errno(); }

private:
    int NextByte();  // -1 at the end or on a failure

    Blocks blocks_;
    bool started_ = false;
};

}  // namespace glyphrun::cli
