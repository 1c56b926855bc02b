// glyphrun-cli as a user runs it: exit status, messages, files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "image_readers.h"
#include "reader.h"
#include "temp_folder.h"

namespace {

using glyphrun::testing::ReadSymbolInFile;
using glyphrun::testing::Slurp;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class Cli : public glyphrun::testing::TempFolderTest {
protected:
    // Runs the command line through the shell; standard output goes to a
    // file that is read back, or to `device` (such as /dev/full).
    Outcome Run(const std::string& args, const std::string& input = "", const std::string& device = "") {
        const std::string in = dir + "/stdin", out = dir + "/stdout", err = dir + "/stderr";
        std::ofstream(in, std::ios::binary) << input;
        const std::string command =
            std::string(GLYPHRUN_CLI) + " " + args + " <" + in + " >" + (device.empty() ? out : device) + " 2>" + err;
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, device.empty() ? Slurp(out) : "", Slurp(err)};
    }

    // The bytes of the symbol in a raster file; empty when it does not scan.
    static std::string ScannedBytes(const std::string& path, int moduleSize) {
        const auto reading = ReadSymbolInFile(path, moduleSize);
        return reading ? reading->bytes : "";
    }

    // The picture in an output file as a reader sees it, SVG and EPS
    // rendered first (by rsvg-convert, and Ghostscript at 72 dpi).
    static std::optional<glyphrun::testing::Picture> PictureIn(const std::string& path) {
        std::string raster = path;
        if (path.ends_with(".svg") || path.ends_with(".eps")) {
            raster = path + ".png";
            const std::string render =
                path.ends_with(".svg")
                    ? "rsvg-convert -o " + Quote(raster) + " " + Quote(path)
                    : "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=png16m -r72 -sOutputFile=" + Quote(raster) +
                          " " + Quote(path);
            if (glyphrun::testing::RunProgram(render) != 0) return std::nullopt;
        }
        return glyphrun::testing::ReadWithStb(glyphrun::testing::ReadFile(raster));
    }

    // The program started without a shell, so that a test can signal it.
    struct Process {
        pid_t pid;
        int status = 0;
        rusage usage{};
        void Wait() { wait4(pid, &status, 0, &usage); }
    };
    Process Start(const std::vector<std::string>& args, const std::string& input = "/dev/null") {
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(open(input.c_str(), O_RDONLY), 0);
            dup2(open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open((dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            std::vector<char*> argv{const_cast<char*>(GLYPHRUN_CLI)};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(GLYPHRUN_CLI, argv.data());
            _exit(127);
        }
        return {pid};
    }
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the address sanitizer needs more address space than a memory limit leaves
#else
constexpr bool kSanitized = false;
#endif

// What a run prints to standard output: the data codewords and the size
// with --codewords, else the size and its use.
TEST_F(Cli, PrintsCodewordsAndSize) {
    const std::string text = "ABCDEFGHIJKLMNOPQ";  // 17 codewords in ASCII: 12x36 holds 22, 8x48 18
    const std::string macro = "\"$(printf '[)>\\03605\\035AB\\036\\004')\"";
    const std::pair<std::string, std::string> cases[] = {
        {"--codewords 123456", "142 164 186\n10x10\n"},
        {"--codewords -s rect AB", "66 67\n8x18\n"},
        {"--codewords ABCDEFGHIJ", "230 89 233 109 36 128 95 75\n14x14\n"},  // minimal by default
        // The lenient end: a digit pair as the last codeword after C40, a size smaller.
        {"--codewords --lenient-end '2.2B1 3B99'", "230 37 182 39 222 19 232 229\n14x14\n"},
        // Arguments are bytes: a Latin-1 e-acute is the one byte 0xE9 (Upper
        // Shift, then 0xE9 - 127), not converted to UTF-8 on the way.
        {"--binary --codewords \"$(printf '\\351')\"", "235 106\n10x10\n"},
        // Sizes by dimensions; a DMRE size only when asked for: by index, by
        // dimensions, or with the rectangles through -s dmre or --dmre.
        {"--codewords -s 16x48 AB", "66 67\n16x48\n"},
        {"--codewords -s 45 AB", "66 67\n26x40\n"},
        {"-m ascii -s rect " + text, "12x36 symbol, 17 of 22 data codewords used\n"},
        {"-m ascii -s dmre " + text, "8x48 symbol, 17 of 18 data codewords used\n"},
        {"-m ascii -s rect --dmre " + text, "8x48 symbol, 17 of 18 data codewords used\n"},
        {"-m ascii --dmre -s rect " + text, "8x48 symbol, 17 of 18 data codewords used\n"},
        {"-m ascii -s 30 " + text, "8x48 symbol, 17 of 18 data codewords used\n"},
        {"-m ascii -s 8x48 " + text, "8x48 symbol, 17 of 18 data codewords used\n"},
        // One codeword line per symbol of a Structured Append message, then their sizes.
        {"--codewords --structapp 2 --structapp-id 3,4 ABCD", "233 15 3 4 66 67\n233 31 3 4 68 69\n14x14 14x14\n"},
        // A macro message in fewer codewords.
        {"--codewords " + macro, "236 66 67\n10x10\n"},
        {"--codewords --no-macro " + macro, "92 42 63 31 135 30 66 67 31 5\n16x16\n"},
    };
    for (const auto& [args, out] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 0) << args;
        EXPECT_EQ(o.out, out) << args;
    }
    EXPECT_EQ(Run("--binary --codewords -i -", std::string("\xc8\0", 2)).out, "235 73 1\n10x10\n");
    EXPECT_EQ(Run("--codewords --reader-init SETUP").out.rfind("234 ", 0), 0u);  // the flag's codeword first
}

TEST_F(Cli, FailuresExitOneAndLeaveExistingFilesAlone) {
    const std::string path = dir + "/keep.pgm";
    std::ofstream(path) << "precious";
    Outcome o = Run("-s 0 -o " + Quote(path) + " ABCDEFGH");  // its message: EachFailureIsOneLineThatSaysWhatWentWrong
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(Slurp(path), "precious");
    o = Run("-i -", "");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "glyphrun-cli: standard input: the input is empty\n");  // names the input that failed
    o = Run("-i " + Quote(dir + "/missing"));
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("cannot open"), std::string::npos);
}

