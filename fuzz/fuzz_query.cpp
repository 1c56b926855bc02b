// The service's answer to any request a client can send: the input's first
// line is the method and target, the rest the body. Every answer is a
// status a client's request may get, never a server's failure, and a
// refusal is JSON naming its reason.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "service.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace glyphrun::server;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t newline = std::min(input.find('\n'), input.size());
    const std::string_view line = input.substr(0, newline), body = input.substr(std::min(newline + 1, size));
    const size_t space = std::min(line.find(' '), line.size());
    Request request{line.substr(0, space), line.substr(std::min(space + 1, line.size())), body, {}};
    static const Limits limits{2048, 512, uint64_t{1} << 20};
    const Response response = Answer(request, limits);
    switch (response.status) {
        case 200:
            // Symbols and their reports carry a tag; only /healthz is not to be kept.
            if (response.body.empty() || (response.etag.empty() && response.cacheControl != "no-store")) std::abort();
            break;
        case 400:
        case 404:
        case 405:
        case 413:
        case 414:
            if (response.contentType != "application/json" || response.body.rfind("{\"error\":\"", 0) != 0)
                std::abort();
            break;
        default: std::abort();
    }
    return 0;
}
