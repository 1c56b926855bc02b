// glyphrun-cli as a user runs it: exit status, messages, files. The command
// line runs in process through Run; the program itself is started only where
// the process is the point: exit codes, signals, limits, standard streams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "glyphrun/cli.h"
#include "image_readers.h"
#include "reader.h"
#include "temp_folder.h"
#include "verify.h"

namespace {

using glyphrun::testing::Crop;
using glyphrun::testing::ReadFile;
using glyphrun::testing::ReadSymbolIn;
using glyphrun::testing::ReadSymbolInFile;
using glyphrun::testing::ReadWithStb;
using glyphrun::testing::Slurp;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// The words of a command line: split at white space, except inside '...'.
std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> std::quoted(word, '\'');) words.push_back(word);
    return words;
}

class Cli : public glyphrun::testing::TempFolderTest {
protected:
    // Runs the command line in process, `input` its standard input.
    Outcome Run(const std::vector<std::string>& args, const std::string& input = "") {
        FILE* in = std::tmpfile();
        std::fwrite(input.data(), 1, input.size(), in);
        std::rewind(in);
        char* data[2] = {};
        size_t size[2] = {};
        FILE* kept = open_memstream(&data[0], &size[0]);
        FILE* err = open_memstream(&data[1], &size[1]);
        Outcome outcome{glyphrun::cli::Run(args, {in, kept, err}), "", ""};
        for (FILE* stream : {in, kept, err}) std::fclose(stream);
        outcome.out.assign(data[0], size[0]);
        outcome.err.assign(data[1], size[1]);
        for (char* bytes : data) std::free(bytes);
        return outcome;
    }
    Outcome Run(const std::string& line, const std::string& input = "") { return Run(Words(line), input); }

    // The program through the shell, its standard error read back unless
    // `command` sends it elsewhere.
    Outcome Shell(const std::string& command) {
        const int raw = std::system(("(" + command + ") 2>" + dir + "/err").c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, "", Slurp(dir + "/err")};
    }

    // The bytes of the symbol in a raster file; empty when it does not scan.
    static std::string ScannedBytes(const std::string& path, int moduleSize) {
        const auto reading = ReadSymbolInFile(path, moduleSize);
        return reading ? reading->bytes : "";
    }

