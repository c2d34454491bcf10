// The edge on Boost.Beast: every read and write is asynchronous, so a connection that sends or
// takes its bytes slowly holds no thread, only its deadline. The routes, which may wait on the
// database or a replay's check, run on a pool of their own.
#include "server/HttpEdge.h"

#include <algorithm>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <cerrno>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

#include "server/RateLimit.h"

namespace blubbi::hiscore {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

namespace {

// Read and dropped after a refusal, so that the answer is not reset away under a body still coming.
constexpr size_t kDrainBytes = 4 << 20;
constexpr std::chrono::milliseconds kDrainTime{2000};
constexpr std::chrono::milliseconds kAcceptPause{100};

// For connections refused at the door, before anything is read: written at once, if the socket takes it.
const std::string kTooMany = [] {
    const std::string text = "Zu viele offene Verbindungen. Bitte gleich noch einmal versuchen.\n";
    return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain; charset=utf-8\r\nRetry-After: 5\r\n"
           "Connection: close\r\nContent-Length: " +
           std::to_string(text.size()) + "\r\n\r\n" + text;
}();

std::string AddressText(const tcp::endpoint& endpoint) {
    auto address = endpoint.address();
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6());
    return address.to_string();
}

}  // namespace

class TSession;

struct THttpEdge::TImpl {
    TImpl(const THttpRoutes& routes, const TEdgeLimits& limits, std::function<void(const std::string&)> onRefused)
        : Routes(routes),
          Limits(limits),
          OnRefused(std::move(onRefused)),
          Workers(static_cast<size_t>(std::max(1, limits.Threads))) {}

    const THttpRoutes& Routes;
    const TEdgeLimits Limits;
    const std::function<void(const std::string&)> OnRefused;

    std::mutex Lock;
    std::unordered_map<std::string, int> Open;  // connections by address bucket
    int OpenInAll = 0;
    std::atomic<int> Working{0};    // requests read and not yet answered
    std::atomic<size_t> Bodies{0};  // bytes of the bodies in flight, as reserved

    bool ReserveBody(size_t bytes) {
        size_t used = Bodies.load();
        do {
            if (bytes > Limits.BodiesInFlight - std::min(used, Limits.BodiesInFlight)) return false;
        } while (!Bodies.compare_exchange_weak(used, used + bytes));
        return true;
    }

    // Destroyed in the reverse order: the workers first (a running route finishes), then the network
    // side with the sessions it still holds, which leave their counts above.
    net::io_context Io;
    tcp::acceptor Acceptor{Io};
    net::steady_timer Pause{Io};
    net::thread_pool Workers;

    void Accept();
    void Admit(tcp::socket socket);
    void Leave(const std::string& bucket) {
        const std::lock_guard guard(Lock);
        --OpenInAll;
        if (!bucket.empty() && --Open[bucket] <= 0) Open.erase(bucket);
    }
};

// One client connection: requests read one after another, each answered before the next is read.
class TSession : public std::enable_shared_from_this<TSession> {
public:
    TSession(THttpEdge::TImpl& edge, tcp::socket socket, std::string address, std::string bucket)
        : Edge(edge), Stream(std::move(socket)), Address(std::move(address)), Bucket(std::move(bucket)) {}
    ~TSession() {
        ReleaseBody();
        Edge.Leave(Bucket);
    }

    void WaitForRequest() {
        if (Buffer.size() > 0) return ReadHeader();  // the next request came with the last
        Stream.expires_after(Edge.Limits.IdleTime);
        Stream.async_read_some(Buffer.prepare(4096), [self = shared_from_this()](beast::error_code ec, size_t n) {
            if (ec) return self->Close();
            self->Buffer.commit(n);
            self->ReadHeader();
        });
    }

private:
    void ReadHeader() {
        Parser.emplace();
        Parser->header_limit(static_cast<uint32_t>(std::min<size_t>(Edge.Limits.MaxHeader, UINT32_MAX)));
        // The declared length is judged once the whole header is known, so the refusal can say why.
        Parser->body_limit(std::numeric_limits<uint64_t>::max());
        Stream.expires_after(Edge.Limits.RequestTime);  // one deadline for the whole request
        http::async_read_header(Stream, Buffer, *Parser,
                                [self = shared_from_this()](beast::error_code ec, size_t n) { self->OnHeader(ec, n); });
    }

