#include "service.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <nlohmann/json.hpp>
#include <ranges>
#include <variant>

#include "audit.h"
#include "options.h"
#include "symbol.h"

namespace glyphrun::server {
namespace {

using cli::NamedOption;
using cli::Options;

// The command line's options a request may give, by the command line's
// names (and "quiet", the short name the service's users know). Left out:
// whatever names a file (input, output, font, report), makes many symbols
// or files, or only talks (verbose, help).
constexpr std::string_view kOffered[] = {
    "mode",        "lenient-end", "size", "dmre", "iso144",    "module",        "quiet-zone", "quiet",
    "margin",      "fg",          "bg",   "cmyk", "gif-codec", "png-interlace", "gs1",        "gs1-nocheck",
    "gs1-gs",      "eci",         "utf8", "esc",  "binary",    "dpi",           "rotate",     "no-macro",
    "reader-init", "xdim",        "page", "hri",  "caption",   "font-size"};

bool Offered(std::string_view name) {
    return std::find(std::begin(kOffered), std::end(kOffered), name) != std::end(kOffered);
}

Response Json(int status, nlohmann::json body, const char* cacheControl) {
    Response response;
    response.status = status;
    response.contentType = "application/json";
    response.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    response.cacheControl = cacheControl;
    return response;
}

Response Refuse(int status, const std::string& error, std::string_view field = {}) {
    return Refusal(status, error, field);
}

struct Kind {
    std::string_view extension;
    Format format;
    const char* contentType;
};
constexpr Kind kKinds[] = {
    {"png", Format::Png, "image/png"},
    {"gif", Format::Gif, "image/gif"},
    {"bmp", Format::Bmp, "image/bmp"},
    {"svg", Format::Svg, "image/svg+xml"},
    {"eps", Format::Eps, "application/postscript"},
    {"pdf", Format::Pdf, "application/pdf"},
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> Decoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] != '%') {
            decoded += text[i];
        } else {
            const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
            const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
            if (low < 0) return std::nullopt;
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return decoded;
}

// A strong validator: FNV-1a over the bytes, which the same request always
// makes the same.
std::string EntityTag(std::string_view bytes) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    char tag[19];
    std::snprintf(tag, sizeof tag, "\"%016llx\"", static_cast<unsigned long long>(hash));
    return tag;
}

bool Matches(std::string_view ifNoneMatch, std::string_view etag) {
    return ifNoneMatch == "*" || ifNoneMatch.find(etag) != std::string_view::npos;
}

// The picture's pixels before it is drawn: the symbol and its quiet zone at
// the module's pixels (the text under it adds less than the symbol itself).
uint64_t RasterPixels(const Symbol& symbol, const Options& options) {
    const Style style = cli::StyleOf(options);
    const auto module = static_cast<uint64_t>(ModulePixels(style));
    const auto margin = static_cast<uint64_t>(std::max(options.margin, 0));
    return (symbol.cols() * module + 2 * margin) * (symbol.rows() * module + 2 * margin);
}

struct Symbols {
    std::vector<Symbol> symbols;
    std::string data;  // after any escapes
};

// The data's symbol under the request's options, or the refusal.
std::variant<Symbols, Response> Encoded(std::string_view data, const std::vector<NamedOption>& named, Format format,
                                        Options& options) {
    std::string field;
    cli::CommandLine line = cli::ParseNamedOptions(named, data, format, &field);
    if (!line.status) return Refuse(400, line.status.reason(), field);
    options = std::move(line.options);
    Symbols made{{}, std::string(data)};
    cli::ByteSpan input(reinterpret_cast<const unsigned char*>(made.data.data()), made.data.size());
    std::string unescaped;
    if (Status read = cli::ReadInputEscapes(input, options, unescaped); !read)
        return Refuse(400, read.reason(), "data");
    if (Status encoded = cli::EncodeInput(input, options, made.symbols); !encoded)
        return Refuse(400, encoded.reason(), "data");
    made.data.assign(reinterpret_cast<const char*>(input.data()), input.size());
    return made;
}

Response Drawn(const Kind& kind, std::string_view data, const std::vector<NamedOption>& named, const Limits& limits) {
    Options options;
    std::variant<Symbols, Response> made = Encoded(data, named, kind.format, options);
    if (Response* refused = std::get_if<Response>(&made)) return std::move(*refused);
    const Symbols& symbols = std::get<Symbols>(made);
    const glyphrun::Symbol& symbol = symbols.symbols.front();
    if (!IsVector(kind.format) && RasterPixels(symbol, options) > limits.maxPixels)
        return Refuse(413,
                      "the picture would have " + std::to_string(RasterPixels(symbol, options)) +
                          " pixels, more than the " + std::to_string(limits.maxPixels) + " this service draws",
                      "module");
    Response response;
    const cli::ByteSpan input(reinterpret_cast<const unsigned char*>(symbols.data.data()), symbols.data.size());
    if (Status drawn = cli::DrawSymbol(symbol, input, options, response.body); !drawn)
        return Refuse(400, drawn.reason());
    response.contentType = kind.contentType;
    return response;
}