    // The program started without a shell, so that a test can signal it and
    // wait for it, with a broken pipe's signal ignored; standard output and
    // error go to files in the folder unless `input` and `output` are given.
    struct Process {
        pid_t pid;
        int status = 0;
        rusage usage{};
        void Wait() { wait4(pid, &status, 0, &usage); }
    };
    Process Start(const std::vector<std::string>& args, int input = -1, int output = -1) {
        const pid_t pid = fork();
        if (pid == 0) {
            std::signal(SIGPIPE, SIG_IGN);
            dup2(input >= 0 ? input : open("/dev/null", O_RDONLY), 0);
            dup2(output >= 0 ? output : open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
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
// with --codewords, else the size and its use; the table of sizes.
TEST_F(Cli, PrintsCodewordsAndSize) {
    const std::string text = "ABCDEFGHIJKLMNOPQ";  // 17 codewords in ASCII: 12x36 holds 22, 8x48 18
    const std::string macro = "[)>\03605\035AB\036\004";
    const std::pair<std::string, std::string> cases[] = {
        {"--codewords 123456", "142 164 186\n10x10\n"},
        {"--codewords ABCDEFGHIJ", "230 89 233 109 36 128 95 75\n14x14\n"},  // minimal by default
        {"--codewords --lenient-end '2.2B1 3B99'", "230 37 182 39 222 19 232 229\n14x14\n"},
        {"--binary --codewords \xe9", "235 106\n10x10\n"},  // arguments are bytes, not converted to UTF-8
        {"-m ascii -s rect " + text, "12x36 symbol, 17 of 22 data codewords used\n"},
        {"-m ascii --dmre -s rect " + text, "8x48 symbol, 17 of 18 data codewords used\n"},
        {"-mascii --size=8x48 " + text, "8x48 symbol, 17 of 18 data codewords used\n"},
        {"-m c40 -m ascii --codewords -- -5", "46 54\n10x10\n"},  // the last of twice counts; "--" ends options
        {"--codewords --structapp 2 --structapp-id 3,4 ABCD", "233 15 3 4 66 67\n233 31 3 4 68 69\n14x14 14x14\n"},
        {"--codewords " + macro, "236 66 67\n10x10\n"},
        {"--codewords --no-macro " + macro, "92 42 63 31 135 30 66 67 31 5\n16x16\n"},
    };
    for (const auto& [args, out] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 0) << args << ": " << o.err;
        EXPECT_EQ(o.out, out) << args;
    }
    EXPECT_EQ(Run("--binary --codewords -i -", std::string("\xc8\0", 2)).out, "235 73 1\n10x10\n");
    EXPECT_EQ(Run("--codewords --reader-init SETUP").out.rfind("234 ", 0), 0u);  // the flag's codeword first
    const Outcome table = Run("--list-sizes");
    EXPECT_EQ(table.status, 0);
    EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 49);
    EXPECT_NE(table.out.find("\n   47  26x64     118     50  DMRE\n"), std::string::npos);
}

TEST_F(Cli, BadUsageExitsTwo) {
    const char* const refused[] = {
        "", "--module 0 A", "-m foo A", "-x A", "-i - A", "-o x.jpg A", "--fg red A", "-s 16x47 A", "--list-sizes A",
        // options that clash
        "--batch -o x.png -i -", "--batch -o - -i -", "--gs1 --utf8 A", "--dmre -s 26x48 A", "--utf8 --eci 3 A",
        "--xdim 0 -o x.svg A", "--lenient-end -m c40 A", "--reader-init --gs1 A", "--structapp 2 -o - A",
        // numbers written exactly, and in range
        "--module ' 4' A", "-j +4 A", "-s 10x10x A", "--margin 1e3 A", "--structapp 17 A",
        "--structapp 2 --structapp-id 0,1 A",
        // colours a scanner cannot tell apart, a background partly transparent, or none where there is no alpha
        "--bg 000000 A", "--bg ffffff80 -o x.png A", "--bg none -o x.bmp A",
        // pages: an unknown name, over 5 m, or not a PDF
        "--page A9 -o x.pdf A", "--page 6000x10mm -o x.pdf A", "--page A4 -o x.png A",
        // inks: only in EPS and PDF, only with --cmyk, four percentages
        "--cmyk -o x.png A", "--fg cmyk:0,0,0,100 -o x.pdf A", "--cmyk --fg cmyk:1,2,3 -o x.pdf A",
        // labels: a sheet only for a document of many, a grid with cells, text where a label has room for it
        "--sheet A4 -o x.pdf A", "--batch -i - --sheet A4 -o x-#.pdf", "--batch -i - --sheet A4 --grid 0x3 -o x.pdf",
        "--grid 3x8 -o x.pdf A", "--hri -o x.pgm A", "--hri --structapp 2 -o x.png A", "--font-size 8 -o x.pdf A",
        "--hri --font f.ttf -o x.pdf A", "--batch -i - --sheet A4 --page A5 -o x.pdf",
        // CSV: rows of a batch, their data composed only from them
        "--csv -i x.csv -o x.png", "--data {serial} -o x.png A", "--batch --csv -i x.csv -o out/{serial}.png.txt",
        // segments: the whole input, each with its own ECI
        "--seg 7:x A", "--seg x:abc", "--seg 7:x --gs1", "--seg 7:x -m c40",
        // a report of files with none written
        "--report - A"};
    for (const char* args : refused) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_EQ(o.err.rfind("glyphrun-cli: ", 0), 0u) << args;
        EXPECT_NE(o.err.find("\nTry 'glyphrun-cli --help' for more information.\n"), std::string::npos) << args;
    }
    const std::pair<std::string, std::string> messages[] = {
        {"-s 10X10 A", "--size takes square, rect, dmre, an index 0-47 or ROWSxCOLS such as 16x48 (--list-sizes shows "
                       "them), not '10X10'"},
        {"--batch=yes A", "invalid option '--batch=yes'"},
        {"-i - -o", "option '-o' needs a value"},
        {"A B", "give the text as one argument (quote it if it has spaces)"},
        {"--fg eeeeee --bg none -o t.png A",
         "--fg and --bg are too close for a scanner: their contrast is 14%, at least 20% is needed (a transparent "
         "background counts as the white it is printed on)"},
        {"--xdim 0.5 -o p.png A", "--xdim with a raster output needs --dpi: a module is then xdim x dpi / 25.4 pixels"},
        {"--dpi 10 --xdim 0.5 -o p.png A", "--xdim 0.5 at 10 dpi is 0.20 pixels a module; it must come to 1 to 16384"},
        {"--batch -i - --sheet A4 --grid 3x0 -o x.pdf",
         "--grid takes COLSxROWS, labels across and down, each 1 to 100, such as 3x8, not '3x0'"},
    };
    for (const auto& [args, message] : messages)
        EXPECT_EQ(Run(args).err.substr(0, message.size() + 15), "glyphrun-cli: " + message + "\n") << args;
    const Outcome help = Run("--module 3 --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("bytes exactly as given"), std::string::npos);
}

// Every option that --help lists is described in the manual, and every one
// that makes a symbol in the README's summary.
TEST_F(Cli, TheManualAndReadmeDescribeEveryOption) {
    const std::string manual = Slurp(GLYPHRUN_SOURCE_DIR "/man/glyphrun-cli.1");
    const std::string readme = Slurp(GLYPHRUN_SOURCE_DIR "/README.md");
    const std::string help = Run("--help").out;
    const std::regex option("\n  (?:-., |    )(--[a-z0-9-]+)");
    int options = 0;
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it, ++options) {
        const std::string name = (*it)[1];
        EXPECT_NE(manual.find("\\fB" + std::regex_replace(name, std::regex("-"), "\\-") + "\\f"), std::string::npos)
            << name;
        EXPECT_TRUE(name == "--help" || name == "--version" || std::regex_search(readme, std::regex(name + "[ \n`]")))
            << name;
    }
    EXPECT_GE(options, 30);
}

// An input that fails exits 1 with one line that says what went wrong:
// names as the user gave them, with unprintable bytes escaped so that the
// terminal's cursor stays; no warning about a picture never written, and
// an existing file left alone.
TEST_F(Cli, EachFailureIsOneLineThatSaysWhatWentWrong) {
    const std::string keep = Keep("keep.pgm"), longName = dir + "/" + std::string(252, 'n') + ".png";
    const std::pair<std::string, std::string> cases[] = {
        {"--quiet-zone 0 -s 0 -o " + keep + " ABCDEFGH",
         "the input needs 8 data codewords but the requested size 10x10 holds 3"},
        {"-i -", "standard input: the input is empty"},  // names the input that failed
        {"-i " + dir + "/missing", "cannot open " + dir + "/missing: No such file or directory"},
        {"-o '" + dir + "/a\nb\x1b[2J/x.png' A",
         "cannot write " + dir + "/a\\nb\\x1b[2J/x.png: No such file or directory"},
        {"-o " + longName + " A", "cannot write " + longName + ": File name too long"},
        {"caf\xe9", "the input is not UTF-8: byte 0xE9 at position 4 (--binary encodes bytes as they are)"},
        {"--batch -i - -o " + dir + "/x-#.png", "standard input has no lines: no symbol was written"},
    };
    for (const auto& [args, err] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 1) << args;
        EXPECT_EQ(o.err, "glyphrun-cli: " + err + "\n") << args;
    }
    EXPECT_EQ(Slurp(keep), "precious");
}

// Each format by its name and each way of taking the text once, read back by a reader we did not write (the
// schemes, codecs and character sets are other tests'). An empty expectation is not checked.
TEST_F(Cli, EveryFormatScansAsTyped) {
    const struct {
        std::string output, args, text, bytes;
        bool eci;
        std::string identifier;
    } cases[] = {
        {"png", "café", "café", "caf\xe9", false, "]d1"},  // UTF-8 in, ISO 8859-1 bytes without ECI when it fits
        {"gif", "--utf8 --gif-codec rle --fg 203080 --bg f0f0a0 café", "café", "caf\xc3\xa9", true, ""},
        {"bmp", "--binary café", "", "caf\xc3\xa9", false, "]d1"},  // the terminal's bytes
        {"pgm", "-s rect --rotate 90 --eci 7 Привет", "Привет", "", true, ""},
        {"png", "--png-interlace --gs1 (01)09506000134352(10)ABC123(17)261231", "",
         "010950600013435210ABC123\03517261231", false, "]d2"},
        {"-", "Καλημέρα", "Καλημέρα", "", true, ""},  // standard output: PNG
    };
    for (const auto& c : cases) {
        const std::string path = c.output == "-" ? "-" : dir + "/symbol." + c.output;
        const Outcome o = Run("--module 3 --margin 6 -o " + path + " " + c.args);
        ASSERT_EQ(o.status, 0) << c.args << ": " << o.err;
        const auto picture =
            ReadWithStb(path == "-" ? glyphrun::testing::Bytes(o.out.begin(), o.out.end()) : ReadFile(path));
        ASSERT_TRUE(picture) << c.args;
        const auto reading = glyphrun::testing::ReadSymbolFullyIn(*picture, 3);
        ASSERT_TRUE(reading) << c.args;
        EXPECT_TRUE(c.text.empty() || reading->text == c.text) << c.args << ": " << reading->text;
        EXPECT_TRUE(c.bytes.empty() || reading->bytes == c.bytes) << c.args << ": " << reading->bytes;
        EXPECT_EQ(reading->hasEci, c.eci) << c.args;
        EXPECT_TRUE(c.identifier.empty() || reading->symbologyIdentifier == c.identifier) << c.args;
        EXPECT_TRUE(c.args.find("--rotate") == std::string::npos || picture->height > picture->width) << c.args;
    }
    // The documents by their names, with no background at all under --bg none.
    for (const auto& [name, start, white] : {std::tuple{"/t.svg", "<?xml", "fill=\"#ffffff\""},
                                             {"/t.eps", "%!PS-Adobe-3.0 EPSF-3.0\n", "1 1 1 setrgbcolor"}}) {
        ASSERT_EQ(Run("--bg none -o " + dir + name + " A").status, 0) << name;
        EXPECT_TRUE(Slurp(dir + name).starts_with(start)) << name;
        EXPECT_EQ(Slurp(dir + name).find(white), std::string::npos) << name;
    }
    ASSERT_EQ(Run("-s 144x144 -o " + dir + "/common.pgm AB").status, 0);
    ASSERT_EQ(Run("-s 144x144 --iso144 -o " + dir + "/iso.pgm AB").status, 0);
    EXPECT_NE(Slurp(dir + "/common.pgm"), Slurp(dir + "/iso.pgm"));
}

