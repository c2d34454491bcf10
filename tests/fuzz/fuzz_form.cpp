// libFuzzer target: any bytes as the body of a score submission, through the HTTP library's request
// and multipart readers into the server's form reader and handlers (test replay checker, store in memory).
#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <set>

#include "server/Service.h"
#include "tests/server/FakeVerifier.h"

using namespace blubbi::hiscore;

namespace {

// A connection whose incoming bytes are given and whose outgoing bytes are kept.
class TMemoryStream : public httplib::Stream {
public:
    explicit TMemoryStream(std::string in) : In(std::move(in)) {}
    bool is_readable() const override { return true; }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, In.size() - Position);
        std::memcpy(ptr, In.data() + Position, n);
        Position += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        Out.append(ptr, size);
        return static_cast<ssize_t>(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 1;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 2;
    }
    socket_t socket() const override { return INVALID_SOCKET; }
    std::string Out;

private:
    std::string In;
    size_t Position = 0;
};

// The library's request handling without a socket.
class TServer : public httplib::Server {
public:
    bool Handle(httplib::Stream& stream) {
        bool closed = false;
        return process_request(stream, true, closed, nullptr);
    }
};

struct TSetup {
    std::unique_ptr<TScoreStore> Store = OpenStore("sqlite::memory:");
    TFakeVerifier Verifier;
    TLimits Limits{.SubmissionsPerMinute = 0,
                   .VerifyTime = std::chrono::milliseconds(100),
                   .PictureQueue = 0,  // no drawing: it would reach the in-memory store on a connection of its own
                   .VerifyThreads = 1,
                   .LogRequests = false};
    THiscoreService Service{*Store, &Verifier, Limits};
    TServer Server;
    TSetup() { Service.Install(Server); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TSetup setup;
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::string request =
        "POST /api/scores HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: multipart/form-data; boundary=b\r\nContent-Length: " +
        std::to_string(size) + "\r\n\r\n" + body;
    TMemoryStream stream(request);
    setup.Server.Handle(stream);

    // Every answer is one of the server's, and an answer to the game is JSON.
    static const std::set<std::string> statuses{"200", "201", "400", "409", "413", "415", "422", "503"};
    const auto& out = stream.Out;
    if (out.rfind("HTTP/1.1 ", 0) != 0 || !statuses.count(out.substr(9, 3))) __builtin_trap();
    const auto bodyAt = out.find("\r\n\r\n");
    if (bodyAt == std::string::npos) __builtin_trap();
    const auto json = nlohmann::json::parse(out.substr(bodyAt + 4), nullptr, false);
    if (json.is_discarded() || !json.contains("reason")) __builtin_trap();
    return 0;
}