// A link is followed and kept. (Links to devices and dangling links are
// safe_file_test's.)
TEST_F(Cli, ReplacesFilesThroughSymlinksAndKeepsThemWhole) {
    const std::string target = dir + "/real.pgm", link = dir + "/link.pgm";
    std::ofstream(target) << "old";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(Run("-o " + Quote(link) + " A").status, 0);
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(Slurp(target).substr(0, 3), "P5\n");
}

TEST_F(Cli, StandardOutputAsAFileKeepsWhatWasAppendedBefore) {
    const std::string log = dir + "/log", out = dir + "/out.pgm";
    std::ofstream(log) << "earlier line\n";
    ASSERT_EQ(symlink("/dev/stdout", out.c_str()), 0);
    const std::string command = std::string(GLYPHRUN_CLI) + " --codewords -o " + Quote(out) + " 123456 >>" + Quote(log);
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string written = Slurp(log);
    EXPECT_EQ(written.rfind("earlier line\n142 164 186\n10x10\nP5\n", 0), 0u) << written.substr(0, 40);
}

// The files that users get, in every format and scheme, turned or not, read
// back by a reader we did not write and scan to the text.
TEST_F(Cli, EveryFormatSchemeAndRotationScans) {
    const std::string text = "LOT 2026 12 07";
    for (const char* mode : {"auto", "minimal", "ascii", "c40", "text", "x12", "edifact", "base256"})
        for (const std::string options :
             {"-o {}.png", "-o {}.gif", "-o {}.bmp", "--png-interlace -o {}.png", "--gif-codec plain -o {}.gif",
              "--gif-codec rle --fg 203080 --bg f0f0a0 -o {}.gif", "-s rect --rotate 90 -o {}.pgm",
              "-s rect --rotate 90 -o {}.svg", "-s rect --rotate 90 -o {}.eps"}) {
            std::string args = options;
            args.replace(args.find("{}"), 2, Quote(dir + "/symbol"));
            const Outcome o = Run("-m " + std::string(mode) + " --module 3 --margin 6 " + args + " " + Quote(text));
            ASSERT_EQ(o.status, 0) << mode << " " << options << ": " << o.err;
            const auto picture = PictureIn(dir + "/symbol" + options.substr(options.rfind('.')));
            ASSERT_TRUE(picture) << mode << " " << options;
            EXPECT_EQ(glyphrun::testing::ReadSymbolIn(*picture, 3), text) << mode << " " << options;
            const bool turned = options.find("--rotate") != std::string::npos;  // a rectangle stood on its end
            EXPECT_TRUE(!turned || picture->height > picture->width) << mode << " " << options;
        }
    const Outcome piped = Run("-o - --module 2 " + Quote(text));
    ASSERT_EQ(piped.status, 0);
    const auto picture = glyphrun::testing::ReadWithStb(glyphrun::testing::Bytes(piped.out.begin(), piped.out.end()));
    ASSERT_TRUE(picture);
    EXPECT_EQ(glyphrun::testing::ReadSymbolIn(*picture, 2), text);
}

// A write that a file-size limit stops midway fails with a message, and
// the existing file stays as it was.
TEST_F(Cli, FileSizeLimitFailsCleanly) {
    const std::string path = dir + "/big.bmp";
    std::ofstream(path) << "precious";
    const std::string command = "(ulimit -f 8; " + std::string(GLYPHRUN_CLI) + " --module 40 -o " + Quote(path) +
                                " ABCDEFGHIJKLMNOP 2>" + Quote(dir + "/err") + ")";
    const int raw = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1);
    EXPECT_NE(Slurp(dir + "/err").find("File too large"), std::string::npos) << Slurp(dir + "/err");
    EXPECT_EQ(Slurp(path), "precious");
}