// Every good line becomes a file named by its line number, whole when longer than the run of '#', that scans
// and is the same for any number of workers; a bad line (empty, or too long for any symbol and never held
// whole) is reported with its number and does not stop the others.
TEST_F(Cli, BatchWritesEveryGoodLineAndReportsTheBadOnes) {
    const std::string lines = dir + "/lines.txt", said = "glyphrun-cli: " + lines + " line ";
    std::ofstream(lines, std::ios::binary) << "LINE ONE\r\ncafé two\n\nLINE FOUR\n"  // text, as TEXT: é in ISO 8859-1
                                           << std::string(10'000'000, 'X') << "\r\nLINE SIX\n7\n8\n9\nLINE TEN\n"
                                           << std::string(65537, 'Y');
    for (const std::string jobs : {"1", "4"}) {
        const Outcome o = Run("--batch -j " + jobs + " -i " + lines + " --module 2 -o " + dir + "/j" + jobs + "-#.png");
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err,
                  said + "3: the input is empty\n" + said + "5: the line is longer than 65536 bytes\n" + said +
                      "11: the line is longer than 65536 bytes\nglyphrun-cli: 8 of 11 symbols written; 3 failed\n")
            << jobs;
    }
    const std::pair<const char*, const char*> expected[] = {
        {"1", "LINE ONE"}, {"2", "caf\xe9 two"}, {"4", "LINE FOUR"}, {"6", "LINE SIX"}, {"10", "LINE TEN"}};
    for (const auto& [number, text] : expected) EXPECT_EQ(ScannedBytes(dir + "/j1-" + number + ".png", 2), text);
    EXPECT_NE(access((dir + "/j1-3.png").c_str(), F_OK), 0);
    for (int line = 1; line <= 10; ++line) {
        const std::string name = "-" + std::to_string(line) + ".png";
        EXPECT_EQ(Slurp(dir + "/j1" + name), Slurp(dir + "/j4" + name)) << line;
    }
}

// When the output's folder fails, a batch stops at once with one message;
// two lines that lead to one file through links never overwrite each other.
TEST_F(Cli, BatchStopsOnABrokenPlaceAndKeepsOutputsApart) {
    std::string input;
    for (int i = 1; i <= 1000; ++i) input += "LABEL " + std::to_string(i) + "\n";
    Outcome o = Run("--batch -j4 -i - --report " + dir + "/r.jsonl -o " + dir + "/missing/l-####.png", input);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 2) << o.err;
    EXPECT_TRUE(o.err.starts_with("glyphrun-cli: standard input line 1: cannot write " + dir +
                                  "/missing/l-0001.png: No such file or directory\nglyphrun-cli: stopped at line 1"))
        << o.err;
    // The report still has a line for every input, each failed.
    std::ifstream report(dir + "/r.jsonl");
    int reported = 0;
    for (std::string line; std::getline(report, line); ++reported) {
        const nlohmann::json json = nlohmann::json::parse(line);
        EXPECT_EQ(json["data"], "LABEL " + std::to_string(reported + 1)) << line;
        EXPECT_TRUE(json.contains("error")) << line;
    }
    EXPECT_EQ(reported, 1000);

    const std::string out = dir + "/out";
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    ASSERT_EQ(symlink("x.png", (out + "/l-2.png").c_str()), 0);
    ASSERT_EQ(symlink("x.png", (out + "/l-3.png").c_str()), 0);
    ASSERT_EQ(symlink("l-1.png", (out + "/l-4.png").c_str()), 0);
    o = Run("--batch -j4 -i - -o " + out + "/l-#.png", "ONE\nTWO\nTHREE\nFOUR\n");
    EXPECT_EQ(o.status, 1);
    for (const std::string& message : {"line 3: " + out + "/l-3.png is the same file as the output of line 2",
                                       "line 4: " + out + "/l-4.png is the same file as the output of line 1",
                                       std::string("2 of 4 symbols written; 2 failed")})
        EXPECT_NE(o.err.find(message), std::string::npos) << o.err;
    const auto read = [&](const std::string& name) { return ScannedBytes(out + "/" + name, 4); };
    EXPECT_EQ(read("x.png"), "TWO");  // written through the link, which is kept
    EXPECT_EQ(read("l-1.png"), "ONE");
    struct stat link {};
    EXPECT_TRUE(lstat((out + "/l-2.png").c_str(), &link) == 0 && S_ISLNK(link.st_mode));
}

// A transparent background, by name or by an alpha of 0, in the bars' colour; white on paper, it scans.
TEST_F(Cli, TransparentBackground) {
    for (const std::string bg : {"none", "f0e0d000"}) {
        ASSERT_EQ(Run("--fg 203080 --module 3 --bg " + bg + " -o " + dir + "/t.png 'CLEAR 1'").status, 0) << bg;
        auto picture = glyphrun::testing::ReadWithLibpng(ReadFile(dir + "/t.png"));
        ASSERT_TRUE(picture) << bg;
        EXPECT_EQ(picture->at(0, 0).a, 0) << bg;                                               // the quiet zone
        EXPECT_EQ(picture->at(6, 6), (glyphrun::testing::Rgba{0x20, 0x30, 0x80, 255})) << bg;  // the corner module
        for (auto& pixel : picture->pixels)
            if (pixel.a == 0) pixel = {255, 255, 255, 255};
        EXPECT_EQ(ReadSymbolIn(*picture, 3), "CLEAR 1") << bg;
    }
}

