// glyphrun-server: Data Matrix symbols over HTTP.
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <thread>

#include "glyphrun/version.h"
#include "http.h"

namespace {

// HOST:PORT, the host an IPv4 address or a bracketed IPv6 one.
bool ReadListen(const std::string& text, glyphrun::server::ServerOptions& options) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    const std::string port = text.substr(colon + 1);
    if (host.empty() || port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) > 65535)
        return false;
    options.host = host;
    options.port = static_cast<uint16_t>(std::stoi(port));
    return true;
}

// A log line a request, each written with one call so that lines from
// several threads never mix.
void LogLine(const std::string& line) {
    const std::string whole = line + "\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, whole.data(), whole.size());
}

}  // namespace

int main(int argc, char** argv) {
    glyphrun::server::ServerOptions options;
    std::string listen = "127.0.0.1:8080";
    CLI::App app("glyphrun-server " GLYPHRUN_VERSION ": Data Matrix ECC200 symbols over HTTP", "glyphrun-server");
    app.add_option("--listen", listen, "HOST:PORT to listen on (default 127.0.0.1:8080; port 0: any free one)");
    app.add_option("--threads", options.threads, "threads that answer requests (default: one per core)")
        ->check(CLI::Range(1, 256));
    app.add_option("--max-connections", options.maxConnections, "open connections at most; more get 503 (default 1024)")
        ->check(CLI::Range(1, 100000));
    app.add_option("--timeout", options.timeoutSeconds,
                   "seconds to read a whole request, or to write a response, before the connection is closed "
                   "(default 10)")
        ->check(CLI::Range(1, 3600));
    app.add_option("--max-data", options.limits.maxData, "bytes of data a request may give (default 4096); more: 413")
        ->check(CLI::Range(1, 1 << 20));
    app.add_option("--max-pixels", options.limits.maxPixels,
                   "pixels of a PNG, GIF or BMP picture at most (default 16777216); more: 413")
        ->check(CLI::Range(uint64_t{1}, uint64_t{1} << 28));
    app.set_version_flag("--version", "glyphrun-server " GLYPHRUN_VERSION);
    CLI11_PARSE(app, argc, argv);
    if (!ReadListen(listen, options)) {
        std::fprintf(stderr, "glyphrun-server: --listen takes HOST:PORT such as 127.0.0.1:8080, not '%s'\n",
                     listen.c_str());
        return 2;
    }
    options.limits.maxUrl = std::max<size_t>(8192, 3 * options.limits.maxData + 1024);  // room for the data %-escaped

    // SIGTERM and SIGINT end the run once the requests in flight are answered.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);  // for every thread started from here
    std::signal(SIGPIPE, SIG_IGN);

    std::string failure;
    const std::unique_ptr<glyphrun::server::Server> server = glyphrun::server::Server::Start(options, LogLine, failure);
    if (!server) {
        std::fprintf(stderr, "glyphrun-server: %s\n", failure.c_str());
        return 1;
    }
    std::fprintf(stderr, "glyphrun-server %s: listening on http://%s:%u/ (try /v1/symbol.png?data=LOT%%2042)\n",
                 GLYPHRUN_VERSION, options.host.c_str(), static_cast<unsigned>(server->Port()));
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopping, &signal);
        server->Stop();
    });
    waiter.detach();
    server->Run();
    std::fprintf(stderr, "glyphrun-server: stopped\n");
    return 0;
}