TEST_F(Cli, BadUsageExitsTwo) {
    for (const char* args :
         {"", "--module 0 A", "--margin -1 A", "--module x A", "-s 48 A", "-s big A", "-m foo A", "--bogus A", "A B",
          "-i - A", "-o", "-o x.jpg A", "--fg red A", "--bg 12345 A", "--gif-codec zip A", "--batch -o x.png -i -",
          "--batch -o - -i -", "--batch --codewords -o #.png A", "-j 0 A", "-s 16x47 A", "-s 16x A", "--list-sizes A",
          "--gs1 --utf8 A", "--binary --utf8 A", "--dmre A", "--dmre -s 26x48 A", "--eci 1000000 A", "--utf8 --eci 3 A",
          "--xdim 0.5 -o x.png A", "--xdim 0 -o x.svg A", "--lenient-end -m c40 A", "--rotate 45 A",
          // exactly what is meant: no spaces, signs, hexadecimal or other letters
          "--module ' 4' A", "-j +4 A", "-s ' 10x10' A", "-s '10x 10' A", "-s 10x10x A", "--xdim 0x10 -o x.svg A",
          "--xdim ' 1' -o x.svg A", "--margin 1e3 A",
          // colours too alike for a scanner; a transparent background is the white paper
          "--fg ffffff --bg ffffff A", "--fg 000000 --bg 101010 A", "--bg 000000 A",
          "--fg ffffff --bg 00000000 -o x.png A", "--batch -i - -o y#.png A",
          // a background partly transparent, bars not opaque
          "--bg ffffff80 -o x.png A", "--fg 00000000 -o x.png A", "--bg none -o x.bmp A", "--bg none -o x.pgm A",
          // what claims the first codeword, and Structured Append's files
          "--reader-init --gs1 A", "--reader-init --structapp 2 A", "--structapp 1 A", "--structapp 17 A",
          "--structapp-id 1,2 A", "--structapp 2 --structapp-id 0,1 A", "--structapp 2 --structapp-id 1 A",
          "--structapp 2 --batch -i - -o #.png", "--structapp 2 -o - A"}) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_EQ(o.err.rfind("glyphrun-cli: ", 0), 0u) << args;
    }
    EXPECT_EQ(Run("-s 10X10 A")
                  .err.rfind("glyphrun-cli: --size takes square, rect, dmre, an index 0-47 or ROWSxCOLS such as 16x48 "
                             "(--list-sizes shows them), not '10X10'\n",
                             0),
              0u);
    const Outcome help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("bytes exactly as given"), std::string::npos);
}

TEST_F(Cli, ListsTheSizeTable) {
    const Outcome table = Run("--list-sizes");
    EXPECT_EQ(table.status, 0);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 49);
    for (const char* row : {"    0  10x10       3      5", "   23  144x144  1558    620", "   29  16x48      49     28",
                            "   30  8x48       18     15  DMRE", "   47  26x64     118     50  DMRE"})
        EXPECT_NE(table.out.find("\n" + std::string(row) + "\n"), std::string::npos) << row;
}

// --iso144 changes 144x144 symbols only.
TEST_F(Cli, Iso144ChangesOnlyTheLargestSymbol) {
    for (const char* size : {"144x144", "26x64", "0"}) {
        ASSERT_EQ(Run(std::string("-s ") + size + " -o " + Quote(dir + "/common.pgm") + " AB").status, 0);
        ASSERT_EQ(Run(std::string("-s ") + size + " --iso144 -o " + Quote(dir + "/iso.pgm") + " AB").status, 0);
        EXPECT_EQ(Slurp(dir + "/common.pgm") != Slurp(dir + "/iso.pgm"), std::string(size) == "144x144") << size;
    }
}

// Every good line becomes a file named by its line number and scans; a bad
// line is reported with its number and does not stop the others.
TEST_F(Cli, BatchWritesEveryGoodLineAndReportsTheBadOnes) {
    const std::string lines = dir + "/lines.txt";
    std::ofstream(lines, std::ios::binary) << "LINE ONE\r\ncafé two\n\nLINE FOUR";  // text, as TEXT: é in ISO 8859-1
    const Outcome o = Run("--batch -i " + Quote(lines) + " --module 2 -o " + Quote(dir + "/label-##.png"));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "glyphrun-cli: " + lines + " line 3: the input is empty\n" +
                         "glyphrun-cli: 3 of 4 symbols written; 1 failed\n");
    const std::pair<const char*, const char*> expected[] = {
        {"01", "LINE ONE"}, {"02", "caf\xe9 two"}, {"04", "LINE FOUR"}};
    for (const auto& [number, text] : expected) EXPECT_EQ(ScannedBytes(dir + "/label-" + number + ".png", 2), text);
    EXPECT_NE(access((dir + "/label-03.png").c_str(), F_OK), 0);
    const Outcome empty = Run("--batch -i - -o " + Quote(dir + "/x-#.png"), "");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "glyphrun-cli: standard input has no lines: no symbol was written\n");
}

// The files do not depend on how many workers wrote them; a line number
// longer than its run of '#' is written whole.
TEST_F(Cli, BatchFilesAreTheSameForAnyNumberOfJobs) {
    std::string input;
    for (int i = 1; i <= 12; ++i) input += "Label " + std::to_string(i * 7919) + "\n";
    for (const char* jobs : {"1", "4"}) {
        const Outcome o =
            Run("--batch -i - -j " + std::string(jobs) + " -o " + Quote(dir + "/j" + jobs + "-#.gif"), input);
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "glyphrun-cli: 12 of 12 symbols written\n");
    }
    for (int i = 1; i <= 12; ++i) {
        const std::string one = Slurp(dir + "/j1-" + std::to_string(i) + ".gif");
        EXPECT_FALSE(one.empty()) << i;
        EXPECT_EQ(one, Slurp(dir + "/j4-" + std::to_string(i) + ".gif")) << i;
    }
}