Response Info(std::string_view data, const std::vector<NamedOption>& named) {
    Options options;
    std::variant<Symbols, Response> made = Encoded(data, named, Format::Png, options);
    if (Response* refused = std::get_if<Response>(&made)) return std::move(*refused);
    const Symbols& symbols = std::get<Symbols>(made);
    cli::AuditPlace place;
    place.data = symbols.data;
    Response response;
    response.body = cli::AuditLine(place, &symbols.symbols.front(), options, false) + "\n";
    response.contentType = "application/json";
    return response;
}

// The data and the options of a request to /v1/: the data from `data=` or
// the body (a POST's), never both; each option once.
std::variant<Response, std::pair<std::string, std::vector<NamedOption>>> ReadRequest(
    const Request& request, const std::vector<QueryField>& fields, const Limits& limits) {
    std::optional<std::string> data;
    if (request.method == "POST") data = std::string(request.body);
    std::vector<NamedOption> named;
    for (const QueryField& field : fields) {
        const bool repeated = std::count_if(fields.begin(), fields.end(),
                                            [&](const QueryField& other) { return other.name == field.name; }) > 1;
        if (repeated) return Refuse(400, "'" + field.name + "' is given more than once", field.name);
        if (field.name == "data") {
            if (data) return Refuse(400, "a POST's data is its body: give no data= too", "data");
            data = field.value;
        } else if (!Offered(field.name)) {
            return Refuse(400, "unknown option '" + field.name + "'", field.name);
        } else {
            named.push_back(
                {field.name == "quiet" ? std::string_view("quiet-zone") : std::string_view(field.name), field.value});
        }
    }
    if (!data) return Refuse(400, "no data: give data=TEXT, or POST the data as the body", "data");
    if (data->size() > limits.maxData)
        return Refuse(413,
                      "the data is " + std::to_string(data->size()) + " bytes, more than the " +
                          std::to_string(limits.maxData) + " this service takes",
                      "data");
    return std::pair{std::move(*data), std::move(named)};
}

Response Route(const Request& request, std::string_view path, std::string_view query, const Limits& limits) {
    if (path == "/healthz") {
        Response response;
        response.contentType = "text/plain";
        response.body = "ok\n";
        response.cacheControl = "no-store";
        return response;
    }
    const Kind* kind = nullptr;
    for (const Kind& each : kKinds)
        if (path.size() == 11 + each.extension.size() && path.starts_with("/v1/symbol.") &&
            path.ends_with(each.extension))
            kind = &each;
    if (!kind && path != "/v1/info")
        return Refuse(404, "no such resource: " + std::string(path) +
                               " (there are /v1/symbol.png, .svg, .eps, .pdf, .gif and .bmp, /v1/info and /healthz)");
    std::optional<std::vector<QueryField>> fields = ParseQuery(query);
    if (!fields) return Refuse(400, "the query has a '%' that is not followed by two hexadecimal digits");
    auto read = ReadRequest(request, *fields, limits);
    if (Response* refused = std::get_if<Response>(&read)) return std::move(*refused);
    auto& [data, named] = std::get<1>(read);
    Response response = kind ? Drawn(*kind, data, named, limits) : Info(data, named);
    if (response.status != 200) return response;
    response.etag = EntityTag(response.body);
    // The bytes follow from the request alone; a new version of the service
    // may draw them otherwise, which the validator tells.
    response.cacheControl = "public, max-age=86400";
    if (!request.ifNoneMatch.empty() && Matches(request.ifNoneMatch, response.etag)) {
        response.status = 304;
        response.body.clear();
    }
    return response;
}

}  // namespace

Response Refusal(int status, const std::string& error, std::string_view field) {
    nlohmann::json body = {{"error", error}, {"field", nullptr}};
    if (!field.empty()) body["field"] = field;
    return Json(status, std::move(body), "no-store");
}

std::optional<std::vector<QueryField>> ParseQuery(std::string_view query) {
    std::vector<QueryField> fields;
    for (const auto part : std::views::split(query, '&')) {
        const std::string_view pair(part.begin(), part.end());
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        std::optional<std::string> name = Decoded(pair.substr(0, equals));
        std::optional<std::string> value =
            Decoded(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
        if (!name || !value) return std::nullopt;
        fields.push_back({std::move(*name), std::move(*value)});
    }
    return fields;
}

Response Answer(const Request& request, const Limits& limits) {
    if (request.target.size() > limits.maxUrl)
        return Refuse(414, "the URL is " + std::to_string(request.target.size()) + " bytes, more than the " +
                               std::to_string(limits.maxUrl) + " this service reads (POST long data as the body)");
    const size_t mark = std::min(request.target.find('?'), request.target.size());
    const std::string_view path = request.target.substr(0, mark);
    const std::string_view query = request.target.substr(std::min(mark + 1, request.target.size()));
    if (request.method != "GET" && request.method != "HEAD" && request.method != "POST") {
        Response refused =
            Refuse(405, "the method " + std::string(request.method) + " is not offered: use GET or POST");
        refused.allow = "GET, HEAD, POST";
        return refused;
    }
    return Route(request, path, query, limits);
}

}  // namespace glyphrun::server