TEST_F(Cli, VerboseSaysWhatWasMade) {
    const std::string png = dir + "/v.png";
    const std::pair<std::string, std::string> cases[] = {
        {"-v 'LABEL-000001 LOT 2026-03-14 QA'", "22x22 (index 6), 23 of 30 data codewords, ASCII 23; ISO 8859-1; "},
        {"--verbose -m c40 Καλημέρα", "; ECI 26 (UTF-8); "},
        {"-v --dpi 300 --xdim 0.5 'SERIAL000001 LOT 42'",
         "; module 0.508 mm (6 dots at 300 dpi; 0.500 mm asked), symbol 11.18 × 11.18 mm with its quiet zone; "},
    };
    for (const auto& [args, said] : cases) {
        const Outcome o = Run("-o " + png + " " + args);
        EXPECT_EQ(o.status, 0) << args;
        EXPECT_NE(o.err.find(said), std::string::npos) << o.err;
        EXPECT_TRUE(o.err.ends_with("; " + png + "\n")) << o.err;
    }
    const Outcome o = Run("-v --batch -i - -o " + dir + "/l-#.png", "AB\n");
    EXPECT_EQ(o.err, "glyphrun-cli: standard input line 1: 10x10 (index 0), 2 of 3 data codewords, ASCII 2; "
                     "ISO 8859-1; " +
                         dir + "/l-1.png\nglyphrun-cli: 1 of 1 symbols written\n");
}

// A batch into one PDF: every label on its page or in its cell, the file there only when every
// line made its label; Structured Append parts are consecutive labels of one document.
TEST_F(Cli, BatchIntoOnePdfIsWholeOrNotAtAll) {
    const std::string lines = dir + "/lines.txt", pdf = dir + "/labels.pdf";
    std::ofstream(lines) << "SERIAL-1\nSERIAL-2\nSERIAL-3\nSERIAL-4\n";
    const auto pages = [&](const std::string& file) {
        const std::string text = Shell("pdfinfo " + file + " | grep '^Pages:' >&2").err;
        return text.empty() ? -1 : std::stoi(text.substr(6));
    };
    for (const std::string jobs : {"1", "3"}) {
        const Outcome o =
            Run("--batch -j " + jobs + " -i " + lines + " --sheet A6 --grid 1x3 --xdim 0.5 --hri -o " + pdf);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "glyphrun-cli: 4 labels written to " + pdf + "\n");
        EXPECT_EQ(pages(pdf), 2);
        EXPECT_EQ(Shell("pdftotext " + pdf + " - | grep -c SERIAL- | grep -qx 4").status, 0);
    }
    EXPECT_EQ(Run("--batch -i " + lines + " --page 50x30mm --xdim 0.5 -o " + pdf).status, 0);
    EXPECT_EQ(pages(pdf), 4);
    // --mkdir makes the folders of every kind of output.
    for (const std::string& args : {"-o " + dir + "/m1/a/x.png X", "--structapp 2 -o " + dir + "/m2/p-#.png TWO",
                                    "--batch -i " + lines + " -o " + dir + "/m3/all.pdf"})
        EXPECT_EQ(Run("--mkdir " + args).status, 0) << args;
    for (const char* made : {"/m1/a/x.png", "/m2/p-1.png", "/m2/p-2.png", "/m3/all.pdf"})
        EXPECT_EQ(access((dir + made).c_str(), F_OK), 0) << made;
    // A bad line, or a label larger than its cell: no document, the old one kept, and a report
    // that claims no label written.
    const std::string kept = Keep("kept.pdf");
    std::ofstream(lines, std::ios::app) << "\n";
    const auto reportErrors = [](const std::string& report) {
        std::vector<std::string> errors;
        std::istringstream in(report);
        for (std::string line; std::getline(in, line);)
            errors.push_back(nlohmann::json::parse(line).value("error", ""));
        return errors;
    };
    Outcome o = Run("--batch -i " + lines + " --sheet A6 --grid 1x3 --report - -o " + kept);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.ends_with("glyphrun-cli: 1 of 5 labels failed: " + kept + " was not written\n")) << o.err;
    const std::string unwritten = "1 of 5 labels failed: " + kept + " was not written";
    EXPECT_EQ(reportErrors(o.out),
              (std::vector<std::string>{unwritten, unwritten, unwritten, unwritten, "the input is empty"}));
    o = Run("--batch -i " + lines + " --sheet A6 --grid 10x10 --xdim 1 --report - -o " + kept);
    EXPECT_EQ(o.status, 1);
    const std::string tooLarge = "the label is 18.0 x 18.0 mm, larger than its cell, 10.5 x 14.8 mm";
    EXPECT_TRUE(o.err.ends_with("glyphrun-cli: " + lines + " line 1: " + tooLarge + ": " + kept + " was not written\n"))
        << o.err;
    EXPECT_EQ(reportErrors(o.out).front(), tooLarge);
    EXPECT_EQ(Slurp(kept), "precious");
    EXPECT_EQ(Entries(), (std::set<std::string>{"err", "kept.pdf", "labels.pdf", "lines.txt", "m1", "m2", "m3"}));
    EXPECT_EQ(Run("--structapp 3 --caption PART -o " + pdf + " 'ONE MESSAGE OVER THREE SYMBOLS'").status, 0);
    EXPECT_EQ(pages(pdf), 3);
}

