#include "audit.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

#include "glyphrun/facts.h"
#include "glyphrun/utf8.h"
#include "symbol.h"

namespace glyphrun::cli {
namespace {

using Json = nlohmann::ordered_json;

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

// A held line that claimed a symbol made, made to say that it failed: its
// place and data, then `failure`.
std::string Unwritten(const std::string& held, std::string_view failure) {
    const Json line = Json::parse(held);
    if (line.contains("error")) return held;
    Json failed;
    for (const char* key : {"line", "row", "data", "data_hex"})
        if (line.contains(key)) failed[key] = line[key];
    failed["error"] = failure;
    return failed.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string AuditLine(const AuditPlace& place, const Symbol* symbol, const Options& options, bool verified,
                      std::string_view failure) {
    Json line;
    if (place.number) line[place.unit] = *place.number;
    if (FirstInvalidUtf8(place.data) == std::string_view::npos)
        line["data"] = place.data;
    else
        line["data_hex"] = Hex(place.data);
    if (!symbol) {
        line["error"] = failure;
        return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    }
    line["output"] = place.output;
    if (place.page) line["page"] = *place.page;
    if (place.cell) line["cell"] = *place.cell;
    Gs1Rules gs1Rules;
    gs1Rules.checkDigitsAndDates = !options.gs1NoCheck;
    const SymbolFacts facts = FactsOf(*symbol, place.data, !options.binary, gs1Rules);
    line["rows"] = facts.rows;
    line["cols"] = facts.cols;
    line["size_index"] = facts.sizeIndex;
    line["family"] = facts.family;
    line["data_codewords"] = facts.dataCodewords;
    line["capacity"] = facts.capacity;
    line["ecc_codewords"] = facts.eccCodewords;
    Json schemes = Json::array();
    for (const SchemeRun& run : facts.schemes)
        schemes.push_back({{"scheme", SchemeName(run.scheme)}, {"codewords", run.codewords}});
    line["schemes"] = schemes;
    if (facts.gs1) {
        Json elements = Json::array();
        for (const Gs1Element& element : facts.gs1Elements)
            elements.push_back({{"ai", element.ai}, {"title", Gs1Title(element.ai)}, {"value", element.data}});
        line["gs1"] = elements;
    }
    if (facts.eci) line["eci"] = *facts.eci;
    if (!options.segments.empty()) {  // "eci" is the first segment's
        Json ecis = Json::array();
        for (const auto& [eci, text] : options.segments) ecis.push_back(eci);
        line["ecis"] = ecis;
    }
    if (!facts.charset.empty()) line["charset"] = facts.charset;
    const PrintSize size = PrintSizeOf(*symbol, options);
    line["module_px"] = size.modulePixels;
    line["module_mm"] = std::round(size.moduleMillimetres * 1e4) / 1e4;
    line["symbol_mm"] = {std::round(size.widthMillimetres * 1e3) / 1e3, std::round(size.heightMillimetres * 1e3) / 1e3};
    if (const StructuredAppend& append = facts.append; append.count)
        line["structured_append"] = {
            {"index", append.index + 1}, {"count", append.count}, {"file_id", {append.fileId1, append.fileId2}}};
    line["verified"] = verified;
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

Result<std::unique_ptr<AuditFile>> AuditFile::Open(const Options& options, Console& console) {
    if (!options.reportPath) return std::unique_ptr<AuditFile>();
    const std::string& path = *options.reportPath;
    if (path == "-") return std::unique_ptr<AuditFile>(new AuditFile(-1, "standard output", &console));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Failure("cannot write the report " + path + ": " + std::strerror(errno));
    return std::unique_ptr<AuditFile>(new AuditFile(fd, path, nullptr));
}

Result<std::unique_ptr<AuditFile>> AuditFile::Held() {
    FILE* file = std::tmpfile();
    if (!file) return Failure(std::string("cannot make a temporary file for the report: ") + std::strerror(errno));
    return std::unique_ptr<AuditFile>(new AuditFile(fileno(file), "a temporary file", nullptr, file));
}

AuditFile::AuditFile(int fd, std::string name, Console* console, FILE* held)
    : fd_(fd), held_(held), name_(std::move(name)), console_(console) {
    if (fd_ >= 0) ::fstat(fd_, &info_);
}

void AuditFile::TakeHeld(AuditFile& held, std::string_view failure) {
    if (held.errno_ && !errno_) errno_ = held.errno_;
    std::rewind(held.held_);
    char* line = nullptr;
    size_t capacity = 0;
    for (ssize_t length; (length = ::getline(&line, &capacity, held.held_)) > 0;) {
        const std::string text(line, static_cast<size_t>(length));
        Write(failure.empty() ? text : Unwritten(text, failure));
    }
    if (std::ferror(held.held_) && !errno_) errno_ = errno;
    std::free(line);
}

bool AuditFile::IsFileOf(const struct stat& info) const {
    return fd_ >= 0 && info.st_dev == info_.st_dev && info.st_ino == info_.st_ino;
}

AuditFile::~AuditFile() {
    if (held_)
        std::fclose(held_);
    else if (fd_ >= 0)
        ::close(fd_);
}

void AuditFile::Write(const std::string& line) {
    if (console_) {
        console_->WriteOut(line);
        return;
    }
    for (size_t done = 0; done < line.size() && errno_ == 0;) {
        const ssize_t count = ::write(fd_, line.data() + done, line.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) errno_ = errno;
        done += count > 0 ? static_cast<size_t>(count) : 0;
    }
}

Status AuditFile::Close() {
    if (console_) return console_->FlushOut();
    const int closed = ::close(fd_);
    if (errno_ == 0 && closed != 0) errno_ = errno;
    fd_ = -1;
    if (errno_) return Failure("cannot write the report " + name_ + ": " + std::strerror(errno_));
    return {};
}

}  // namespace glyphrun::cli