    void OnHeader(beast::error_code ec, size_t headerBytes) {
        if (ec) return Failed(ec);
        // The parser judges its limit by what each read brought, so a header that came whole in one
        // read may pass it by a read's size: the header as it came is held to the limit here.
        if (headerBytes > Edge.Limits.MaxHeader) return Refuse(431);
        const auto& head = Parser->get();
        if (head.has_content_length() && Parser->content_length().value_or(0) > Edge.Limits.MaxBody) return Refuse(413);
        // Room for the body among the others in flight, before a byte of it is read.
        const size_t body = head.has_content_length() ? static_cast<size_t>(Parser->content_length().value_or(0))
                            : head.chunked()          ? Edge.Limits.MaxBody
                                                      : 0;
        if (!Edge.ReserveBody(body)) return Refuse(503);
        BodyReserved = body;
        Parser->body_limit(Edge.Limits.MaxBody);  // a body sent in chunks is counted as it comes
        if (beast::iequals(head[http::field::expect], "100-continue")) {
            Continue = http::response<http::empty_body>{http::status::continue_, head.version()};
            return http::async_write(Stream, Continue, [self = shared_from_this()](beast::error_code e, size_t) {
                if (e) return self->Close();
                self->ReadBody();
            });
        }
        ReadBody();
    }

    void ReadBody() {
        http::async_read(Stream, Buffer, *Parser, [self = shared_from_this()](beast::error_code ec, size_t) {
            if (ec) return self->Failed(ec);
            self->Dispatch();
        });
    }

    // A request that could not be read: answered when the fault is the client's request, closed
    // when the connection is.
    void Failed(beast::error_code ec) {
        if (ec == http::error::header_limit) return Refuse(431);
        if (ec == http::error::body_limit) return Refuse(413);
        if (ec.category() == http::make_error_code(http::error::bad_target).category() &&
            ec != http::error::end_of_stream && ec != http::error::partial_message)
            return Refuse(400);
        Close();
    }

    // What is known of a request before its body: for the answer's kind and the log.
    THttpRequest Known() const {
        THttpRequest request;
        request.RemoteAddr = Address;
        if (!Parser || !Parser->is_header_done()) return request;
        const auto& head = Parser->get();
        request.Method = std::string(head.method_string());
        ParseTarget(std::string_view(head.target().data(), head.target().size()), request);
        return request;
    }

    void Dispatch() {
        auto message = Parser->release();
        Version = message.version();
        KeepAlive = message.keep_alive();
        Head = message.method() == http::verb::head;
        auto request = std::make_shared<THttpRequest>();
        request->RemoteAddr = Address;
        request->Method = std::string(message.method_string());
        if (!ParseTarget(std::string_view(message.target().data(), message.target().size()), *request))
            return Refuse(400);
        for (const auto& field : message)
            request->Headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
        request->Body = std::move(message.body());
        // Requests read faster than the routes answer them wait in memory: a bounded number.
        if (Edge.Working.fetch_add(1) >= Edge.Limits.Threads * 8) {
            --Edge.Working;
            return Refuse(503);
        }
        Stream.expires_never();  // the client waits for the routes; its own time starts with the answer
        net::post(Edge.Workers, [self = shared_from_this(), request] {
            auto response = std::make_shared<THttpResponse>();
            self->Edge.Routes.Answer(*request, *response);
            --self->Edge.Working;
            net::post(self->Stream.get_executor(), [self, response] { self->Send(*response); });
        });
    }

    void Refuse(int status) {
        THttpResponse response;
        Edge.Routes.Refuse(Known(), status, response);
        if (status == 503) response.SetHeader("Retry-After", "5");
        KeepAlive = false;
        Send(response);
    }

    void ReleaseBody() { Edge.Bodies -= std::exchange(BodyReserved, size_t{0}); }

    void Send(THttpResponse& response) {
        ReleaseBody();  // the request is answered: its body is gone
        Reply = {};
        Reply.version(Version);
        Reply.result(static_cast<unsigned>(response.Status));
        for (const auto& [name, value] : response.Headers) {
            if (beast::iequals(name, "Connection")) {
                if (beast::iequals(value, "close")) KeepAlive = false;
                continue;
            }
            Reply.set(name, value);
        }
        Reply.set(http::field::server, "blubbi-hiscore");
        Reply.body() = std::move(response.Body);
        Reply.prepare_payload();
        if (Head) Reply.body().clear();  // the length stays the one the body would have
        Reply.keep_alive(KeepAlive);
        Stream.expires_after(Edge.Limits.ReplyTime);
        http::async_write(Stream, Reply, [self = shared_from_this()](beast::error_code ec, size_t) {
            if (ec) return self->Close();
            if (!self->KeepAlive) return self->Drain();
            self->WaitForRequest();
        });
    }