// CSV rows as a spreadsheet exports them, each a symbol named by its own value in a folder made for
// them; a row that cannot be one, or whose value would name a file elsewhere (or twice), fails alone.
TEST_F(Cli, CsvRowsBecomeSymbolsNamedByTheirValues) {
    struct Row {
        std::string csv;       // the row as written in the file
        std::string expected;  // the serial read back from out/SERIAL.png, or the row's message
    };
    const Row rows[] = {
        {"A1,\"Widget, large\"\r\n", "A1"},
        {"\"A2\",\"He said \"\"hi\"\"\"\r\n", "A2"},
        {"A3,\"two\r\nlines\"\r\n\r\n", "A3"},  // a line end inside quotes, then an empty line
        {"A4\r\n", "the row has 1 fields where the header has 2"},
        {"A5,\"" + std::string(70000, 'x') + "\"\r\n", "the row is longer than 65536 bytes"},
        {"A6,\"open\"x\r\n", "the row is not CSV: a quoted field is followed by more than a comma, or never closed"},
        {"../x,n\r\n", "the serial '../x' cannot name a file: it has a '/'"},
        {"a\\b,n\r\n", "the serial 'a\\\\b' cannot name a file: it has a '\\\\'"},  // the console doubles a backslash
        {"..,n\r\n", "the serial '..' cannot name a file: it names a folder, not a file"},
        {"-rf,n\r\n", "the serial '-rf' cannot name a file: it starts with '-'"},
        {std::string("a\0b,n\r\n", 7), "the serial 'a\\x00b' cannot name a file: it has a control character"},
        {"\"a\nb\",n\r\n", "the serial 'a\\nb' cannot name a file: it has a control character"},
        {std::string(300, 's') + ",n\r\n",
         "the serial '" + std::string(300, 's') + "' cannot name a file: it is longer than 255 bytes"},
        {"\"A7\r\",n\r\n", "the serial 'A7\\r' cannot name a file: it has a control character"},  // the '\r' kept
        {"A8,\"n\"\rX\r\n", "the row is not CSV: a quoted field is followed by more than a comma, or never closed"},
        {"A9" + std::string(70000, ',') + "\r\n", "the row is longer than 65536 bytes"},  // its commas counted
        {"A1,again\r\n", dir + "/out/A1.png is the same file as the output of row 1"},
    };
    std::string csv = "\xEF\xBB\xBFserial,name\r\n", said;
    for (size_t i = 0; i < std::size(rows); ++i) {
        csv += rows[i].csv;
        if (!rows[i].expected.starts_with('A') || rows[i].expected.size() > 2)
            said += "glyphrun-cli: " + dir + "/items.csv row " + std::to_string(i + 1) + ": " + rows[i].expected + "\n";
    }
    std::ofstream(dir + "/items.csv", std::ios::binary) << csv;
    const std::string run = "--batch --csv -i " + dir + "/items.csv --data {serial} --caption {name} --hri --mkdir -o ";
    const Outcome o = Run(run + dir + "/out/{serial}.png");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, said + "glyphrun-cli: 3 of 17 symbols written; 14 failed\n");
    EXPECT_EQ(Entries(dir + "/out"), (std::set<std::string>{"A1.png", "A2.png", "A3.png"}));
    EXPECT_EQ(Entries(), (std::set<std::string>{"items.csv", "out"}));  // nothing outside the folder
    for (const char* serial : {"A1", "A2", "A3"}) {
        const auto picture = ReadWithStb(ReadFile(dir + "/out/" + serial + ".png"));
        ASSERT_TRUE(picture);
        EXPECT_EQ(ReadSymbolIn(Crop(*picture, (picture->width - 56) / 2, 0, 56, 56), 4),
                  serial);  // 10 x 10 and its quiet zone
    }
    // The same rows into one PDF: whole or not at all; a column the header lacks is bad usage.
    EXPECT_EQ(Run(run + dir + "/sheet.pdf --sheet A4 --grid 3x8").status, 1);
    EXPECT_EQ(Run(run + dir + "/{lot}.png").err,
              "glyphrun-cli: --output '" + dir +
                  "/{lot}.png': the column 'lot' is not in the header (serial, name) of " + dir +
                  "/items.csv\nTry 'glyphrun-cli --help' for more information.\n");
    std::ofstream(dir + "/good.csv") << "serial,name\nB1,\"first\nline\"\nB2,second\n";
    EXPECT_EQ(Run("--batch --csv -i " + dir + "/good.csv --caption {name} --hri --sheet A6 --grid 1x2 -o " + dir +
                  "/sheet.pdf")
                  .status,
              0);
    EXPECT_EQ(Shell("pdftotext " + dir + "/sheet.pdf - | tr -s '\\n' ' ' | grep -q 'B1 first line B2 second'").status,
              0);
    // The data is the first column by default, whatever its name; a header that is not CSV says so.
    std::ofstream(dir + "/braces.csv") << "id{x},n\nC1,a\n";
    EXPECT_EQ(Run("--batch --csv -i " + dir + "/braces.csv -o " + dir + "/c-#.png").status, 0);
    EXPECT_EQ(ScannedBytes(dir + "/c-1.png", 4), "C1");
    std::ofstream(dir + "/bad.csv") << "\"id\"x,n\nC1,a\n";
    EXPECT_EQ(Run("--batch --csv -i " + dir + "/bad.csv -o " + dir + "/c-#.png").err,
              "glyphrun-cli: " + dir +
                  "/bad.csv: the header row is not CSV: a quoted field is followed by more than a comma, or never "
                  "closed\n");
    // A row named by its value as the report's own file fails alone; the report keeps its lines.
    const Outcome named =
        Run("--batch --csv -i " + dir + "/good.csv --report " + dir + "/B1.png -o " + dir + "/{serial}.png");
    EXPECT_NE(named.err.find("row 1: " + dir + "/B1.png is the report's file\n"), std::string::npos) << named.err;
    const std::string lines = Slurp(dir + "/B1.png");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2);
}

// --eci auto takes the character set that makes the smallest symbol, never a larger one than the
// default rule, and --seg one for each segment; a reader returns the text as typed.
TEST_F(Cli, EciAutoAndSegmentsReadBackAsTheSameText) {
    const std::pair<std::string, std::string> texts[] = {
        {"LOT 42", "ISO 8859-1"},  // the default wins a tie
        {"Größe 10", "ISO 8859-1"},
        {"こんにちは世界、東京の商品名", "ECI 20 (SHIFT_JIS)"},
        {"Привет мир", "ECI 7 (ISO-8859-5)"},
    };
    const std::string png = dir + "/eci.png";
    for (const auto& [text, charset] : texts) {
        const Outcome chosen = Run({"--eci", "auto", "-v", "-o", png, text});
        ASSERT_EQ(chosen.status, 0) << chosen.err;
        EXPECT_NE(chosen.err.find("; " + charset + "; "), std::string::npos) << chosen.err;
        const auto reading = ReadSymbolInFile(png, 4);
        ASSERT_TRUE(reading) << text;
        EXPECT_EQ(reading->text, text);
        const std::string size = Run(std::vector<std::string>{text}).out, smallest = Run({"--eci", "auto", text}).out;
        EXPECT_LE(std::stoi(smallest), std::stoi(size)) << text;  // "24x24 symbol, ...": the rows
        // Under the size the auto choice made, which the default rule may not fit.
        EXPECT_EQ(Run({"--eci", "auto", "-s", smallest.substr(0, smallest.find(' ')), text}).out, smallest) << text;
    }
    // Segments, each in its own character set after its designator and in whatever schemes make it
    // smallest (C40 capitals, Base 256 runs randomised by their place after earlier segments), read
    // back as one text.
    const std::vector<std::string> segmentSets[] = {
        {"7:Привет, ", "20:東京", "3:Größe"},
        {"3:ABCDEFGHIJKLMNOPQRSTUVWX", "7:Привет мир, Привет мир", "3:1234567890"},
        {"7:Съешь же ещё этих мягких французских булок", "3:ÄÖÜ ÄÖÜ ÄÖÜ ÄÖÜ ÄÖÜ", "20:東京"},
    };
    for (const auto& segments : segmentSets) {
        std::vector<std::string> args{"-o", png};
        std::string text;
        for (const std::string& segment : segments) {
            args.insert(args.end(), {"--seg", segment});
            text += segment.substr(segment.find(':') + 1);
        }
        ASSERT_EQ(Run(args).status, 0) << text;
        const auto reading = ReadSymbolInFile(png, 4);
        ASSERT_TRUE(reading) << text;
        EXPECT_EQ(reading->text, text);
        EXPECT_TRUE(reading->hasEci);
    }
    // With --esc, each segment's escapes are read: the symbol and its report say the same.
    const Outcome escaped = Run({"--esc", "--report", "-", "-o", png, "--seg", "7:\\u041F", "--seg", "3:\\u00C4\\tX"});
    ASSERT_EQ(escaped.status, 0) << escaped.err;
    const nlohmann::json report = nlohmann::json::parse(escaped.out);
    EXPECT_EQ(report["data"], "ПÄ\tX");
    EXPECT_EQ(report["ecis"], nlohmann::json::array({7, 3}));
    EXPECT_EQ(ReadSymbolInFile(png, 4)->text, "ПÄ\tX");
    EXPECT_EQ(Run({"--seg", "3:Привет", "-o", png}).err,
              "glyphrun-cli: --seg 3: the character U+041F at position 1 is not in ECI 3's character set "
              "(ISO-8859-1)\n");
}

