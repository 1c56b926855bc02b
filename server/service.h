// The label service's answers, apart from the network: a request's method,
// target, body and validator in, a response out. Every request a client
// can send gets an answer here, a refusal being JSON with the status that
// says whose fault it was; nothing touches the file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glyphrun::server {

struct Limits {
    size_t maxUrl = 8192;                    // bytes of the request target
    size_t maxData = 4096;                   // bytes of the data, in the query or the body
    uint64_t maxPixels = uint64_t{1} << 24;  // of a raster picture (16 megapixels)
};

struct Request {
    std::string_view method;  // "GET", "HEAD", "POST", ...
    std::string_view target;  // "/v1/symbol.png?data=LOT%2042&module=6"
    std::string_view body;
    std::string_view ifNoneMatch;  // the If-None-Match header, or empty
};

struct Response {
    int status = 200;
    std::string contentType;
    std::string body;  // empty for 304
    std::string etag;  // strong: the same bytes, the same tag
    std::string cacheControl;
    std::string allow;  // with 405: the methods there are
};

Response Answer(const Request& request, const Limits& limits);

// A refusal: {"error": "...", "field": "..."}, the field null when empty.
Response Refusal(int status, const std::string& error, std::string_view field = {});

// A query's name=value pairs in order, %-escapes and '+' decoded; nothing
// when an escape is not two hexadecimal digits.
struct QueryField {
    std::string name, value;
};
std::optional<std::vector<QueryField>> ParseQuery(std::string_view query);

}  // namespace glyphrun::server
