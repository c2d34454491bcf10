// Command line, listening socket and signals of blubbi-hiscore.
#include "server/Run.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "server/Http.h"
#include "server/HttpEdge.h"
#include "server/Service.h"

namespace blubbi::hiscore {

std::string ProgramDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

namespace {

struct TAddress {
    std::string Host;
    int Port = 0;
    sockaddr_storage Socket{};
    socklen_t Length = 0;
};

// "127.0.0.1:8080", "[::1]:8080"; numeric addresses only, so nothing is looked up by name.
std::optional<TAddress> ParseListen(const std::string& text) {
    TAddress a;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find("]:");
        if (close == std::string::npos) return std::nullopt;
        a.Host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string::npos) return std::nullopt;
        a.Host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    a.Port = std::stoi(port);
    if (a.Port > 65535) return std::nullopt;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&a.Socket);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&a.Socket);
    if (inet_pton(AF_INET, a.Host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(a.Port));
        a.Length = sizeof(sockaddr_in);
    } else if (inet_pton(AF_INET6, a.Host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(a.Port));
        a.Length = sizeof(sockaddr_in6);
    } else {
        return std::nullopt;
    }
    return a;
}

std::string WhyNoBind(int error) {
    return error == EADDRINUSE      ? "the port is in use"
           : error == EADDRNOTAVAIL ? "the address is not one of this machine"
           : error == EACCES        ? "ports below 1024 need privileges"
                                    : std::strerror(error);
}

// As many descriptors as the system lets this process have: each open connection needs one. The
// connection limit stays below them, so that the database and the drawing always get theirs.
int RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
}

}  // namespace