// The report: a JSON line for every input in input order, each field what the reader finds in the
// file it names, or the failure of the input that made none.
TEST_F(Cli, ReportSaysWhatEachFileHolds) {
    // Line 3's escape is read before the report tells its data and elements.
    std::ofstream(dir + "/lines.txt")
        << "(01)09506000134352(21)SN1\n(01)09506000134353\n(01)09506000134352(21)SN\\x33\n";
    const std::string report = dir + "/report.jsonl";
    const Outcome o = Run("--batch -j 2 --gs1 --esc -i " + dir + "/lines.txt --dpi 300 --xdim 0.5 --report " + report +
                          " -o " + dir + "/l-#.png");
    EXPECT_EQ(o.status, 1);
    std::ifstream in(report);
    std::vector<nlohmann::json> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1]["line"], 2);
    EXPECT_EQ(lines[1]["error"], "(01): the check digit is 3 but should be 2");
    for (const size_t i : {0u, 2u}) {
        const nlohmann::json& line = lines[i];
        EXPECT_EQ(line["line"], i + 1);
        const auto picture = ReadWithStb(ReadFile(line["output"]));
        ASSERT_TRUE(picture);
        const int module = line["module_px"], rows = line["rows"], cols = line["cols"];
        EXPECT_EQ(module, 6);
        EXPECT_EQ(picture->width, (cols + 4) * module);
        EXPECT_EQ(picture->height, (rows + 4) * module);
        EXPECT_DOUBLE_EQ(line["symbol_mm"][0], (cols + 4) * 6 * 25.4 / 300);
        const auto reading = glyphrun::testing::ReadSymbolFullyIn(*picture, module);
        ASSERT_TRUE(reading);
        EXPECT_EQ(reading->symbologyIdentifier, "]d2");
        std::string elements;
        for (const auto& element : line["gs1"])
            elements += element["ai"].get<std::string>() + element["value"].get<std::string>();
        EXPECT_EQ(reading->bytes, elements);
        EXPECT_EQ(line["gs1"][1]["title"], "SERIAL");
        EXPECT_EQ(line["data"], i == 0 ? "(01)09506000134352(21)SN1" : "(01)09506000134352(21)SN3");
        EXPECT_EQ(line["schemes"][0]["scheme"], "ASCII");
        EXPECT_EQ(line["family"], "square");
        EXPECT_EQ(line["verified"], false);
    }
    // A report that is the input or an output is refused before either is touched.
    const std::string input = Slurp(dir + "/lines.txt"), first = Slurp(dir + "/l-1.png");
    for (const std::string& clash : {dir + "/lines.txt", dir + "/l-1.png", dir + "/./l-9.png"}) {
        const Outcome refused =
            Run("--batch --gs1 -i " + dir + "/lines.txt --report " + clash + " -o " + dir + "/l-#.png");
        EXPECT_EQ(refused.status, 2) << clash;
        EXPECT_TRUE(refused.err.starts_with("glyphrun-cli: --report " + clash + " is ")) << refused.err;
    }
    EXPECT_EQ(Run("--report " + dir + "/s.png -o " + dir + "/./s.png S").status, 2);
    EXPECT_EQ(Slurp(dir + "/lines.txt"), input);
    EXPECT_EQ(Slurp(dir + "/l-1.png"), first);
    EXPECT_NE(access((dir + "/l-9.png").c_str(), F_OK), 0);
}

// --verify reads each symbol back from the picture about to be written: one that says something
// else than was meant is refused, naming what was read; every format and meaning that does passes,
// and the report says it was verified.
TEST_F(Cli, VerifyKeepsOnlyWhatReadsAsMeant) {
    const std::string png = dir + "/label.png";
    const glyphrun::cli::CommandLine line = glyphrun::cli::ParseOptions(Words("--verify -o " + png + " ABC"));
    ASSERT_TRUE(line.status) << line.status.reason();
    const auto bytes = [](const std::string& text) {
        return glyphrun::cli::ByteSpan(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    };
    const glyphrun::Symbol wrong = glyphrun::Encode({reinterpret_cast<const uint8_t*>("ABD"), 3}).value();
    EXPECT_EQ(glyphrun::cli::Verify({&wrong, 1}, bytes("ABC"), line.options).reason(),
              "verification failed: the reader read 'ABD' where 'ABC' was meant; nothing was written");
    EXPECT_TRUE(glyphrun::cli::Verify({&wrong, 1}, bytes("ABD"), line.options));
    for (const std::string& args :
         {"-o " + png + " 'LOT 42'", "--fg ffffff --bg 000000 -o " + png + " LOT",
          "--gs1 --hri -o " + dir + "/l.pdf --xdim 0.5 (01)09506000134352(10)AB",
          "--eci auto --hri -o " + dir + "/l.svg Привет", "--esc --reader-init -o " + dir + "/l.eps A\\G1",
          "--gs1 --esc -o " + dir + "/g.png (01)09506000134352(21)A\\(1\\x32",
          "--module 1 -o " + dir + "/small.svg LOT",
          "--structapp 3 -o " + dir + "/part.png 'ONE MESSAGE, THREE SYMBOLS, READ AS ONE'"}) {
        const Outcome o = Run("--verify --report - " + args);
        EXPECT_EQ(o.status, 0) << args << o.err;
        EXPECT_NE(o.out.find("\"verified\":true"), std::string::npos) << args;
    }
}

// A message over several files, each read back in its place.
TEST_F(Cli, StructuredAppendOverSeveralFiles) {
    std::string input;
    for (int i = 0; input.size() < 5000; ++i) input += "LOT " + std::to_string(i * 7919 % 100000) + " ACME/QA; ";
    const Outcome o = Run("-v --structapp auto --structapp-id 17,42 -s 144x144 -i - -o " + dir + "/label.png", input);
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
        EXPECT_EQ(reading->sequenceId, std::to_string(17 * 256 + 42));
        joined += reading->bytes;
    }
    EXPECT_EQ(joined, input);
    // '#' in the name takes the number.
    ASSERT_EQ(Run("--structapp 2 -o " + dir + "/part-#.gif ABCDEFGH").status, 0);
    EXPECT_FALSE(Slurp(dir + "/part-2.gif").empty());
}

