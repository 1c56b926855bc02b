#include "http.h"

// Asio's headers use std::exchange without including its header.
#include <utility>

#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <ctime>
#include <list>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace glyphrun::server {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// Headers besides the request line, at most.
constexpr size_t kHeaderRoom = 8192;

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

class Session;

struct Server::Impl {
    ServerOptions options;
    LogSink log;
    asio::io_context io;
    tcp::acceptor acceptor{io};
    asio::steady_timer drainTimer{io};
    std::atomic<int> connections{0};
    std::atomic<bool> draining{false};
    std::mutex mutex;  // sessions
    std::list<std::weak_ptr<Session>> sessions;

    explicit Impl(const ServerOptions& given, LogSink sink) : options(given), log(std::move(sink)), io(given.threads) {}
    void Accept();
    void Drain();
    void StopWhenQuiet(Clock::time_point deadline);
};

// One connection: read a request whole within the timeout, answer it,
// and read the next while the client keeps the connection.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, Server::Impl& server) : stream_(std::move(socket)), server_(server) {
        ++server_.connections;
    }
    ~Session() { --server_.connections; }

    void Read() {
        if (server_.draining) return Close();
        parser_.emplace();
        parser_->header_limit(static_cast<uint32_t>(server_.options.limits.maxUrl + kHeaderRoom));
        parser_->body_limit(server_.options.limits.maxData);
        // One deadline for the whole request: a client that dribbles its
        // headers or never ends its body is cut off at it.
        stream_.expires_after(std::chrono::seconds(server_.options.timeoutSeconds));
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](beast::error_code error, size_t) { self->OnRead(error); });
    }

    // Closes an idle connection when the server stops; one that has begun
    // a request is answered first.
    void StopIfIdle() {
        asio::post(stream_.get_executor(), [self = shared_from_this()] {
            if (self->parser_ && !self->parser_->got_some() && self->buffer_.size() == 0) self->Close();
        });
    }

    // Over the connection limit: told so at once, and closed.
    void Refuse() {
        Write(Refusal(503, "the service is at its limit of connections: try again shortly"), "-", "-", false,
              Clock::now());
    }

private:
    void OnRead(beast::error_code error) {
        const Clock::time_point start = Clock::now();
        if (error == http::error::header_limit) return Fail(431, "the request's headers are too long", start);
        if (error == http::error::body_limit)
            return Fail(413,
                        "the body is longer than the " + std::to_string(server_.options.limits.maxData) +
                            " bytes of data this service takes",
                        start);
        if (error) return Close();  // the client left, or timed out
        const http::request<http::string_body>& request = parser_->get();
        const std::string_view target(request.target().data(), request.target().size());
        Request asked{
            std::string_view(request.method_string().data(), request.method_string().size()), target, request.body(),
            std::string_view(request[http::field::if_none_match].data(), request[http::field::if_none_match].size())};
        const bool head = request.method() == http::verb::head;
        Write(Answer(asked, server_.options.limits), asked.method, target.substr(0, target.find('?')),
              request.keep_alive() && !server_.draining, start, head);
    }

    void Fail(int status, const std::string& reason, Clock::time_point start) {
        Write(Refusal(status, reason), "-", "-", false, start);
    }

    void Write(Response answer, std::string_view method, std::string_view path, bool keepAlive, Clock::time_point start,
               bool head = false) {
        response_ = {};
        response_.result(answer.status);
        response_.version(11);
        response_.set(http::field::server, "glyphrun");
        if (!answer.contentType.empty()) response_.set(http::field::content_type, answer.contentType);
        if (!answer.etag.empty()) response_.set(http::field::etag, answer.etag);
        if (!answer.cacheControl.empty()) response_.set(http::field::cache_control, answer.cacheControl);
        if (!answer.allow.empty()) response_.set(http::field::allow, answer.allow);
        response_.keep_alive(keepAlive);
        const size_t bytes = answer.body.size();
        response_.body() = head ? std::string() : std::move(answer.body);
        response_.content_length(bytes);
        stream_.expires_after(std::chrono::seconds(server_.options.timeoutSeconds));
        std::string line = UtcNow() + " " + std::string(method) + " " + std::string(path) + " " +
                           std::to_string(answer.status) + " " + std::to_string(bytes) + " ";
        http::async_write(
            stream_, response_,
            [self = shared_from_this(), keepAlive, start, line = std::move(line)](beast::error_code error, size_t) {
                const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
                self->server_.log(line + std::to_string(micros));
                if (!error && keepAlive) return self->Read();
                self->Close();
            });
    }

    void Close() {
        beast::error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
    }

    beast::tcp_stream stream_;
    Server::Impl& server_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    http::response<http::string_body> response_;
};

void Server::Impl::Accept() {
    acceptor.async_accept(asio::make_strand(io), [this](beast::error_code error, tcp::socket socket) {
        if (error) return;  // closed by Stop
        socket.set_option(tcp::no_delay(true));
        auto session = std::make_shared<Session>(std::move(socket), *this);
        if (connections > options.maxConnections) {
            session->Refuse();
        } else {
            std::lock_guard lock(mutex);
            sessions.remove_if([](const std::weak_ptr<Session>& each) { return each.expired(); });
            sessions.push_back(session);
            session->Read();
        }
        Accept();
    });
}

// No new connections or requests; the idle connections closed; the run
// ends when the last request in flight is answered, or at the timeout.
void Server::Impl::Drain() {
    if (draining.exchange(true)) return;
    beast::error_code ignored;
    acceptor.close(ignored);
    {
        std::lock_guard lock(mutex);
        for (const std::weak_ptr<Session>& each : sessions)
            if (const std::shared_ptr<Session> session = each.lock()) session->StopIfIdle();
    }
    StopWhenQuiet(Clock::now() + std::chrono::seconds(options.timeoutSeconds));
}

void Server::Impl::StopWhenQuiet(Clock::time_point deadline) {
    if (connections == 0 || Clock::now() >= deadline) return io.stop();
    drainTimer.expires_after(std::chrono::milliseconds(20));
    drainTimer.async_wait([this, deadline](beast::error_code) { StopWhenQuiet(deadline); });
}

Server::Server(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Server::~Server() = default;

std::unique_ptr<Server> Server::Start(const ServerOptions& options, LogSink log, std::string& failure) {
    ServerOptions chosen = options;
    if (chosen.threads <= 0) chosen.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    auto impl = std::make_unique<Impl>(chosen, std::move(log));
    beast::error_code error;
    const asio::ip::address address = asio::ip::make_address(chosen.host, error);
    if (error) {
        failure = "'" + chosen.host + "' is not an IP address";
        return nullptr;
    }
    const tcp::endpoint endpoint(address, chosen.port);
    impl->acceptor.open(endpoint.protocol(), error);
    if (!error) impl->acceptor.set_option(asio::socket_base::reuse_address(true), error);
    if (!error) impl->acceptor.bind(endpoint, error);
    if (!error) impl->acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        failure = "cannot listen on " + chosen.host + ":" + std::to_string(chosen.port) + ": " + error.message();
        return nullptr;
    }
    impl->Accept();
    return std::unique_ptr<Server>(new Server(std::move(impl)));
}

uint16_t Server::Port() const { return impl_->acceptor.local_endpoint().port(); }

void Server::Run() {
    std::vector<std::thread> others;
    for (int i = 1; i < impl_->options.threads; ++i) others.emplace_back([this] { impl_->io.run(); });
    impl_->io.run();
    for (std::thread& thread : others) thread.join();
}

void Server::Stop() {
    asio::post(impl_->io, [this] { impl_->Drain(); });
}

}  // namespace glyphrun::server