int RunHiscoreServer(int argc, char** argv, const TVerifierFactory& makeVerifier) {
    CLI::App cli{"The Blubbi Blubbo hiscore server: takes games with their replays, checks them, lists them."};
    std::string listen = "127.0.0.1:8080";
    std::string db;
    std::string dataDir = ProgramDir();
    TLimits limits;
    TEdgeLimits edge;
    cli.add_option("--listen", listen, "address and port to listen on, ADDR:PORT (port 0: any free one)")
        ->capture_default_str();
    cli.add_option("--db", db, "sqlite:PATH or postgresql://... (default: sqlite:" + DefaultSqlitePath() + ")");
    cli.add_option("--data", dataDir, "the game's program folder (grafiken/, levels/) that replays are played with")
        ->capture_default_str();
    cli.add_option("--submissions-per-minute", limits.SubmissionsPerMinute,
                   "submissions one client address (an IPv6 one by its /64) may send each minute, 0: no limit; "
                   "each second a check takes counts as one more")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    cli.add_option("--burst", limits.SubmissionBurst, "submissions one client address may send at once")
        ->check(CLI::Range(1.0, 1e6))
        ->capture_default_str();
    cli.add_option("--max-frames", limits.MaxFrames, "longest replay taken, in frames (40 a second)")
        ->check(CLI::Range(int64_t{1}, int64_t{1} << 40))
        ->capture_default_str();
    cli.add_option("--trusted-proxy", limits.TrustedProxy,
                   "address of the proxy in front of the server: its X-Forwarded-For names the client")
        ->check(CLI::ValidIPV4 | CLI::Validator(
                                     [](std::string& a) {
                                         in6_addr v6{};
                                         return inet_pton(AF_INET6, a.c_str(), &v6) == 1 ? std::string()
                                                                                         : "not an IP address";
                                     },
                                     "IPV6"));
    double verifySeconds = 10;
    cli.add_option("--verify-seconds", verifySeconds, "time a submission's check may take")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    cli.add_option("--verify-threads", limits.VerifyThreads, "threads that check replays")
        ->check(CLI::Range(1, 256))
        ->capture_default_str();
    double pictureSeconds = 120;
    cli.add_option("--picture-seconds", pictureSeconds, "time the drawing of one entry's last frame may take")
        ->check(CLI::Range(1.0, 3600.0))
        ->capture_default_str();
    int64_t listCacheMs = limits.ListCacheTime.count();
    cli.add_option("--list-cache-ms", listCacheMs, "how long a list answer is reused, in ms (0: never)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    std::string adminTokenFile;
    cli.add_option("--admin-token-file", adminTokenFile,
                   "file holding the operator's token for /admin/hide and /admin/ban (at least 16 characters)")
        ->check(CLI::ExistingFile);
    int dbConnections = kDefaultDbConnections;
    cli.add_option("--db-connections", dbConnections,
                   "PostgreSQL connections this server keeps open at most; requests beyond them wait")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    cli.add_option("--threads", edge.Threads, "threads that answer requests (a submission holds one during its check)")
        ->check(CLI::Range(2, 4096))
        ->capture_default_str();
    cli.add_option("--connections-per-address", edge.ConnectionsPerAddress,
                   "connections one client address (an IPv6 one by its /64) may hold open at once")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    cli.add_option("--max-connections", edge.MaxConnections, "connections open at once in all")
        ->check(CLI::Range(16, 1000000))
        ->capture_default_str();
    double requestSeconds = 20;
    cli.add_option("--request-seconds", requestSeconds,
                   "time from a request's first byte to its last; a client sending slower is cut off")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
    CLI11_PARSE(cli, argc, argv);
    limits.VerifyTime = std::chrono::milliseconds(static_cast<int64_t>(verifySeconds * 1000));
    edge.RequestTime = std::chrono::milliseconds(static_cast<int64_t>(requestSeconds * 1000));
    edge.MaxBody = limits.MaxBody;
    edge.UnlimitedAddress = limits.TrustedProxy;
    edge.MaxConnections = std::min(edge.MaxConnections, RaiseDescriptorLimit() - 64);
    if (!adminTokenFile.empty()) {
        std::ifstream in(adminTokenFile);
        std::getline(in, limits.AdminToken);
        std::erase_if(limits.AdminToken, [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; });
        if (limits.AdminToken.size() < 16) {
            std::cerr << "blubbi-hiscore: " << adminTokenFile << " holds no token of 16 characters or more\n";
            return 2;
        }
    }
    limits.ListCacheTime = std::chrono::milliseconds(listCacheMs);
    limits.PictureTime = std::chrono::milliseconds(static_cast<int64_t>(pictureSeconds * 1000));

    const auto address = ParseListen(listen);
    if (!address) {
        std::cerr << "blubbi-hiscore: --listen wants a numeric ADDR:PORT such as 127.0.0.1:8080, not \"" << listen
                  << "\"\n";
        return 2;
    }
    if (db.empty()) db = "sqlite:" + DefaultSqlitePath();

    // SIGTERM and SIGINT are taken by one thread that stops the server; the others never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<TScoreStore> store;
    try {
        store = OpenStore(db, dbConnections);
    } catch (const std::exception& e) {
        std::cerr << "blubbi-hiscore: cannot open the database " << (db.rfind("sqlite:", 0) == 0 ? db : "(--db)")
                  << ": " << e.what() << "\n";
        return 1;
    }
    auto verifier = makeVerifier(dataDir.empty() || dataDir.back() == '/' ? dataDir : dataDir + "/");
    if (!verifier)
        std::cerr << "blubbi-hiscore: no replay checker in this build: the list is served, new scores are refused\n";

    THiscoreService service(*store, verifier.get(), limits);
    THttpRoutes routes;
    service.Install(routes);
    THttpEdge server(routes, edge, [&service](const std::string& client) { service.ConnectionRefused(client); });
    const int port = server.Bind(address->Host, address->Port);
    if (port == 0) {
        std::cerr << "blubbi-hiscore: cannot listen on " << listen << ": " << WhyNoBind(errno) << "\n";
        return 1;
    }
    const std::string shown = address->Socket.ss_family == AF_INET6 ? "[" + address->Host + "]" : address->Host;
    std::cout << "blubbi-hiscore: listening on http://" << shown << ":" << port << "/" << std::endl;

    std::thread stopper([&server, signals] {
        int sig = 0;
        sigwait(&signals, &sig);
        server.Stop();
    });
    const bool ok = server.Run();
    if (!ok) pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    std::cout << "blubbi-hiscore: stopped" << std::endl;
    return ok ? 0 : 1;
}

}  // namespace blubbi::hiscore
