// The hiscore server's network side: reads requests under the limits that keep slow or greedy
// clients from stopping the service, runs the routes on worker threads, sends the answers.
#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "server/Http.h"

namespace blubbi::hiscore {

struct TEdgeLimits {
    size_t MaxBody = 1 << 20;      // bytes of a request's body, also when sent in chunks: 413
    size_t MaxHeader = 16 * 1024;  // the request line and all header fields together: 431
    // A connection that sends nothing for this long is closed: before its first request, and between
    // requests when it is kept open.
    std::chrono::milliseconds IdleTime{5000};
    // From a request's first byte to its last: however slowly a client sends, it holds a connection
    // no longer than this.
    std::chrono::milliseconds RequestTime{20000};
    std::chrono::milliseconds ReplyTime{60000};  // for the client to take a whole answer
    // Bodies read, being read and waiting for their answer, all together: one is read only when its
    // declared length (a chunked one: MaxBody) fits beside the others; else 503.
    size_t BodiesInFlight = size_t{64} << 20;
    int ConnectionsPerAddress = 32;  // open at once from one client address (an IPv6 one by its /64)
    int MaxConnections = 10000;      // open at once in all
    std::string UnlimitedAddress{};  // the trusted proxy's: its connections carry many clients
    int Threads = 64;                // threads that run the routes; waiting on a check holds one
    int NetworkThreads = 2;          // threads that read and write, never waiting on anything
};

class THttpEdge {
public:
    // onRefused: told of each connection refused for an address's or the server's limit.
    THttpEdge(const THttpRoutes& routes, const TEdgeLimits& limits,
              std::function<void(const std::string& address)> onRefused = {});
    ~THttpEdge();

    // Listens on a numeric address; the port (the one chosen for port 0), or 0 with errno set.
    int Bind(const std::string& host, int port);
    // Serves until Stop; false when it could not.
    bool Run();
    void Stop();  // from any thread, also before Run

    struct TImpl;  // the network side and the counts, shared with the connections

private:
    std::shared_ptr<TImpl> Impl;
};

}  // namespace blubbi::hiscore
