// glyphrun-cli: encodes bytes into a Data Matrix ECC200 symbol.
#include <malloc.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "glyphrun/cli.h"
#include "glyphrun/safe_file.h"
#include "report.h"

namespace {

// The memory reserve is held before any other static object is made (the
// option parser's library makes some): under a limit too tight for them
// the program then says "out of memory" rather than aborting.
struct EarlyReserve {
    EarlyReserve() {
        if (glyphrun::cli::HoldMemoryReserve()) return;
        std::fputs("glyphrun-cli: out of memory\n", stderr);
        std::_Exit(1);
    }
};
__attribute__((init_priority(101))) const EarlyReserve gEarlyReserve;

}  // namespace

int main(int argc, char** argv) {
    using namespace glyphrun;
    HoldStandardDescriptors();
    // A write stopped by a file-size limit then fails with EFBIG and a
    // message instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // An interrupted run leaves no half-written temporary file behind.
    RemoveTemporaryFilesOnSignals();
    // Each PNG asks zlib for about 256 KiB and gives it back; the default
    // policy hands that memory to the kernel every time and faults it in
    // again for the next symbol, a fifth of a batch's time. Setting the trim
    // threshold also fixes the size from which a block is mapped on its own
    // (128 KiB, no longer raised as blocks are freed), so the encoder's
    // working memory for a large symbol (200 KiB) would be mapped, faulted
    // in and unmapped for every symbol: blocks up to 16 MiB stay in the heap.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    int status = 1;
    try {
        const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        status = cli::Run(arguments);
    } catch (const std::bad_alloc&) {
        std::fputs("glyphrun-cli: out of memory\n", stderr);
        return 1;
    }
    // The close may be the first to learn that the bytes did not arrive;
    // with nothing written it succeeds, even for a closed standard output.
    if (status == 0 && std::fclose(stdout) != 0) {
        std::fprintf(stderr, "glyphrun-cli: cannot write to standard output: %s\n", std::strerror(errno));
        status = 1;
    }
    return status;
}
