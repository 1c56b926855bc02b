// The label service on the network: HTTP/1.1 with keep-alive over
// Boost.Beast, every connection asynchronous, so that a slow or idle
// client holds a socket and a timer but never a thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "service.h"

namespace glyphrun::server {

struct ServerOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 8080;  // 0: any free port (the one chosen is in Listening())
    int threads = 0;       // 0: one per core
    int maxConnections = 1024;
    int timeoutSeconds = 10;  // to read a whole request, and to write a response
    Limits limits;
};

// Where each request's log line goes: "2026-12-08T18:00:00Z GET /v1/symbol.png 200 312 41".
using LogSink = std::function<void(const std::string& line)>;

class Server {
public:
    // Listening when it returns; nothing and the reason when the address
    // cannot be had.
    static std::unique_ptr<Server> Start(const ServerOptions& options, LogSink log, std::string& failure);
    ~Server();
    uint16_t Port() const;
    // Serves until Stop(), then returns once the requests in flight are
    // answered (or the timeout has passed).
    void Run();
    // Stops taking connections and requests; safe from any thread.
    void Stop();

    struct Impl;  // the network's side, which the connections share

private:
    explicit Server(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace glyphrun::server
