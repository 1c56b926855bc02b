// glyphrun-cli: encodes bytes into a Data Matrix ECC200 symbol.
#include <malloc.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "batch.h"
#include "glyphrun/safe_file.h"
#include "options.h"
#include "report.h"
#include "symbol.h"

namespace {

using namespace glyphrun;
using cli::Options;

// An input file, or standard input, open for reading.
class Input {
public:
    explicit Input(const std::string& path)
        : name_(path == "-" ? "standard input" : path), stream_(path == "-" ? stdin : std::fopen(path.c_str(), "rb")) {
        if (!stream_) openErrno_ = errno;
    }
    ~Input() {
        if (stream_ && stream_ != stdin) std::fclose(stream_);
    }
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    const std::string& Name() const { return name_; }
    FILE* Stream() const { return stream_; }
    Status Opened() const {
        if (stream_) return {};
        return cli::Failure("cannot open " + name_ + ": " + std::strerror(openErrno_));
    }

private:
    std::string name_;
    FILE* stream_;
    int openErrno_ = 0;
};

// Reads the whole input, refusing it once it passes what a batch line may
// hold: no symbol, nor a message spread over several, needs more.
Status ReadAll(const Input& input, std::string& bytes) {
    char chunk[1 << 16];
    size_t count;
    while (bytes.size() <= cli::kMaxLineBytes && (count = std::fread(chunk, 1, sizeof chunk, input.Stream())) > 0)
        bytes.append(chunk, count);
    if (std::ferror(input.Stream())) return cli::Failure("cannot read " + input.Name() + ": " + std::strerror(errno));
    if (bytes.size() > cli::kMaxLineBytes)
        return cli::Failure("the input " + input.Name() + " is longer than " + std::to_string(cli::kMaxLineBytes) +
                            " bytes");
    return {};
}

void ListSizes() {
    cli::WriteOut("index  size     data  error\n");
    for (int32_t index = 0; index < kAllSymbolSizeCount; ++index) {
        const auto attribute = [index](SymbolAttribute a) { return QuerySymbolAttribute(a, index); };
        const std::string size = std::to_string(attribute(SymbolAttribute::AttrSymbolRows)) + "x" +
                                 std::to_string(attribute(SymbolAttribute::AttrSymbolCols));
        char line[64];
        std::snprintf(line, sizeof line, "%5d  %-7s %5d  %5d%s\n", index, size.c_str(),
                      attribute(SymbolAttribute::AttrDataCodewords), attribute(SymbolAttribute::AttrEccCodewords),
                      IsDmreSize(index) ? "  DMRE" : "");
        cli::WriteOut(line);
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

// The text goes first, and is flushed, when the file is standard output too.
Status EncodeDescribeAndWrite(cli::ByteSpan input, const Options& options) {
    return cli::FailOnOutOfMemory([&]() -> Status {
        std::vector<Symbol> symbols;
        if (Status encoded = cli::EncodeInput(input, options, symbols); !encoded) return encoded;
        if (options.printCodewords || !options.outputPath) {
            cli::WriteOut(options.printCodewords ? CodewordsText(symbols) : SizeText(symbols));
            if (Status flushed = cli::FlushStandardOutput(); !flushed) return flushed;
        }
        if (!options.outputPath) return {};
        // Structured Append names every file by its symbol's number, also
        // when one symbol holds the message.
        std::vector<std::string> paths;
        for (size_t i = 0; i < symbols.size(); ++i)
            paths.push_back(options.structuredAppend
                                ? cli::PartOutputName(*options.outputPath, static_cast<int32_t>(i + 1))
                                : *options.outputPath);
        std::vector<std::string> notes;
        if (Status written = cli::WriteSymbols(symbols, options, paths, notes); !written) return written;
        if (!options.pictureWarning.empty()) cli::Report(options.pictureWarning);
        for (const std::string& note : notes) cli::Report(note);
        if (options.verbose)
            for (size_t i = 0; i < symbols.size(); ++i) cli::Report(cli::DescribeSymbol(symbols[i], options, paths[i]));
        return {};
    });
}

Status RunOne(cli::ByteSpan input, const Options& options, const std::string& inputName) {
    Status outcome = EncodeDescribeAndWrite(input, options);
    // A file's name says which input failed; TEXT is the only argument.
    if (!outcome && options.inputPath) outcome.message = inputName + ": " + outcome.message;
    return outcome;
}

Status Encode(const Options& options) {
    if (!options.inputPath) {
        const std::string& text = *options.text;
        return RunOne({reinterpret_cast<const unsigned char*>(text.data()), text.size()}, options, "TEXT");
    }
    const Input input(*options.inputPath);
    if (Status opened = input.Opened(); !opened) return opened;
    if (options.batch) return cli::RunBatch(input.Stream(), input.Name(), options);
    std::string bytes;
    if (Status read = ReadAll(input, bytes); !read) return read;
    return RunOne({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}, options, input.Name());
}

// What was asked for; a failure is reported by the caller, once.
Status Run(const cli::CommandLine& line) {
    if (!line.status) return line.status;
    switch (line.command) {
        case cli::Command::Help: cli::WriteOut(cli::HelpText()); return {};
        case cli::Command::Version: cli::WriteOut(cli::VersionText()); return {};
        case cli::Command::ListSizes: ListSizes(); return {};
        case cli::Command::Encode: break;
    }
    return Encode(line.options);
}

}  // namespace

int main(int argc, char** argv) {
    HoldStandardDescriptors();
    if (!cli::HoldMemoryReserve()) {
        std::fputs("glyphrun-cli: out of memory\n", stderr);
        return 1;
    }
    // A write stopped by a file-size limit then fails with EFBIG and a
    // message instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // An interrupted run leaves no half-written temporary file behind.
    RemoveTemporaryFilesOnSignals();
    // Each PNG asks zlib for about 256 KiB and gives it back; the default
    // policy hands that memory to the kernel every time and faults it in
    // again for the next symbol, a fifth of a batch's time.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    Status outcome;
    try {
        outcome = Run(cli::ParseOptions(argc, argv));
    } catch (const std::bad_alloc&) {
        cli::HoldMemoryReserve();
        outcome = cli::Failure("out of memory");
    }
    // A failure ends the run; after success the close may be the first to fail.
    if (outcome) outcome = cli::CloseStandardOutput();
    if (!outcome) cli::ReportFailure(outcome);
    return cli::ExitCodeOf(outcome);
}
