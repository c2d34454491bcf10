// Command line, listening socket and signals of blubbi-hiscore.
#include "server/Run.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

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

// Binding once ourselves tells why the library could not: the errno it does not pass on.
std::string WhyNoBind(const TAddress& a) {
    const int fd = socket(a.Socket.ss_family, SOCK_STREAM, 0);
    if (fd < 0) return std::strerror(errno);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    std::string why;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a.Socket), a.Length) != 0) {
        why = errno == EADDRINUSE      ? "the port is in use"
              : errno == EADDRNOTAVAIL ? "the address is not one of this machine"
              : errno == EACCES        ? "ports below 1024 need privileges"
                                       : std::strerror(errno);
    } else {
        why = "unknown reason";
    }
    close(fd);
    return why;
}

}  // namespace

int RunHiscoreServer(int argc, char** argv, const TVerifierFactory& makeVerifier) {
    CLI::App cli{"The Blubbi Blubbo hiscore server: takes games with their replays, checks them, lists them."};
    std::string listen = "127.0.0.1:8080";
    std::string db;
    std::string dataDir = ProgramDir();
    TLimits limits;
    int threads = 256;
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
    cli.add_option("--threads", threads, "threads that serve HTTP connections")
        ->check(CLI::Range(2, 4096))
        ->capture_default_str();
    CLI11_PARSE(cli, argc, argv);
    limits.VerifyTime = std::chrono::milliseconds(static_cast<int64_t>(verifySeconds * 1000));
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

    httplib::Server server;
    THiscoreService service(*store, verifier.get(), limits);
    service.Install(server);
    // Each open connection holds a thread, also while it idles between requests: many threads (cheap
    // while they wait), and idle connections closed after a few seconds.
    server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(std::max(2, threads))); };
    server.set_keep_alive_max_count(1000000);
    server.set_keep_alive_timeout(3);
    server.set_tcp_nodelay(true);  // the head and the body of an answer go out at once, not 40 ms apart
    server.set_read_timeout(10);
    server.set_write_timeout(10);
    server.set_address_family(address->Socket.ss_family);

    int port = address->Port;
    if (port == 0) {
        port = server.bind_to_any_port(address->Host);
        if (port < 0) port = 0;
    } else if (!server.bind_to_port(address->Host, port)) {
        port = 0;
    }
    if (port == 0) {
        std::cerr << "blubbi-hiscore: cannot listen on " << listen << ": " << WhyNoBind(*address) << "\n";
        return 1;
    }
    const std::string shown = address->Socket.ss_family == AF_INET6 ? "[" + address->Host + "]" : address->Host;
    std::cout << "blubbi-hiscore: listening on http://" << shown << ":" << port << "/" << std::endl;

    std::thread stopper([&server, signals] {
        int sig = 0;
        sigwait(&signals, &sig);
        server.stop();
    });
    const bool ok = server.listen_after_bind();
    // listen_after_bind only returns early by a failure; then the stopper still waits for its signal.
    if (!ok && server.is_running()) server.stop();
    if (stopper.joinable()) {
        if (!ok) pthread_kill(stopper.native_handle(), SIGTERM);
        stopper.join();
    }
    std::cout << "blubbi-hiscore: stopped" << std::endl;
    return ok ? 0 : 1;
}

}  // namespace blubbi::hiscore
