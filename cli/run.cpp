// A run of glyphrun-cli: the command line read, then what it asks for.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audit.h"
#include "batch.h"
#include "glyphrun/cli.h"
#include "options.h"
#include "report.h"
#include "symbol.h"

namespace glyphrun::cli {
namespace {

// An input file, or the run's input stream, open for reading.
class Input {
public:
    Input(const std::string& path, FILE* standardInput)
        : name_(path == "-" ? "standard input" : path),
          stream_(path == "-" ? standardInput : std::fopen(path.c_str(), "rb")),
          owned_(path != "-") {
        if (!stream_) openErrno_ = errno;
    }
    ~Input() {
        if (stream_ && owned_) std::fclose(stream_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    const std::string& Name() const { return name_; }
    FILE* Stream() const { return stream_; }
    Status Opened() const {
        if (stream_) return {};
        return Failure("cannot open " + name_ + ": " + std::strerror(openErrno_));
    }

private:
    std::string name_;
    FILE* stream_;
    bool owned_;
    int openErrno_ = 0;
};

// Reads the whole input, refusing it once it passes what a batch line may
// hold: no symbol, nor a message spread over several, needs more.
Status ReadAll(const Input& input, std::string& bytes) {
    char chunk[1 << 16];
    size_t count;
    while (bytes.size() <= kMaxLineBytes && (count = std::fread(chunk, 1, sizeof chunk, input.Stream())) > 0)
        bytes.append(chunk, count);
    if (std::ferror(input.Stream())) return Failure("cannot read " + input.Name() + ": " + std::strerror(errno));
    if (bytes.size() > kMaxLineBytes)
        return Failure("the input " + input.Name() + " is longer than " + std::to_string(kMaxLineBytes) + " bytes");
    return {};
}

void ListSizes(Console& console) {
    console.WriteOut("index  size     data  error\n");
    for (int32_t index = 0; index < kAllSymbolSizeCount; ++index) {
        const auto attribute = [index](SymbolAttribute a) { return QuerySymbolAttribute(a, index); };
        const std::string size = std::to_string(attribute(SymbolAttribute::AttrSymbolRows)) + "x" +
                                 std::to_string(attribute(SymbolAttribute::AttrSymbolCols));
        char line[64];
        std::snprintf(line, sizeof line, "%5d  %-7s %5d  %5d%s\n", index, size.c_str(),
                      attribute(SymbolAttribute::AttrDataCodewords), attribute(SymbolAttribute::AttrEccCodewords),
                      IsDmreSize(index) ? "  DMRE" : "");
        console.WriteOut(line);
    }
}

// A line of data codewords for each symbol, then their sizes on one line.
std::string CodewordsText(const std::vector<Symbol>& symbols) {
    std::string text, sizes;
    for (const Symbol& symbol : symbols) {
        for (int32_t i = 0; i < symbol.dataCodewords(); ++i)
            text += (i ? " " : "") + std::to_string(symbol.codewords()[static_cast<size_t>(i)]);
        text += "\n";
        sizes += (sizes.empty() ? "" : " ") + std::to_string(symbol.rows()) + "x" + std::to_string(symbol.cols());
    }
    return text + sizes + "\n";
}

// A line for each symbol, which says its place when there are several.
std::string SizeText(const std::vector<Symbol>& symbols) {
    std::string text;
    for (size_t i = 0; i < symbols.size(); ++i) {
        const Symbol& symbol = symbols[i];
        if (symbols.size() > 1) text += std::to_string(i + 1) + " of " + std::to_string(symbols.size()) + ": ";
        text += std::to_string(symbol.rows()) + "x" + std::to_string(symbol.cols()) + " symbol, " +
                std::to_string(symbol.dataCodewords()) + " of " + std::to_string(symbol.capacity()) +
                " data codewords used\n";
    }
    return text;
}

// A single input's place in the report: no line number.
AuditPlace PlaceOf(std::string_view data, std::string output) {
    AuditPlace place;
    place.data = data;
    place.output = std::move(output);
    return place;
}

// The text goes first, and is flushed, when the file is the output too.
Status EncodeDescribeAndWrite(ByteSpan input, const Options& options, Console& console, AuditFile* audit) {
    return FailOnOutOfMemory([&]() -> Status {
        std::vector<Symbol> symbols;
        if (Status encoded = EncodeInput(input, options, symbols); !encoded) return encoded;
        if (options.printCodewords || !options.outputPath) {
            console.WriteOut(options.printCodewords ? CodewordsText(symbols) : SizeText(symbols));
            if (Status flushed = console.FlushOut(); !flushed) return flushed;
        }
        if (!options.outputPath) return {};
        const std::string_view data(reinterpret_cast<const char*>(input.data()), input.size());
        if (OneDocument(options)) {
            if (options.makeFolders)
                if (Status made = MakeOutputFolders(*options.outputPath); !made) return made;
            std::vector<LabelDocument::Placement> placements;
            const Status written = WriteLabelDocument(options, [&](LabelDocument& document) {
                return AddLabels(document, symbols, input, options, &placements);
            });
            if (!written) return written;
            for (size_t i = 0; i < symbols.size(); ++i) {
                if (options.verbose) console.Report(DescribeSymbol(symbols[i], options, *options.outputPath));
                if (!audit) continue;
                AuditPlace place = PlaceOf(data, *options.outputPath);
                place.page = placements[i].page;
                place.cell = placements[i].cell;
                audit->Write(AuditLine(place, &symbols[i], options, options.verify));
            }
            return written;
        }
        // Structured Append names every file by its symbol's number, also
        // when one symbol holds the message.
        std::vector<std::string> paths;
        for (size_t i = 0; i < symbols.size(); ++i)
            paths.push_back(options.structuredAppend ? PartOutputName(*options.outputPath, static_cast<int32_t>(i + 1))
                                                     : *options.outputPath);
        for (const std::string& path : paths)
            if (Status made = options.makeFolders ? MakeOutputFolders(path) : Status{}; !made) return made;
        std::vector<std::string> notes;
        if (Status written = WriteSymbols(symbols, input, options, paths, notes, console); !written) return written;
        if (!options.pictureWarning.empty()) console.Report(options.pictureWarning);
        for (const std::string& note : notes) console.Report(note);
        for (size_t i = 0; i < symbols.size(); ++i) {
            if (options.verbose) console.Report(DescribeSymbol(symbols[i], options, paths[i]));
            if (audit) audit->Write(AuditLine(PlaceOf(data, paths[i]), &symbols[i], options, options.verify));
        }
        return {};
    });
}

Status RunOne(ByteSpan input, const Options& options, const std::string& inputName, Console& console,
              AuditFile* audit) {
    std::string escaped;
    Status outcome = ReadInputEscapes(input, options, escaped);
    if (outcome) outcome = EncodeDescribeAndWrite(input, options, console, audit);
    if (!outcome && audit)
        audit->Write(AuditLine(PlaceOf({reinterpret_cast<const char*>(input.data()), input.size()}, {}), nullptr,
                               options, false, outcome.message));
    // A file's name says which input failed; TEXT is the only argument.
    if (!outcome && options.inputPath) outcome.message = inputName + ": " + outcome.message;
    return outcome;
}

Status EncodeAll(const Options& options, FILE* standardInput, Console& console, AuditFile* audit) {
    if (!options.inputPath) {
        // Segments are read as one text: the text under the symbol and the report's data.
        std::string text = *options.text;
        for (const auto& [eci, segment] : options.segments) text += segment;
        return RunOne({reinterpret_cast<const unsigned char*>(text.data()), text.size()}, options, "TEXT", console,
                      audit);
    }
    const Input input(*options.inputPath, standardInput);
    if (Status opened = input.Opened(); !opened) return opened;
    if (options.batch) return RunBatch(input.Stream(), input.Name(), options, console, audit);
    std::string bytes;
    if (Status read = ReadAll(input, bytes); !read) return read;
    return RunOne({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}, options, input.Name(), console,
                  audit);
}

// Whether two names lead to one file: the same file where both exist (a
// hard link too), else the same place once links are followed.
bool SameFile(const std::string& first, const std::string& second) {
    struct stat one {
    }, other{};
    const bool oneExists = ::stat(first.c_str(), &one) == 0, otherExists = ::stat(second.c_str(), &other) == 0;
    if (oneExists != otherExists) return false;
    if (oneExists) return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
    return ResolveOutputTarget(first).path == ResolveOutputTarget(second).path;
}

// The report empties its file as the run starts, before the input is read
// or an output written, so a report that is the input or an output is
// refused first. The outputs of a CSV row named by its values are known
// only as the rows come: the batch refuses those one by one.
Status CheckReportFile(const Options& options, FILE* standardInput) {
    if (!options.reportPath || *options.reportPath == "-") return {};
    const std::string& report = *options.reportPath;
    const auto refuse = [&](const std::string& what) {
        return Status::Failed(CliError::Usage,
                              "--report " + report + " is " + what + ": give the report a file of its own");
    };
    if (options.inputPath && *options.inputPath != "-" && SameFile(report, *options.inputPath))
        return refuse("the input");
    struct stat reportInfo {
    }, inputInfo{};
    if (options.inputPath && *options.inputPath == "-" && ::stat(report.c_str(), &reportInfo) == 0 &&
        ::fstat(fileno(standardInput), &inputInfo) == 0 && reportInfo.st_dev == inputInfo.st_dev &&
        reportInfo.st_ino == inputInfo.st_ino)
        return refuse("standard input");
    if (!options.outputPath || *options.outputPath == "-") return {};
    const std::string& output = *options.outputPath;
    if (options.batch && !OneDocument(options)) {
        const std::optional<int64_t> line = LineWritingTo(options, report);
        return line ? refuse(std::string("the output of ") + (options.csv ? "row " : "line ") + std::to_string(*line))
                    : Status{};
    }
    if (!options.structuredAppend || OneDocument(options))
        return SameFile(report, output) ? refuse("the output") : Status{};
    for (int32_t part = 1; part <= kMaxAppendSymbols; ++part)
        if (SameFile(report, PartOutputName(output, part)))
            return refuse("the output of symbol " + std::to_string(part));
    return {};
}

// With --report, its file is open for the whole run and closed after it.
Status Encode(const Options& options, FILE* standardInput, Console& console) {
    if (Status checked = CheckReportFile(options, standardInput); !checked) return checked;
    Result<std::unique_ptr<AuditFile>> audit = AuditFile::Open(options, console);
    if (!audit) return audit.status();
    const Status outcome = EncodeAll(options, standardInput, console, audit->get());
    const Status closed = audit.value() ? audit.value()->Close() : Status{};
    return outcome ? closed : outcome;
}

// What was asked for; a failure is reported by the caller, once.
Status Perform(const CommandLine& line, FILE* standardInput, Console& console) {
    if (!line.status) return line.status;
    switch (line.command) {
        case Command::Help: console.WriteOut(HelpText()); return {};
        case Command::Version: console.WriteOut(VersionText()); return {};
        case Command::ListSizes: ListSizes(console); return {};
        case Command::Encode: break;
    }
    return Encode(line.options, standardInput, console);
}

}  // namespace

int Run(std::span<const std::string> arguments, const Streams& streams) {
    Console console(streams.out, streams.err);
    Status outcome;
    try {
        outcome = Perform(ParseOptions(arguments), streams.in, console);
    } catch (const std::bad_alloc&) {
        HoldMemoryReserve();
        outcome = Failure("out of memory");
    }
    // A failure ends the run; after success the flush may be the first to fail.
    if (outcome) outcome = console.FlushOut();
    if (!outcome) console.ReportFailure(outcome);
    std::fflush(streams.err);
    return ExitCodeOf(outcome);
}

}  // namespace glyphrun::cli
