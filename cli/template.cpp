#include "template.h"

#include <algorithm>
#include <cstdio>

#include "options.h"
#include "report.h"

namespace glyphrun::cli {
namespace {

// Why `value` cannot be a file's name in its folder, or nothing: it would
// lead elsewhere (a slash, "." or ".."), be cut short (NUL), read as an
// option (a leading '-'), hide in a listing (control characters), or be
// longer than a name may be.
std::optional<std::string> UnsafeName(std::string_view value) {
    constexpr size_t kMaxName = 255;
    if (value.empty()) return "it is empty";
    if (value == "." || value == "..") return "it names a folder, not a file";
    if (value.front() == '-') return "it starts with '-'";
    if (value.size() > kMaxName) return "it is longer than " + std::to_string(kMaxName) + " bytes";
    for (const char c : value) {
        if (c == '/' || c == '\\') return std::string("it has a '") + c + "'";
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "it has a control character";
    }
    return std::nullopt;
}

}  // namespace

std::optional<Template> Template::Parse(std::string_view text, const std::vector<std::string>& header,
                                        std::string& error) {
    Template made;
    made.header_ = header;
    std::string literal;
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if ((c == '{' || c == '}') && at + 1 < text.size() && text[at + 1] == c) {
            literal += c;
            ++at;
            continue;
        }
        if (c == '}') {
            error = "a '}' without its '{' (write '}}' for the brace itself)";
            return std::nullopt;
        }
        if (c != '{') {
            literal += c;
            continue;
        }
        const size_t close = text.find('}', at);
        if (close == std::string_view::npos) {
            error = "a '{' without its '}' (write '{{' for the brace itself)";
            return std::nullopt;
        }
        const std::string name(text.substr(at + 1, close - at - 1));
        const auto column = std::find(header.begin(), header.end(), name);
        if (column == header.end()) {
            std::string names;
            for (const std::string& each : header) names += (names.empty() ? "" : ", ") + each;
            error = "the column '" + name + "' is not in the header (" + names + ")";
            return std::nullopt;
        }
        if (!literal.empty()) made.pieces_.push_back({std::move(literal), -1});
        literal.clear();
        made.pieces_.push_back({"", static_cast<int32_t>(column - header.begin())});
        at = close;
    }
    if (!literal.empty()) made.pieces_.push_back({std::move(literal), -1});
    return made;
}

Template Template::Column(const std::vector<std::string>& header, int32_t column) {
    Template made;
    made.header_ = header;
    made.pieces_.push_back({"", column});
    return made;
}

std::string Template::Fill(const std::vector<std::string>& fields) const {
    std::string text;
    for (const Piece& piece : pieces_)
        text += piece.column < 0 ? piece.text : fields[static_cast<size_t>(piece.column)];
    return text;
}

Status Template::FillName(const std::vector<std::string>& fields, int64_t number, std::string& name) const {
    name.clear();
    for (const Piece& piece : pieces_) {
        if (piece.column < 0) {
            name += BatchOutputName(piece.text, number);
            continue;
        }
        const std::string& value = fields[static_cast<size_t>(piece.column)];
        if (const std::optional<std::string> unsafe = UnsafeName(value))
            return Failure("the " + header_[static_cast<size_t>(piece.column)] + " '" + value +
                           "' cannot name a file: " + *unsafe);
        name += value;
    }
    return {};
}

}  // namespace glyphrun::cli