// Text is UTF-8: what fits ISO 8859-1 is encoded as its bytes with no ECI
// (what readers assume), the rest as UTF-8 under ECI 26; --utf8 always so,
// --binary keeps the bytes, --eci converts to that ECI's character set, and
// --gs1 data reads as GS1. An empty expectation is not checked.
TEST_F(Cli, TextReadsBackAsTyped) {
    const struct {
        std::string args, bytes, text;
        bool eci;
        std::string identifier;
    } cases[] = {
        {Quote("café"), "caf\xe9", "café", false, "]d1"},
        {Quote("Καλημέρα"), "", "Καλημέρα", true, ""},
        {Quote("Grüße, 日本 😀"), "", "Grüße, 日本 😀", true, ""},
        {"--utf8 " + Quote("café"), "caf\xc3\xa9", "café", true, ""},
        {"--binary " + Quote("café"), "caf\xc3\xa9", "", false, "]d1"},  // the old behaviour: the terminal's bytes
        {"--eci 7 " + Quote("Привет"), "", "Привет", true, ""},          // every ECI's set: the text unit's test
        {"--gs1 '(01)09506000134352(10)ABC123(17)261231'", "010950600013435210ABC123\03517261231", "", false, "]d2"},
    };
    const std::string png = dir + "/t.png";
    for (const auto& c : cases) {
        const Outcome o = Run("--module 3 -o " + Quote(png) + " " + c.args);
        ASSERT_EQ(o.status, 0) << c.args << ": " << o.err;
        const auto reading = ReadSymbolInFile(png, 3);
        ASSERT_TRUE(reading) << c.args;
        EXPECT_TRUE(c.bytes.empty() || reading->bytes == c.bytes) << c.args << ": " << reading->bytes;
        EXPECT_TRUE(c.text.empty() || reading->text == c.text) << c.args << ": " << reading->text;
        EXPECT_TRUE(c.identifier.empty() || reading->symbologyIdentifier == c.identifier) << c.args;
        EXPECT_EQ(reading->hasEci, c.eci) << c.args;
    }

    EXPECT_EQ(Run("\"$(printf 'caf\\351')\"").err,
              "glyphrun-cli: the input is not UTF-8: byte 0xE9 at position 4 (--binary encodes bytes as they are)\n");
    const Outcome missing = Run("--eci 7 " + Quote("Прéвет"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "glyphrun-cli: the character U+00E9 at position 3 is not in ECI 7's character set (ISO-8859-5)\n");
}

// --dpi is recorded in PNG and BMP files, and --xdim with it sets the
// module's pixels: round(xdim x dpi / 25.4); an SVG takes --xdim as it is.
TEST_F(Cli, PrintedSizeThroughDpiAndXdim) {
    const std::string png = dir + "/p.png", bmp = dir + "/p.bmp";
    // "LOT 42" is 12 x 12 modules, with the quiet zone 16 modules a side.
    Outcome o = Run("--dpi 300 --xdim 0.5 -o " + Quote(png) + " 'LOT 42'");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");  // 6 pixels are 0.508 mm: within 5 %
    auto picture = glyphrun::testing::ReadWithLibpng(glyphrun::testing::ReadFile(png));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 16 * 6);
    EXPECT_EQ(glyphrun::testing::ReadSymbolIn(*picture, 6), "LOT 42");

    o = Run("--dpi 600 -o " + Quote(bmp) + " 'LOT 42'");
    EXPECT_EQ(o.status, 0) << o.err;
    const glyphrun::testing::Bytes file = glyphrun::testing::ReadFile(bmp);
    ASSERT_GT(file.size(), 46u);
    const auto le32 = [&](size_t at) { return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24; };
    EXPECT_EQ(le32(18), 16 * 4);  // the module stays 4 pixels
    EXPECT_EQ(le32(38), 23622);   // 600 dpi in pixels a metre
    EXPECT_EQ(le32(42), 23622);

    const std::string svg = dir + "/p.svg";  // in millimetres without --dpi
    ASSERT_EQ(Run("--xdim 0.5 -o " + Quote(svg) + " 'LOT 42'").status, 0);
    EXPECT_NE(Slurp(svg).find("width=\"8mm\""), std::string::npos);

    o = Run("--dpi 300 --xdim 0.3 -o " + Quote(png) + " 'LOT 42'");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "glyphrun-cli: warning: --xdim 0.3 at 300 dpi is 4 pixels a module, 0.339 mm when printed\n");
    EXPECT_EQ(
        Run("--xdim 0.5 -o " + Quote(png) + " A")
            .err.rfind(
                "glyphrun-cli: --xdim with a raster output needs --dpi: a module is then xdim x dpi / 25.4 pixels\n",
                0),
        0u);
    o = Run("--dpi 10 --xdim 0.5 -o " + Quote(png) + " A");
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(
        o.err.rfind("glyphrun-cli: --xdim 0.5 at 10 dpi is 0.20 pixels a module; it must come to 1 to 16384\n", 0), 0u);
}

