// glyphrun-server, started on a free port of 127.0.0.1 by each test and
// stopped by it, spoken to over real sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "image_readers.h"
#include "temp_folder.h"

extern char** environ;

namespace glyphrun::server {
namespace {

using namespace glyphrun::testing;
using namespace std::chrono_literals;

struct Reply {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

Reply Parse(const std::string& raw) {
    Reply reply;
    const size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos || raw.size() < 12) return reply;
    reply.status = std::stoi(raw.substr(9, 3));
    std::istringstream lines(raw.substr(0, end));
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        if (line.ends_with('\r')) line.pop_back();
        const size_t colon = line.find(':');
        std::string name = line.substr(0, colon);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        reply.headers[name] = line.substr(colon + 2);
    }
    reply.body = raw.substr(end + 4);
    return reply;
}

class Connection {
public:
    explicit Connection(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        timeval wait{5, 0};  // no test waits longer for the server
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~Connection() { close(fd_); }
    bool Send(std::string_view bytes) {
        return connected_ &&
               ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Everything until the server closes the connection (or 5 s pass).
    std::string ReadToClose() {
        std::string all;
        char chunk[65536];
        for (ssize_t got; (got = recv(fd_, chunk, sizeof chunk, 0)) > 0;) all.append(chunk, static_cast<size_t>(got));
        return all;
    }

private:
    int fd_;
    bool connected_ = false;
};

// The server with --timeout 1 and room for three connections, its log in a file of the test's own.
class Server : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        log_ = dir + "/server.log";
        const std::string command = std::string(GLYPHRUN_SERVER) +
                                    " --listen 127.0.0.1:0 --timeout 1 --threads 2 --max-connections 3 --max-data 200 "
                                    "--max-pixels 250000 "
                                    "2>" +
                                    log_;
        const std::string exec = "exec " + command;  // so that a signal reaches the server itself
        const char* argv[] = {"/bin/sh", "-c", exec.c_str(), nullptr};
        ASSERT_EQ(posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        const std::regex listening(R"(listening on http://127\.0\.0\.1:(\d+)/)");
        for (int tries = 0; tries < 500 && port_ == 0; ++tries) {
            std::smatch found;
            const std::string text = Slurp(log_);
            if (std::regex_search(text, found, listening)) port_ = std::stoi(found[1]);
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_NE(port_, 0) << Slurp(log_);
    }
    void TearDown() override {
        if (pid_ > 0 && Stop() == -1) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
        TempFolderTest::TearDown();
    }
    // SIGTERM; the exit status, or -1 when it has not ended within 5 s.
    int Stop() {
        kill(pid_, SIGTERM);
        for (int tries = 0; tries < 500; ++tries) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    Reply Get(const std::string& target, const std::string& headers = {}) {
        Connection connection(port_);
        connection.Send("GET " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers + "\r\n");
        return Parse(connection.ReadToClose());
    }
    Reply Post(const std::string& target, const std::string& body) {
        Connection connection(port_);
        connection.Send("POST " + target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n" + body);
        return Parse(connection.ReadToClose());
    }

    std::string log_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Every format's response reads back as the data, GET or POST; the headers say what it is.
TEST_F(Server, EveryFormatReadsBack) {
    const std::pair<const char*, std::string> kinds[] = {
        {"png", ""},
        {"gif", ""},
        {"bmp", ""},
        {"svg", "rsvg-convert -z 2 -o {png} {file}"},
        {"eps", "gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=png16m -r144 -sOutputFile={png} {file}"},
        {"pdf", "pdftoppm -r 144 -png -singlefile {file} {stem}"},
    };
    for (const auto& [extension, render] : kinds) {
        SCOPED_TRACE(extension);
        const Reply reply = Get(std::string("/v1/symbol.") + extension + "?data=LOT%2042%20%C3%84&module=4&fg=102030");
        ASSERT_EQ(reply.status, 200) << reply.body;
        EXPECT_EQ(reply.headers.at("content-length"), std::to_string(reply.body.size()));
        EXPECT_EQ(reply.headers.count("etag"), 1u);
        const std::string file = dir + "/symbol." + extension, stem = dir + "/rendered",
                          png = render.empty() ? file : stem + ".png";
        std::ofstream(file, std::ios::binary) << reply.body;
        if (!render.empty()) {
            std::string command = std::regex_replace(render, std::regex("\\{file\\}"), file);
            command = std::regex_replace(command, std::regex("\\{png\\}"), png);
            ASSERT_EQ(RunProgram(std::regex_replace(command, std::regex("\\{stem\\}"), stem)), 0);
        }
        EXPECT_EQ(ReadSymbolInFile(png, 8).value_or(Reading{}).text, "LOT 42 Ä");
    }
    const Reply posted = Post("/v1/symbol.png?gs1=1", "(01)09506000134352(10)ABC");
    ASSERT_EQ(posted.status, 200) << posted.body;
    std::ofstream(dir + "/posted.png", std::ios::binary) << posted.body;
    EXPECT_EQ(ReadSymbolInFile(dir + "/posted.png", 4).value_or(Reading{}).bytes, "010950600013435210ABC");
    EXPECT_NE(Get("/v1/info?data=(01)09506000134352&gs1=1").body.find("\"title\":\"GTIN\""), std::string::npos);
    EXPECT_EQ(Get("/healthz").body, "ok\n");
}

// The same request gives the same bytes and tag; the tag given back gets 304 without a body.
TEST_F(Server, SameRequestSameTagAndNotModified) {
    const Reply first = Get("/v1/symbol.svg?data=ETAG"), second = Get("/v1/symbol.svg?data=ETAG");
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(first.body, second.body);
    EXPECT_EQ(first.headers.at("etag"), second.headers.at("etag"));
    EXPECT_NE(first.headers.at("cache-control").find("max-age"), std::string::npos);
    const Reply cached = Get("/v1/symbol.svg?data=ETAG", "If-None-Match: " + first.headers.at("etag") + "\r\n");
    EXPECT_EQ(cached.status, 304);
    EXPECT_TRUE(cached.body.empty());
    EXPECT_EQ(Get("/v1/symbol.svg?data=OTHER", "If-None-Match: " + first.headers.at("etag") + "\r\n").status, 200);
}

// Each refusal: its status, a JSON reason and the field it is about; markup in the data only ever reaches a
// document escaped.
TEST_F(Server, RefusalsSayWhatAndWhere) {
    struct Case {
        std::string request;
        int status;
        const char* field;  // null: "field":null
    };
    const Case cases[] = {
        {"GET /v1/symbol.png?data=x&mode=bogus", 400, "mode"},
        {"GET /v1/symbol.png?data=x&fg=123456&bg=123457", 400, nullptr},
        {"GET /v1/symbol.png?data=x&output=/etc/passwd", 400, "output"},
        {"GET /v1/symbol.png?data=x&font=/etc/passwd&hri=1", 400, "font"},
        {"GET /v1/symbol.png?data=x&size=10x10&data=y", 400, "data"},
        {"GET /v1/symbol.png?data=%zz", 400, nullptr},
        {"GET /v1/symbol.png?mode=c40", 400, "data"},
        {"GET /v1/symbol.png?data=abcdefghijklmnopqrstuvwxyz&size=10x10", 400, "data"},
        {"GET /v1/symbol.png?data=(01)1&gs1=1", 400, "data"},
        {"GET /v1/symbol.png?data=x&gs1=yes", 400, "gs1"},
        {"GET /v1/symbol.png?data=" + std::string(201, 'A'), 413, "data"},
        {"GET /v1/symbol.png?data=x&module=50", 413, "module"},
        {"GET /v1/symbol.jpg?data=x", 404, nullptr},
        {"GET /etc/passwd", 404, nullptr},
        {"PUT /v1/symbol.png?data=x", 405, nullptr},
        {"GET /v1/symbol.png?data=" + std::string(20000, 'A'), 431, nullptr},
    };
    for (const Case& refused : cases) {
        SCOPED_TRACE(refused.request.substr(0, 80));
        Connection connection(port_);
        connection.Send(refused.request + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
        const Reply reply = Parse(connection.ReadToClose());
        EXPECT_EQ(reply.status, refused.status) << reply.body;
        EXPECT_EQ(reply.headers.at("content-type"), "application/json");
        EXPECT_NE(reply.body.find("{\"error\":\""), std::string::npos) << reply.body;
        EXPECT_NE(reply.body.find(refused.field ? "\"field\":\"" + std::string(refused.field) + "\"}"
                                                : std::string("\"field\":null}")),
                  std::string::npos)
            << reply.body;
    }
    EXPECT_EQ(Post("/v1/symbol.png", std::string(201, 'B')).status, 413);
    const std::string svg = Post("/v1/symbol.svg?hri=1", "<script>&").body;
    EXPECT_EQ(svg.find("<script>"), std::string::npos);
    EXPECT_NE(svg.find("&lt;script&gt;&amp;"), std::string::npos);
    // A fourth connection while three are held is told at once.
    Connection first(port_), second(port_), third(port_);
    const Reply over = Get("/healthz");
    EXPECT_EQ(over.status, 503);
    EXPECT_NE(over.body.find("at its limit of connections"), std::string::npos) << over.body;
}

// A client that dribbles its headers, and one whose body never ends, are cut off at the timeout while
// another is served at once; SIGTERM lets a request in flight finish, then the server exits 0.
TEST_F(Server, SlowClientsAreCutOffAndStopFinishesWhatIsInFlight) {
    Connection dribbling(port_), endless(port_);
    ASSERT_TRUE(dribbling.Send("GET /v1/symbol.png?da"));
    ASSERT_TRUE(endless.Send("POST /v1/symbol.png HTTP/1.1\r\nHost: x\r\nContent-Length: 100\r\n\r\nAB"));
    std::thread keepDribbling([&] {
        for (int i = 0; i < 30 && dribbling.Send("t"); ++i) std::this_thread::sleep_for(100ms);
    });
    EXPECT_EQ(Get("/v1/symbol.png?data=SERVED").status, 200);  // while both are held
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(dribbling.ReadToClose(), "");
    EXPECT_EQ(endless.ReadToClose(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
    keepDribbling.join();

    Connection inFlight(port_);
    ASSERT_TRUE(inFlight.Send("POST /v1/symbol.png HTTP/1.1\r\nHost: x\r\nContent-Length: 9\r\n\r\nIN "));
    std::this_thread::sleep_for(100ms);
    kill(pid_, SIGTERM);
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(inFlight.Send("FLIGHT"));
    const Reply finished = Parse(inFlight.ReadToClose());
    EXPECT_EQ(finished.status, 200);
    EXPECT_EQ(finished.headers.at("connection"), "close");
    EXPECT_EQ(Stop(), 0) << Slurp(log_);
    const std::string log = Slurp(log_);
    EXPECT_NE(log.find(" POST /v1/symbol.png 200 "), std::string::npos) << log;
    EXPECT_EQ(log.find("SERVED"), std::string::npos);  // the log keeps no data
}

}  // namespace
}  // namespace glyphrun::server
