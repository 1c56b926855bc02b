// --report: a JSON line for every symbol a run makes or fails to make, for
// the record a regulated label run must keep of what was printed.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "glyphrun/symbol.h"
#include "options.h"
#include "report.h"

namespace glyphrun::cli {

// Where a symbol came from and where it went.
struct AuditPlace {
    std::optional<int64_t> number;  // the batch's line or row
    const char* unit = "line";
    std::string_view data;               // the input as given
    std::string output;                  // the file; "-" for standard output
    std::optional<uint64_t> page, cell;  // in a PDF of labels
};

// The line for a symbol made, or (without `symbol`) for the failure `failure`.
std::string AuditLine(const AuditPlace& place, const Symbol* symbol, const Options& options, bool verified,
                      std::string_view failure = {});

// The report file, each line written whole with one system call, so that
// a run killed midway leaves complete lines only. "-" is the console's
// output.
class AuditFile {
public:
    // Nothing when there is no --report.
    static Result<std::unique_ptr<AuditFile>> Open(const Options& options, Console& console);
    // Lines held back until the run knows whether what they claim stands (the
    // labels of a document written only when all are in), in a temporary
    // file so that memory stays flat however many there are.
    static Result<std::unique_ptr<AuditFile>> Held();
    ~AuditFile();
    AuditFile(const AuditFile&) = delete;
    AuditFile& operator=(const AuditFile&) = delete;

    // A failed write is remembered and told by Close.
    void Write(const std::string& line);
    // Whether `info` is of the report's own file, which no output may replace.
    bool IsFileOf(const struct stat& info) const;
    // The lines of `held`, in order; with a `failure`, each that claims a
    // symbol made says instead that it failed, with that reason.
    void TakeHeld(AuditFile& held, std::string_view failure);
    Status Close();

private:
    AuditFile(int fd, std::string name, Console* console, FILE* held = nullptr);
    int fd_;
    FILE* held_;           // the temporary file of held lines, which owns fd_
    struct stat info_ {};  // of the file
    std::string name_;
    Console* console_;  // for "-"
    int errno_ = 0;
};

}  // namespace glyphrun::cli