// A transparent background: a transparent palette entry in PNG and GIF, no
// background at all in SVG and EPS (refused for BMP and PGM: BadUsageExitsTwo).
TEST_F(Cli, TransparentBackground) {
    for (const char* args :
         {"--bg none -o {}.png", "--bg f0e0d000 -o {}.png", "--bg 00000000 -o {}.png", "--bg none -o {}.gif"}) {
        std::string command = args;
        const std::string path = dir + "/t" + command.substr(command.rfind('.'));
        command.replace(command.find("{}"), 2, Quote(dir + "/t"));
        const Outcome o = Run("--fg 203080 --module 3 " + command + " 'CLEAR 1'");
        ASSERT_EQ(o.status, 0) << args << ": " << o.err;
        const glyphrun::testing::Bytes file = glyphrun::testing::ReadFile(path);
        const auto picture = command.find(".gif") != std::string::npos ? glyphrun::testing::ReadWithGiflib(file)
                                                                       : glyphrun::testing::ReadWithLibpng(file);
        ASSERT_TRUE(picture) << args;
        EXPECT_EQ(picture->at(0, 0).a, 0) << args;  // the quiet zone
        int bars = 0;
        for (const auto& pixel : picture->pixels)
            bars += pixel.a == 255 && pixel == (glyphrun::testing::Rgba{0x20, 0x30, 0x80, 255});
        EXPECT_GT(bars, 0) << args;
        glyphrun::testing::Picture onPaper = *picture;  // as printed on white
        for (auto& pixel : onPaper.pixels)
            if (pixel.a == 0) pixel = {255, 255, 255, 255};
        EXPECT_EQ(glyphrun::testing::ReadSymbolIn(onPaper, 3), "CLEAR 1") << args;
    }
    ASSERT_EQ(Run("--bg none -o " + Quote(dir + "/t.svg") + " A").status, 0);
    EXPECT_EQ(Slurp(dir + "/t.svg").find("fill=\"#ffffff\""), std::string::npos);
    ASSERT_EQ(Run("--bg none -o " + Quote(dir + "/t.eps") + " A").status, 0);
    EXPECT_EQ(Slurp(dir + "/t.eps").find("1 1 1 setrgbcolor"), std::string::npos);
}

TEST_F(Cli, VerboseSaysWhatWasMade) {
    const std::string png = dir + "/v.png";
    Outcome o = Run("-v -o " + Quote(png) + " 'LABEL-000001 LOT 2026-03-14 QA'");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "glyphrun-cli: 22x22 (index 6), 23 of 30 data codewords, ASCII 23; ISO 8859-1; " + png + "\n");
    o = Run("--verbose -m c40 -o " + Quote(png) + " ABCDEFGH");
    EXPECT_EQ(o.err, "glyphrun-cli: 14x14 (index 2), 8 of 8 data codewords, C40 6, ASCII 2; ISO 8859-1; " + png + "\n");
    o = Run("-v -o " + Quote(png) + " " + Quote("Καλημέρα"));
    EXPECT_NE(o.err.find("; ECI 26 (UTF-8); "), std::string::npos) << o.err;
    o = Run("-v -s 26x48 -o " + Quote(png) + " AB");
    EXPECT_NE(o.err.find("26x48 DMRE (index 46)"), std::string::npos) << o.err;
    std::ofstream(dir + "/lines.txt") << "AB\n";
    o = Run("-v --batch -i " + Quote(dir + "/lines.txt") + " -o " + Quote(dir + "/l-#.png"));
    EXPECT_EQ(o.err, "glyphrun-cli: " + dir +
                         "/lines.txt line 1: 10x10 (index 0), 2 of 3 data codewords, ASCII 2; "
                         "ISO 8859-1; " +
                         dir + "/l-1.png\nglyphrun-cli: 1 of 1 symbols written\n");
}

// A message over several files, each read back in its place.
TEST_F(Cli, StructuredAppendOverSeveralFiles) {
    std::string input;
    for (int i = 0; input.size() < 5000; ++i) input += "LOT " + std::to_string(i * 7919 % 100000) + " ACME/QA; ";
    std::ofstream(dir + "/long.txt", std::ios::binary) << input;
    const Outcome o = Run("-v --structapp auto --structapp-id 17,42 -s 144x144 -i " + Quote(dir + "/long.txt") +
                          " -o " + Quote(dir + "/label.png"));
    ASSERT_EQ(o.status, 0) << o.err;
    const auto count = std::count(o.err.begin(), o.err.end(), '\n');
    ASSERT_GE(count, 2);
    std::string joined;
    for (int part = 1; part <= count; ++part) {
        const std::string path = dir + "/label-" + std::to_string(part) + ".png";
        const std::string place =
            "; symbol " + std::to_string(part) + " of " + std::to_string(count) + ", file id 17,42; ";
        EXPECT_NE(o.err.find(place + path + "\n"), std::string::npos) << o.err;
        const auto reading = ReadSymbolInFile(path, 4);
        ASSERT_TRUE(reading) << path;
        EXPECT_EQ(reading->sequenceIndex, part - 1);
        EXPECT_EQ(reading->sequenceSize, count);
        EXPECT_EQ(reading->sequenceId, std::to_string(17 * 256 + 42));
        joined += reading->bytes;
    }
    EXPECT_EQ(joined, input);
    // '#' in the name takes the number.
    ASSERT_EQ(Run("--structapp 2 -o " + Quote(dir + "/part-#.gif") + " ABCDEFGH").status, 0);
    EXPECT_FALSE(Slurp(dir + "/part-2.gif").empty());
}

