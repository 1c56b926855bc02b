// glyphrun-cli: encodes bytes into a Data Matrix ECC200 symbol.
#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "batch.h"
#include "options.h"
#include "symbol.h"

namespace {

using namespace glyphrun;
using cli::Options;
using cli::OutputKind;

constexpr size_t kMaxInputBytes = 1 << 20;         // far past what any symbol holds
constexpr size_t kMaxBatchBytes = size_t{1} << 30;  // millions of labels

int Failure(const std::string& message) {
    std::fprintf(stderr, "glyphrun-cli: %s\n", message.c_str());
    return cli::kExitFailure;
}

// Reads the whole input; false and a message on failure.
bool ReadInput(const std::string& path, size_t limit, std::vector<unsigned char>& bytes, std::string& error) {
    const bool fromStdin = path == "-";
    FILE* file = fromStdin ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    unsigned char chunk[1 << 16];
    size_t count;
    while (bytes.size() <= limit && (count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    const bool failed = std::ferror(file);
    const int readErrno = errno;
    if (!fromStdin) std::fclose(file);
    if (failed) {
        error = "cannot read " + path + ": " + std::strerror(readErrno);
        return false;
    }
    if (bytes.size() > limit) {
        error = "the input " + path + " is longer than " + std::to_string(limit) + " bytes";
        return false;
    }
    return true;
}

void ListSizes() {
    std::puts("index  size     data  error");
    for (int32_t index = 0; index < kSymbolSizeCount; ++index) {
        const auto attribute = [index](SymbolAttribute a) { return QuerySymbolAttribute(a, index); };
        const std::string size = std::to_string(attribute(SymbolAttribute::AttrSymbolRows)) + "x" +
                                 std::to_string(attribute(SymbolAttribute::AttrSymbolCols));
        std::printf("%5d  %-7s %5d  %5d\n", index, size.c_str(), attribute(SymbolAttribute::AttrDataCodewords),
                    attribute(SymbolAttribute::AttrEccCodewords));
    }
}

void PrintCodewords(const Ecc200Encoder& encoder) {
    for (int32_t i = 0; i < encoder.dataCodewords; ++i)
        std::printf(i ? " %u" : "%u", static_cast<unsigned>(encoder.message->codewords[i]));
    std::printf("\n%dx%d\n", encoder.symbolRows, encoder.symbolCols);
}

// The codewords or the symbol's size, from the encoder itself; empty, or
// why the input cannot be encoded.
std::string Describe(cli::ByteSpan input, const Options& options) {
    const cli::PreparedInput prepared = cli::PrepareInput(input, options);
    if (!prepared.error.empty()) return prepared.error;
    Ecc200Encoder encoder;
    const std::string error = cli::EncodeModules(prepared.bytes, options, 1, 0, encoder);
    if (error.empty() && options.printCodewords)
        PrintCodewords(encoder);
    else if (error.empty())
        std::printf("%dx%d symbol, %d of %d data codewords used\n", encoder.symbolRows, encoder.symbolCols,
                    encoder.dataCodewords, QuerySymbolAttribute(SymbolAttribute::AttrDataCodewords, encoder.sizeIndex));
    FreeEncoder(&encoder);
    return error;
}

int RunOne(cli::ByteSpan input, const std::string& inputName, const Options& options) {
    // A file's name says which input failed; TEXT is the only argument.
    const std::string prefix = options.inputPath ? inputName + ": " : "";
    if (options.printCodewords || !options.outputPath) {
        if (std::string error = Describe(input, options); !error.empty()) return Failure(prefix + error);
    }
    if (options.outputPath) {
        std::fflush(stdout);  // the text first, when the file is standard output too
        if (std::string error = cli::WriteSymbol(input, options, *options.outputPath); !error.empty())
            return Failure(prefix + error);
    }
    return 0;
}

int Run(const Options& options) {
    if (options.listSizes) {
        ListSizes();
    } else {
        std::vector<unsigned char> input;
        std::string inputName = "TEXT";
        if (options.inputPath) {
            inputName = *options.inputPath == "-" ? "standard input" : *options.inputPath;
            std::string error;
            if (!ReadInput(*options.inputPath, options.batch ? kMaxBatchBytes : kMaxInputBytes, input, error))
                return Failure(error);
        } else {
            input.assign(options.text->begin(), options.text->end());
        }
        const int status =
            options.batch ? cli::RunBatch(input, inputName, options) : RunOne(input, inputName, options);
        if (status != 0) return status;
    }
    return std::fflush(stdout) == 0 ? 0 : Failure("cannot write to standard output");
}

}  // namespace

int main(int argc, char** argv) {
    // A write stopped by a file-size limit then fails with EFBIG and a
    // message instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // Each PNG asks zlib for about 256 KiB and gives it back; the default
    // policy hands that memory to the kernel every time and faults it in
    // again for the next symbol, a fifth of a batch's time.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    return Run(cli::ParseOptions(argc, argv));
}