// The picture's size: the quiet zone in modules (2 by default) or in pixels
// (--margin), one below a module's width with a warning; the module's pixels
// from --xdim at --dpi, within 5 % of the width asked for or with a warning;
// at most 16384 pixels (or --module units) a side in every format.
TEST_F(Cli, PictureSizeFromQuietZoneXdimAndDpi) {
    const auto below = [](int pixels) {
        return "glyphrun-cli: warning: a quiet zone of " + std::to_string(pixels) +
               " pixels is less than one module (3 pixels); readers need at least one\n";
    };
    const struct {
        std::string args, warning;
        int width, module;
    } cases[] = {
        // "LOT 42" is 12 x 12 modules.
        {"--module 3", "", 12 * 3 + 2 * 6, 3},
        {"--module 3 --quiet-zone 5", "", 12 * 3 + 2 * 15, 3},
        {"--module 3 --quiet-zone 5 --margin 1", below(1), 12 * 3 + 2 * 1, 3},
        {"--dpi 300 --xdim 0.5", "", 16 * 6, 6},  // 6 pixels are 0.508 mm
        {"--dpi 300 --xdim 0.3",
         "glyphrun-cli: warning: --xdim 0.3 at 300 dpi is 4 pixels a module, 0.339 mm when printed\n", 16 * 4, 4},
    };
    const std::string png = dir + "/q.png";
    for (const auto& c : cases) {
        const Outcome o = Run("-o " + png + " " + c.args + " 'LOT 42'");
        EXPECT_EQ(o.status, 0) << c.args;
        EXPECT_EQ(o.err, c.warning) << c.args;
        const auto picture = ReadWithStb(ReadFile(png));
        ASSERT_TRUE(picture) << c.args;
        EXPECT_EQ(picture->width, c.width) << c.args;
        EXPECT_EQ(ReadSymbolIn(*picture, c.module), "LOT 42") << c.args;
    }
    ASSERT_EQ(Run("--dpi 600 -o " + dir + "/p.bmp 'LOT 42'").status, 0);
    const glyphrun::testing::Bytes bmp = ReadFile(dir + "/p.bmp");
    ASSERT_GT(bmp.size(), 46u);
    EXPECT_EQ(bmp[38] | bmp[39] << 8 | bmp[40] << 16, 23622);              // 600 dpi in pixels a metre
    ASSERT_EQ(Run("--xdim 0.5 -o " + dir + "/p.svg 'LOT 42'").status, 0);  // millimetres without --dpi
    EXPECT_NE(Slurp(dir + "/p.svg").find("width=\"8mm\""), std::string::npos);
    for (const std::string extension : {".png", ".svg"}) {
        const std::string path = dir + "/q" + extension;
        EXPECT_EQ(Run("--module 1 --margin 5000 -o " + path + " A").status, 0) << extension;
        const Outcome o = Run("--module 1 --margin 9000 -o " + path + " A");
        EXPECT_EQ(o.status, 1) << extension;
        EXPECT_EQ(o.err, "glyphrun-cli: the image would be 18010x18010 pixels; each side must be 1 to 16384\n")
            << extension;
    }
}

// The program itself: its exit codes, and its standard streams as the
// shell gives them (a file appended to, full, closed, a pipe whose reader
// has gone).
TEST_F(Cli, TheProgramExitsZeroOneOrTwoAndMindsItsStandardStreams) {
    const std::string full = "glyphrun-cli: cannot write to standard output: No space left on device\n";
    const std::string cli = GLYPHRUN_CLI, log = Keep("log", "earlier line\n"), quiet = dir + "/quiet";
    const std::string batchLog = Keep("b-1.pgm", "earlier line\n"), one = Keep("one.txt", "X\n");
    ASSERT_EQ(symlink("/dev/stdout", (dir + "/out.pgm").c_str()), 0);
    ASSERT_EQ(mkdir(quiet.c_str(), 0755), 0);
    std::string mixed;
    for (int i = 1; i <= 200; ++i) mixed += i % 2 ? "LABEL " + std::to_string(i) + "\n" : "\n";
    std::ofstream(dir + "/mixed.txt") << mixed;
    const struct {
        std::string args;
        int status;
        std::string err;
    } cases[] = {
        // Standard output is a file that the output's name also leads to.
        {"--codewords -o " + dir + "/out.pgm 123456 >>" + log, 0, ""},
        {"--batch -i " + one + " -o " + dir + "/b-#.pgm >>" + batchLog, 0, "glyphrun-cli: 1 of 1 symbols written\n"},
        {"--bogus", 2, "glyphrun-cli: invalid option '--bogus'\nTry 'glyphrun-cli --help' for more information.\n"},
        {"--help >/dev/full", 1, full},
        {"-o - X >/dev/full", 1, full},
        {"--codewords -o " + dir + "/cw.png X >/dev/full", 1, full},
        {"-o " + dir + "/closed.png X >&-", 0, ""},  // nothing written to a closed standard output
        // With standard error closed, no message lands in a file being written.
        {"--batch -j2 --module 2 -i " + dir + "/mixed.txt -o " + quiet + "/q-###.pgm 2>&-", 1, ""},
    };
    for (const auto& c : cases) {
        const Outcome o = Shell(cli + " " + c.args);
        EXPECT_EQ(o.status, c.status) << c.args;
        EXPECT_EQ(o.err, c.err) << c.args;
    }
    // What was in the file stays, and the text comes before the picture.
    EXPECT_EQ(Slurp(log).rfind("earlier line\n142 164 186\n10x10\nP5\n", 0), 0u) << Slurp(log).substr(0, 40);
    EXPECT_EQ(Slurp(batchLog).rfind("earlier line\nP5\n", 0), 0u) << Slurp(batchLog).substr(0, 40);
    EXPECT_EQ(Entries(quiet).size(), 100u);
    for (const std::string& name : Entries(quiet)) {
        const std::string pgm = Slurp(quiet + "/" + name);
        EXPECT_TRUE(pgm.starts_with("P5\n") && pgm.find("glyphrun-cli") == std::string::npos) << name;
    }

    // A reader that has gone.
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    close(ends[0]);
    Process gone = Start({"-o", "-", "X"}, -1, ends[1]);
    close(ends[1]);
    gone.Wait();
    EXPECT_TRUE(WIFEXITED(gone.status) && WEXITSTATUS(gone.status) == 1);
    EXPECT_EQ(Slurp(dir + "/stderr"), "glyphrun-cli: cannot write to standard output: Broken pipe\n");
}