// The symbols of one message are replaced all together or not at all, so
// that a reader never joins parts of two messages with one identification:
// a part that cannot be written, or a signal at any moment, leaves the old
// set whole.
TEST_F(Cli, StructuredAppendSetIsReplacedWholeOrNotAtAll) {
    for (const char* letter : {"A", "B"}) std::ofstream(dir + "/" + letter + ".txt") << std::string(1200, *letter);
    const auto args = [&](const char* input, const std::string& name) {
        return std::vector<std::string>{"--structapp",
                                        "4",
                                        "--structapp-id",
                                        "7,7",
                                        "-s",
                                        "144x144",
                                        "--module",
                                        "12",
                                        "-i",
                                        dir + "/" + input + ".txt",
                                        "-o",
                                        dir + "/" + name};
    };
    const auto runToEnd = [&](const std::vector<std::string>& arguments) {
        Process process = Start(arguments);
        process.Wait();
        return WIFEXITED(process.status) ? WEXITSTATUS(process.status) : -1;
    };
    const auto setOf = [&](const std::string& stem) {
        std::vector<std::string> parts;
        for (int part = 1; part <= 4; ++part)
            parts.push_back(Slurp(dir + "/" + stem + "-" + std::to_string(part) + ".pgm"));
        return parts;
    };
    ASSERT_EQ(runToEnd(args("A", "a.pgm")), 0);
    ASSERT_EQ(runToEnd(args("B", "b.pgm")), 0);
    const std::vector<std::string> setA = setOf("a"), setB = setOf("b");
    ASSERT_NE(setA, setB);
    const auto restoreA = [&] {
        for (int part = 1; part <= 4; ++part)
            std::ofstream(dir + "/m-" + std::to_string(part) + ".pgm") << setA[part - 1];
    };

    // The last part's place is gone: the first three stay A's.
    restoreA();
    const std::string last = dir + "/m-4.pgm";
    ASSERT_EQ(unlink(last.c_str()), 0);
    ASSERT_EQ(symlink("missing/m-4.pgm", last.c_str()), 0);
    EXPECT_EQ(runToEnd(args("B", "m.pgm")), 1);
    for (int part = 1; part <= 3; ++part) EXPECT_EQ(setOf("m")[part - 1], setA[part - 1]) << part;
    ASSERT_EQ(unlink(last.c_str()), 0);

    // SIGTERM at moments spread over a run: the set is A's or B's.
    const auto started = std::chrono::steady_clock::now();
    restoreA();
    ASSERT_EQ(runToEnd(args("B", "m.pgm")), 0);
    const auto whole = std::chrono::steady_clock::now() - started;
    for (int eighth = 1; eighth <= 7; ++eighth) {
        restoreA();
        Process process = Start(args("B", "m.pgm"));
        std::this_thread::sleep_for(whole * eighth / 8);
        kill(process.pid, SIGTERM);
        process.Wait();
        const std::vector<std::string> now = setOf("m");
        EXPECT_TRUE(now == setA || now == setB) << "SIGTERM after " << eighth << "/8 of the run";
        for (const std::string& name : Entries()) EXPECT_EQ(name.find(".glyphrun-"), std::string::npos) << name;
    }
}

// Running out of memory fails that input with one line and exit 1; in a
// batch the other lines are still written. (A memory limit and the address
// sanitizer do not go together.)
TEST_F(Cli, OutOfMemoryFailsTheInputNotTheRun) {
    if (kSanitized) GTEST_SKIP() << "address sanitizer";
    // The largest picture: 144 x 144 modules of 112 pixels and a quiet zone of one, 267 MB as PGM
    // and 33 MB as a two-colour image; the program itself needs under 12 MB.
    const std::string digits(3116, '1');
    const auto runLimited = [&](int kilobytes, const std::string& args) {
        const std::string limit = "ulimit -v " + std::to_string(kilobytes) + "; ";
        const int raw =
            std::system(("(" + limit + GLYPHRUN_CLI + " " + args + " 2>" + Quote(dir + "/err") + ")").c_str());
        return Outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", Slurp(dir + "/err")};
    };
    Outcome o = runLimited(250000, "--module 112 --quiet-zone 1 -o " + Quote(dir + "/x.pgm") + " " + digits);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "glyphrun-cli: out of memory\n");  // and nothing from the library
    for (const char* name : {"/x.png", "/x.gif", "/x.bmp"}) {
        o = runLimited(30000, "--module 112 --quiet-zone 1 -o " + Quote(dir + name) + " " + digits);
        EXPECT_EQ(o.status, 1) << name;
        EXPECT_EQ(o.err, "glyphrun-cli: out of memory\n") << name;
    }
    std::ofstream(dir + "/lines.txt") << digits << "\nSMALL\n";
    o = runLimited(250000, "--batch -j1 --module 112 --quiet-zone 1 -i " + Quote(dir + "/lines.txt") + " -o " +
                               Quote(dir + "/l-#.pgm"));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "glyphrun-cli: " + dir + "/lines.txt line 1: out of memory\n" +
                         "glyphrun-cli: 1 of 2 symbols written; 1 failed\n");
    EXPECT_EQ(Slurp(dir + "/l-2.pgm").substr(0, 3), "P5\n");

    // Under any limit the program starts at all, it writes the file or says
    // "out of memory": it never aborts, even where the limit leaves the C++
    // runtime no memory of its own for throwing.
    int written = 0;
    for (int kilobytes = 4000; written < 20 && kilobytes < 64000; kilobytes += 8) {
        o = runLimited(kilobytes, "-o " + Quote(dir + "/small.png") + " LABEL");
        if (o.status == 127) continue;  // the loader's own failure: the program never started
        EXPECT_TRUE(o.status == 0 || (o.status == 1 && o.err == "glyphrun-cli: out of memory\n"))
            << kilobytes << " kB: " << o.status << " " << o.err;
        written = o.status == 0 ? written + 1 : 0;
    }
    // Many workers in little memory: lines fail, the run ends with exit 1
    // and leaves no temporary file.
    const std::string out = dir + "/out";
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    std::string many;
    for (int i = 0; i < 600; ++i) many += "SN-" + std::to_string(100000 + i) + "-" + std::string(i % 200, 'Y') + "\n";
    std::ofstream(dir + "/many.txt") << many;
    for (int run = 0; run < 3; ++run) {
        o = runLimited(100000,
                       "--batch -j 32 --module 10 -i " + Quote(dir + "/many.txt") + " -o " + Quote(out + "/####.png"));
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_NE(o.err.find("out of memory"), std::string::npos) << o.err;
        for (const std::string& name : Entries(out)) ASSERT_EQ(name.find(".glyphrun-"), std::string::npos) << name;
    }
}