    // After a refusal the client may still be sending; closing on unread bytes would reset the
    // connection and could lose the answer. So the rest is read and dropped, briefly.
    void Drain() {
        beast::error_code ignored;
        Stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        Buffer.consume(Buffer.size());
        Stream.expires_after(kDrainTime);
        DrainMore();
    }
    void DrainMore() {
        Stream.async_read_some(Buffer.prepare(size_t{16} * 1024),
                               [self = shared_from_this()](beast::error_code ec, size_t n) {
                                   self->Drained += n;
                                   if (ec || self->Drained > kDrainBytes) return self->Close();
                                   self->DrainMore();
                               });
    }

    void Close() {
        beast::error_code ignored;
        Stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        Stream.close();
    }

    THttpEdge::TImpl& Edge;
    beast::tcp_stream Stream;
    const std::string Address, Bucket;
    beast::flat_buffer Buffer;
    std::optional<http::request_parser<http::string_body>> Parser;
    http::response<http::empty_body> Continue;
    http::response<http::string_body> Reply;
    unsigned Version = 11;
    bool KeepAlive = false, Head = false;
    size_t Drained = 0;
    size_t BodyReserved = 0;
};

void THttpEdge::TImpl::Accept() {
    Acceptor.async_accept(net::make_strand(Io), [this](beast::error_code ec, tcp::socket socket) {
        if (!Acceptor.is_open()) return;
        if (ec) {  // out of descriptors and the like: again a little later, not in a busy loop
            Pause.expires_after(kAcceptPause);
            Pause.async_wait([this](beast::error_code e) {
                if (!e) Accept();
            });
            return;
        }
        Admit(std::move(socket));
        Accept();
    });
}

void THttpEdge::TImpl::Admit(tcp::socket socket) {
    beast::error_code ec;
    const auto endpoint = socket.remote_endpoint(ec);
    if (ec) return;
    const std::string address = AddressText(endpoint);
    const std::string bucket = address == Limits.UnlimitedAddress ? std::string() : TRateLimit::Bucket(address);
    bool admitted = false;
    {
        const std::lock_guard guard(Lock);
        if (OpenInAll < Limits.MaxConnections && (bucket.empty() || Open[bucket] < Limits.ConnectionsPerAddress)) {
            ++OpenInAll;
            if (!bucket.empty()) ++Open[bucket];
            admitted = true;
        } else if (!bucket.empty() && Open[bucket] == 0) {
            Open.erase(bucket);
        }
    }
    if (!admitted) {
        socket.non_blocking(true, ec);
        socket.write_some(net::buffer(kTooMany), ec);
        socket.shutdown(tcp::socket::shutdown_both, ec);
        socket.close(ec);
        if (OnRefused) OnRefused(address);
        return;
    }
    socket.set_option(tcp::no_delay(true), ec);  // the head and the body of an answer go out at once
    std::make_shared<TSession>(*this, std::move(socket), address, bucket)->WaitForRequest();
}

THttpEdge::THttpEdge(const THttpRoutes& routes, const TEdgeLimits& limits,
                     std::function<void(const std::string& address)> onRefused)
    : Impl(std::make_shared<TImpl>(routes, limits, std::move(onRefused))) {}

THttpEdge::~THttpEdge() {
    Stop();
    Impl->Workers.join();
}

int THttpEdge::Bind(const std::string& host, int port) {
    beast::error_code ec;
    const auto address = net::ip::make_address(host, ec);
    if (ec || port < 0 || port > 65535) {
        errno = EINVAL;
        return 0;
    }
    const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    auto& acceptor = Impl->Acceptor;
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) acceptor.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec) acceptor.bind(endpoint, ec);
    if (!ec) acceptor.listen(net::socket_base::max_listen_connections, ec);
    if (ec) {
        errno = ec.value();
        beast::error_code ignored;
        acceptor.close(ignored);
        return 0;
    }
    return acceptor.local_endpoint().port();
}

bool THttpEdge::Run() {
    if (!Impl->Acceptor.is_open()) return false;
    net::post(Impl->Io, [impl = Impl.get()] { impl->Accept(); });
    std::vector<std::thread> more;
    for (int i = 1; i < Impl->Limits.NetworkThreads; ++i) more.emplace_back([this] { Impl->Io.run(); });
    Impl->Io.run();
    for (auto& thread : more) thread.join();
    return true;
}

void THttpEdge::Stop() { Impl->Io.stop(); }

}  // namespace blubbi::hiscore