// A batch reads its input as a stream: a line without end does not grow
// the process, and the lines after it are still written.
TEST_F(Cli, BatchReadsAnEndlessLineInFlatMemory) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    Process process = Start({"--batch", "-i", "-", "-o", dir + "/z-#.pgm"}, ends[0]);
    close(ends[0]);
    const auto previous = std::signal(SIGPIPE, SIG_IGN);  // should the program stop reading
    const std::string block(1 << 20, 'X');
    for (int i = 0; i < 256; ++i) ASSERT_EQ(write(ends[1], block.data(), block.size()), ssize_t(block.size()));
    ASSERT_EQ(write(ends[1], "\nAFTER\n", 7), 7);
    close(ends[1]);
    std::signal(SIGPIPE, previous);
    process.Wait();
    EXPECT_TRUE(WIFEXITED(process.status) && WEXITSTATUS(process.status) == 1);
    EXPECT_EQ(Slurp(dir + "/stderr"), "glyphrun-cli: standard input line 1: the line is longer than 65536 bytes\n"
                                      "glyphrun-cli: 1 of 2 symbols written; 1 failed\n");
    EXPECT_EQ(Slurp(dir + "/z-2.pgm").substr(0, 3), "P5\n");
    EXPECT_LT(process.usage.ru_maxrss, 100 * 1024) << "kB";
}

// The symbols of one message are replaced all together or not at all, so
// that a reader never joins parts of two messages with one identification:
// a part that cannot be written, or a signal at any moment, leaves the old
// set whole.
TEST_F(Cli, StructuredAppendSetIsReplacedWholeOrNotAtAll) {
    for (const char letter : {'A', 'B'}) std::ofstream(dir + "/" + letter + ".txt") << std::string(1200, letter);
    const auto args = [&](char input, const std::string& name) {
        return Words("--structapp 4 --structapp-id 7,7 -s 144x144 --module 3 -i " + dir + "/" + input + ".txt -o " +
                     dir + "/" + name);
    };
    const auto setOf = [&](const std::string& stem) {
        std::vector<std::string> parts;
        for (const char part : {'1', '2', '3', '4'}) parts.push_back(Slurp(dir + "/" + stem + "-" + part + ".pgm"));
        return parts;
    };
    ASSERT_EQ(Run(args('A', "a.pgm")).status, 0);
    ASSERT_EQ(Run(args('B', "b.pgm")).status, 0);
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
    EXPECT_EQ(Run(args('B', "m.pgm")).status, 1);
    for (int part = 1; part <= 3; ++part) EXPECT_EQ(setOf("m")[part - 1], setA[part - 1]) << part;
    ASSERT_EQ(unlink(last.c_str()), 0);

    // SIGTERM just after the first, a middle and the last change to the folder (a file made, renamed or removed).
    Keep("stdout", ""), Keep("stderr", "");  // made before: not among the changes
    const auto signalAfter = [&](int changes) {
        restoreA();
        const int watch = inotify_init1(IN_CLOEXEC);
        EXPECT_GE(inotify_add_watch(watch, dir.c_str(), IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE), 0);
        Process process = Start(args('B', "m.pgm"));
        const int ended = static_cast<int>(syscall(SYS_pidfd_open, process.pid, 0));
        int seen = 0;
        for (pollfd events[] = {{watch, POLLIN, 0}, {ended, POLLIN, 0}}; seen < changes;) {
            if (poll(events, 2, 60'000) <= 0 || !(events[0].revents & POLLIN)) break;  // the run is over
            alignas(inotify_event) char buffer[4096];
            const ssize_t length = read(watch, buffer, sizeof buffer);
            for (ssize_t at = 0; at < length; ++seen)
                at += static_cast<ssize_t>(sizeof(inotify_event) + reinterpret_cast<inotify_event*>(buffer + at)->len);
        }
        kill(process.pid, SIGTERM);
        process.Wait();
        close(ended);
        close(watch);
        const std::vector<std::string> now = setOf("m");
        EXPECT_TRUE(now == setA || now == setB) << "SIGTERM after " << changes << " changes";
        for (const std::string& name : Entries()) EXPECT_EQ(name.find(".glyphrun-"), std::string::npos) << name;
        return seen;
    };
    const int total = signalAfter(1 << 30);
    ASSERT_GT(total, 4);
    for (const int changes : {1, total / 2, total}) signalAfter(changes);
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
        return Shell("ulimit -v " + std::to_string(kilobytes) + "; " + GLYPHRUN_CLI + " " + args);
    };
    Outcome o;
    for (const auto& [name, kilobytes] : {std::pair{"/x.pgm", 250000}, {"/x.png", 30000}}) {
        o = runLimited(kilobytes, "--module 112 --quiet-zone 1 -o " + dir + name + " " + digits);
        EXPECT_EQ(o.status, 1) << name;
        EXPECT_EQ(o.err, "glyphrun-cli: out of memory\n") << name;  // and nothing from the library
    }
    std::ofstream(dir + "/lines.txt") << digits << "\nSMALL\n";
    o = runLimited(250000, "--batch -j1 --module 112 --quiet-zone 1 -i " + dir + "/lines.txt -o " + dir + "/l-#.pgm");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "glyphrun-cli: " + dir + "/lines.txt line 1: out of memory\n" +
                         "glyphrun-cli: 1 of 2 symbols written; 1 failed\n");
    EXPECT_EQ(Slurp(dir + "/l-2.pgm").substr(0, 3), "P5\n");

    // Under any limit the program starts at all, it writes the file or says
    // "out of memory": it never aborts, even where the limit leaves the C++
    // runtime no memory of its own for throwing.
    int written = 0;
    bool mapped = false;  // below some limit the kernel cannot map the program and kills it (status 139)
    for (int kilobytes = 4000; written < 20 && kilobytes < 64000; kilobytes += 8) {
        o = runLimited(kilobytes, "-o " + dir + "/small.png LABEL");
        if (o.status == 139 && !mapped) continue;
        mapped = true;
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
    o = runLimited(100000, "--batch -j 32 --module 10 -i " + dir + "/many.txt -o " + out + "/####.png");
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("out of memory"), std::string::npos) << o.err;
    for (const std::string& name : Entries(out)) EXPECT_EQ(name.find(".glyphrun-"), std::string::npos) << name;
}

}  // namespace