// A batch reads its input as a stream: a line too long for any symbol is
// refused by its number without being held, and the lines after it go on;
// an endless line does not grow the process.
TEST_F(Cli, BatchStreamsItsInputInFlatMemory) {
    const std::string lines = dir + "/lines.txt";
    std::ofstream(lines) << "FIRST\n" << std::string(10'000'000, 'X') << "\r\nTHIRD\n" << std::string(65537, 'Y');
    Outcome o = Run("--batch -i " + Quote(lines) + " -o " + Quote(dir + "/s-#.pgm"));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "glyphrun-cli: " + lines + " line 2: the line is longer than 65536 bytes\n" +
                         "glyphrun-cli: " + lines + " line 4: the line is longer than 65536 bytes\n" +
                         "glyphrun-cli: 2 of 4 symbols written; 2 failed\n");
    EXPECT_EQ(Slurp(dir + "/s-3.pgm").substr(0, 3), "P5\n");

    Process endless = Start({"--batch", "-i", "/dev/zero", "-o", dir + "/z-#.pgm"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Slurp(dir + "/stderr").empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // reading on through the endless line
    kill(endless.pid, SIGTERM);
    endless.Wait();
    EXPECT_TRUE(WIFSIGNALED(endless.status) && WTERMSIG(endless.status) == SIGTERM);  // as any program ends
    EXPECT_EQ(Slurp(dir + "/stderr"), "glyphrun-cli: /dev/zero line 1: the line is longer than 65536 bytes\n");
    EXPECT_LT(endless.usage.ru_maxrss, 100 * 1024) << "kB";
}

// Standard output that cannot take the bytes is a failure with its reason.
TEST_F(Cli, FailedStandardOutputIsAFailure) {
    for (const std::string& args : {"--codewords -o " + Quote(dir + "/cw.png") + " X", std::string("--help"),
                                    std::string("--list-sizes"), std::string("X"), std::string("-o - X")}) {
        const Outcome o = Run(args, "", "/dev/full");
        EXPECT_EQ(o.status, 1) << args;
        EXPECT_EQ(o.err, "glyphrun-cli: cannot write to standard output: No space left on device\n") << args;
    }
    // A reader that has gone, with the broken pipe's signal ignored.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGPIPE, SIG_IGN);
        dup2(ends[1], 1);
        dup2(open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        execl(GLYPHRUN_CLI, GLYPHRUN_CLI, "-o", "-", "X", nullptr);
        _exit(127);
    }
    close(ends[1]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    EXPECT_EQ(Slurp(dir + "/err"), "glyphrun-cli: cannot write to standard output: Broken pipe\n");
}

// When the output's folder fails, a batch stops at once with one message;
// two lines that lead to one file through links never overwrite each other.
TEST_F(Cli, BatchStopsOnABrokenPlaceAndKeepsOutputsApart) {
    std::string input;
    for (int i = 1; i <= 1000; ++i) input += "LABEL " + std::to_string(i) + "\n";
    Outcome o = Run("--batch -j4 -i - -o " + Quote(dir + "/missing/l-####.png"), input);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 2) << o.err;
    EXPECT_EQ(o.err.rfind("glyphrun-cli: standard input line 1: cannot write " + dir +
                              "/missing/l-0001.png: " + "No such file or directory\nglyphrun-cli: stopped at line 1",
                          0),
              0u)
        << o.err;

    const std::string out = dir + "/out";
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    ASSERT_EQ(symlink("x.png", (out + "/l-2.png").c_str()), 0);
    ASSERT_EQ(symlink("x.png", (out + "/l-3.png").c_str()), 0);
    ASSERT_EQ(symlink("l-1.png", (out + "/l-4.png").c_str()), 0);
    o = Run("--batch -j4 -i - -o " + Quote(out + "/l-#.png"), "ONE\nTWO\nTHREE\nFOUR\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("line 3: " + out + "/l-3.png is the same file as the output of line 2"), std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("line 4: " + out + "/l-4.png is the same file as the output of line 1"), std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("2 of 4 symbols written; 2 failed"), std::string::npos) << o.err;
    const auto read = [&](const std::string& name) { return ScannedBytes(out + "/" + name, 4); };
    EXPECT_EQ(read("x.png"), "TWO");
    EXPECT_EQ(read("l-1.png"), "ONE");
    // Folders that are links, with the number in the folder's name.
    ASSERT_EQ(mkdir((out + "/d2").c_str(), 0755), 0);
    ASSERT_EQ(symlink("d2", (out + "/d1").c_str()), 0);
    o = Run("--batch -i - -o " + Quote(out + "/d#/x.png"), "ONE\nTWO\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("line 2: " + out + "/d2/x.png is the same file as the output of line 1"), std::string::npos)
        << o.err;
    EXPECT_EQ(read("d2/x.png"), "ONE");

    // With standard error closed, no message lands in a file being written.
    const std::string quiet = dir + "/quiet";
    ASSERT_EQ(mkdir(quiet.c_str(), 0755), 0);
    std::string mixed;
    for (int i = 1; i <= 200; ++i) mixed += i % 2 ? "LABEL " + std::to_string(i) + "\n" : "\n";
    std::ofstream(dir + "/mixed.txt") << mixed;
    std::system((std::string(GLYPHRUN_CLI) + " --batch -j2 -i - -o " + Quote(quiet + "/q-###.pgm") + " <" +
                 Quote(dir + "/mixed.txt") + " 2>&-")
                    .c_str());
    EXPECT_EQ(Entries(quiet).size(), 100u);
    for (const std::string& name : Entries(quiet)) {
        const std::string pgm = Slurp(quiet + "/" + name);
        EXPECT_EQ(pgm.rfind("P5\n", 0), 0u) << name;
        EXPECT_EQ(pgm.find("glyphrun-cli"), std::string::npos) << name;
    }
}

// One line that says what went wrong: names as the user gave them, with
// unprintable bytes escaped so that the terminal's cursor stays; no warning
// about a picture that was never written.
TEST_F(Cli, EachFailureIsOneLineThatSaysWhatWentWrong) {
    const std::string longName = dir + "/" + std::string(252, 'n') + ".png";
    const struct {
        std::string args, err;
    } cases[] = {
        {"-o \"$(printf '" + dir + "/a\\nb\\033[2J/x.png')\" A",
         "cannot write " + dir + "/a\\nb\\x1b[2J/x.png: No such file or directory"},
        {"-o " + Quote(longName) + " A", "cannot write " + longName + ": File name too long"},
        {"--quiet-zone 0 -s 0 -o " + Quote(dir + "/q.png") + " ABCDEFGH",
         "the input needs 8 data codewords but the requested size 10x10 holds 3"},
        {"--structapp 2 " + Quote("\xF0\x9F\x98\x80"),
         "the input cannot be spread over 2 symbols: no symbol may begin inside a UTF-8 character or just before a "
         "GS1 separator, which leaves room for 1 at most"},
    };
    for (const auto& c : cases) {
        const Outcome o = Run(c.args);
        EXPECT_EQ(o.status, 1) << c.args;
        EXPECT_EQ(o.err, "glyphrun-cli: " + c.err + "\n") << c.args;
    }
    EXPECT_EQ(Run("--fg eeeeee --bg none -o " + Quote(dir + "/t.png") + " A")
                  .err.rfind(
                      "glyphrun-cli: --fg and --bg are too close for a scanner: their contrast is 14%, at least 20% is "
                      "needed (a transparent background counts as the white it is printed on)\n",
                      0),
              0u);
}

// A margin that one output takes, every output takes: the picture is at
// most 16384 pixels (or --module units) a side in every format.
TEST_F(Cli, OneQuietZoneRuleForEveryFormat) {
    // In modules by default (2), or in pixels with --margin; below one module works with a warning.
    const std::string png = dir + "/q.png";
    const auto widthOf = [&](const std::string& args, const std::string& warning) {
        const Outcome o = Run("--module 3 -o " + Quote(png) + " " + args + " A");
        EXPECT_EQ(o.status, 0) << args;
        EXPECT_EQ(o.err, warning) << args;
        const auto picture = glyphrun::testing::ReadWithStb(glyphrun::testing::ReadFile(png));
        return picture ? picture->width : -1;
    };
    const std::string below = "glyphrun-cli: warning: a quiet zone of 1 pixels is less than one module (3 pixels); "
                              "readers need at least one\n";
    EXPECT_EQ(widthOf("", ""), 10 * 3 + 2 * 6);
    EXPECT_EQ(widthOf("--quiet-zone 5", ""), 10 * 3 + 2 * 15);
    EXPECT_EQ(widthOf("--quiet-zone 5 --margin 1", below), 10 * 3 + 2 * 1);
    EXPECT_EQ(widthOf("--quiet-zone 0", "glyphrun-cli: warning: a quiet zone of 0 pixels is less than one module (3 "
                                        "pixels); readers need at least one\n"),
              10 * 3);

    for (const char* extension : {".png", ".pgm", ".svg", ".eps"}) {
        const std::string path = Quote(dir + "/q" + extension);
        EXPECT_EQ(Run("--module 1 --margin 5000 -o " + path + " A").status, 0) << extension;
        const Outcome o = Run("--module 1 --margin 9000 -o " + path + " A");
        EXPECT_EQ(o.status, 1) << extension;
        EXPECT_EQ(o.err, "glyphrun-cli: the image would be 18010x18010 pixels; each side must be 1 to 16384\n")
            << extension;
    }
}

}  // namespace
