// Command line, listening socket and signals of blubbi-hiscore.
#include "server/Run.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "base/Version.h"
#include "server/Http.h"
#include "server/HttpEdge.h"
#include "server/Service.h"
#include "server/SqliteStore.h"

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

// What the command line sets.
struct TOptions {
    std::string Listen = "127.0.0.1:8080";
    std::string Db;
    std::string BackupTo;
    std::string DataDir = ProgramDir();
    TLimits Limits = [] {
        TLimits limits;
        limits.WebDir = ProgramDir() + "/web";
        return limits;
    }();
    TEdgeLimits Edge;
    double VerifySeconds = 10;
    double PictureSeconds = 120;
    int64_t ListCacheMs = TLimits{}.ListCacheTime.count();
    std::string AdminTokenFile;
    int DbConnections = kDefaultDbConnections;
    double RequestSeconds = 20;
    size_t SubmissionMemoryMb = TLimits{}.SubmissionMemory >> 20;
    size_t BodiesMb = TEdgeLimits{}.BodiesInFlight >> 20;
};

void AddOptions(CLI::App& cli, TOptions& o) {
    cli.add_option("--listen", o.Listen, "address and port to listen on, ADDR:PORT (port 0: any free one)")
        ->capture_default_str();
    cli.add_option("--db", o.Db, "sqlite:PATH or postgresql://... (default: sqlite:" + DefaultSqlitePath() + ")");
    cli.add_option("--backup", o.BackupTo, "copy the SQLite store to this file while servers use it, and exit");
    cli.add_option("--data", o.DataDir, "the game's program folder (grafiken/, levels/) that replays are played with")
        ->capture_default_str();
    cli.add_option("--web", o.Limits.WebDir, "the browser's files (scripts/build-web.sh makes them)")
        ->capture_default_str();
    cli.add_option("--submissions-per-minute", o.Limits.SubmissionsPerMinute,
                   "submissions one client address (an IPv6 one by its /64) may send each minute, 0: no limit; "
                   "each second a check takes counts as one more")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    cli.add_option("--burst", o.Limits.SubmissionBurst, "submissions one client address may send at once")
        ->check(CLI::Range(1.0, 1e6))
        ->capture_default_str();
    cli.add_option("--max-frames", o.Limits.MaxFrames, "longest replay taken, in frames (40 a second)")
        ->check(CLI::Range(int64_t{1}, int64_t{1} << 40))
        ->capture_default_str();
    cli.add_option("--trusted-proxy", o.Limits.TrustedProxy,
                   "address of the proxy in front of the server: its X-Forwarded-For names the client")
        ->check(CLI::ValidIPV4 | CLI::Validator(
                                     [](std::string& a) {
                                         in6_addr v6{};
                                         return inet_pton(AF_INET6, a.c_str(), &v6) == 1 ? std::string()
                                                                                         : "not an IP address";
                                     },
                                     "IPV6"));
    cli.add_option("--verify-seconds", o.VerifySeconds, "time a submission's check may take")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    cli.add_option("--verify-threads", o.Limits.VerifyThreads, "threads that check replays")
        ->check(CLI::Range(1, 256))
        ->capture_default_str();
    cli.add_option("--picture-seconds", o.PictureSeconds, "time the drawing of one entry's last frame may take")
        ->check(CLI::Range(1.0, 3600.0))
        ->capture_default_str();
    cli.add_option("--list-cache-ms", o.ListCacheMs, "how long a list answer is reused, in ms (0: never)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    cli.add_option("--admin-token-file", o.AdminTokenFile,
                   "file holding the operator's token for /admin/hide and /admin/ban (at least 16 characters)")
        ->check(CLI::ExistingFile);
    cli.add_option("--db-connections", o.DbConnections,
                   "PostgreSQL connections this server keeps open at most; requests beyond them wait")
        ->check(CLI::Range(1, 1000))
        ->capture_default_str();
    cli.add_option("--threads", o.Edge.Threads,
                   "threads that answer requests (a submission holds one during its check)")
        ->check(CLI::Range(2, 4096))
        ->capture_default_str();
    cli.add_option("--connections-per-address", o.Edge.ConnectionsPerAddress,
                   "connections one client address (an IPv6 one by its /64) may hold open at once")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    cli.add_option("--max-connections", o.Edge.MaxConnections, "connections open at once in all")
        ->check(CLI::Range(16, 1000000))
        ->capture_default_str();
    cli.add_option("--reads-per-minute", o.Limits.ReadsPerMinute,
                   "lists, replays and pictures one client address may ask for each minute, 0: no limit")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    cli.add_option("--read-burst", o.Limits.ReadBurst, "of those, how many at once")
        ->check(CLI::Range(1.0, 1e9))
        ->capture_default_str();
    cli.add_option("--submission-memory-mb", o.SubmissionMemoryMb,
                   "MB the submissions in work may hold at once (their forms and unpacked replays)")
        ->check(CLI::Range(8, 1 << 20))
        ->capture_default_str();
    cli.add_option("--bodies-mb", o.BodiesMb, "MB of request bodies read, being read or waiting at once")
        ->check(CLI::Range(2, 1 << 20))
        ->capture_default_str();
    cli.add_option("--request-seconds", o.RequestSeconds,
                   "time from a request's first byte to its last; a client sending slower is cut off")
        ->check(CLI::Range(0.1, 3600.0))
        ->capture_default_str();
}

// The options' values where the server takes them; false, having said why, for a bad token file.
bool FinishOptions(TOptions& o) {
    o.Limits.VerifyTime = std::chrono::milliseconds(static_cast<int64_t>(o.VerifySeconds * 1000));
    o.Edge.RequestTime = std::chrono::milliseconds(static_cast<int64_t>(o.RequestSeconds * 1000));
    o.Edge.MaxBody = o.Limits.MaxBody;
    o.Limits.SubmissionMemory = o.SubmissionMemoryMb << 20;
    o.Edge.BodiesInFlight = o.BodiesMb << 20;
    o.Edge.UnlimitedAddress = o.Limits.TrustedProxy;
    o.Edge.MaxConnections = std::min(o.Edge.MaxConnections, RaiseDescriptorLimit() - 64);
    if (!o.AdminTokenFile.empty()) {
        std::ifstream in(o.AdminTokenFile);
        std::getline(in, o.Limits.AdminToken);
        std::erase_if(o.Limits.AdminToken, [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; });
        if (o.Limits.AdminToken.size() < 16) {
            std::cerr << "blubbi-hiscore: " << o.AdminTokenFile << " holds no token of 16 characters or more\n";
            return false;
        }
    }
    o.Limits.ListCacheTime = std::chrono::milliseconds(o.ListCacheMs);
    o.Limits.PictureTime = std::chrono::milliseconds(static_cast<int64_t>(o.PictureSeconds * 1000));

    return true;
}

// --backup: a copy of the SQLite store taken while the servers run on; PostgreSQL has pg_dump for it.
int BackupStore(const TOptions& o) {
    if (o.Db.rfind("sqlite:", 0) != 0) {
        std::cerr << "blubbi-hiscore: --backup copies a SQLite store; a PostgreSQL database is saved with pg_dump\n";
        return 2;
    }
    try {
        TSqliteStore::Backup(o.Db.substr(7), o.BackupTo);
    } catch (const std::exception& e) {
        std::cerr << "blubbi-hiscore: " << e.what() << "\n";
        return 1;
    }
    std::cout << "blubbi-hiscore: " << o.Db.substr(7) << " copied to " << o.BackupTo << std::endl;
    return 0;
}

}  // namespace

namespace {
// Entries stored while the level shown was the one after the game-over answer take the level their
// replay reached, once, each change in the log.
void CorrectLevels(TScoreStore& store, TScoreVerifier& verifier, int64_t maxFrames) {
    const std::atomic<bool> never{false};
    for (const int64_t id : store.LevelsDue()) {
        const std::optional<TScoreEntry> entry = store.Get(id);
        const std::optional<std::string> replay = entry ? store.Replay(id) : std::nullopt;
        std::optional<int32_t> level;
        if (replay) {
            const TVerifyResult r = verifier.Verify(*replay, maxFrames, never);
            if (r.Status == TVerifyResult::TStatus::Ok && r.LevelAtEnd() != entry->Level) level = r.LevelAtEnd();
        }
        if (level)
            std::cout << "blubbi-hiscore: entry " << id << " lost on level " << *level << ", not " << entry->Level
                      << " (its replay checked again)" << std::endl;
        store.LevelChecked(id, level);
    }
}
}  // namespace

int RunHiscoreServer(int argc, char** argv, const TVerifierFactory& makeVerifier) {
    CLI::App cli{"The Blubbi Blubbo hiscore server: takes games with their replays, checks them, lists them."};
    cli.set_version_flag("--version", "blubbi-hiscore " + ProgramVersion());
    TOptions o;
    AddOptions(cli, o);
    CLI11_PARSE(cli, argc, argv);
    if (!FinishOptions(o)) return 2;

    const auto address = ParseListen(o.Listen);
    if (!address) {
        std::cerr << "blubbi-hiscore: --listen wants a numeric ADDR:PORT such as 127.0.0.1:8080, not \"" << o.Listen
                  << "\"\n";
        return 2;
    }
    if (o.Db.empty()) o.Db = "sqlite:" + DefaultSqlitePath();
    if (!o.BackupTo.empty()) return BackupStore(o);

    // SIGTERM and SIGINT are taken by one thread that stops the server; the others never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<TScoreStore> store;
    try {
        store = OpenStore(o.Db, o.DbConnections);
    } catch (const std::exception& e) {
        std::cerr << "blubbi-hiscore: cannot open the database " << (o.Db.rfind("sqlite:", 0) == 0 ? o.Db : "(--db)")
                  << ": " << e.what() << "\n";
        return 1;
    }
    auto verifier = makeVerifier(o.DataDir.empty() || o.DataDir.back() == '/' ? o.DataDir : o.DataDir + "/");
    if (!verifier)
        std::cerr << "blubbi-hiscore: no replay checker in this build: the list is served, new scores are refused\n";

    if (verifier) CorrectLevels(*store, *verifier, o.Limits.MaxFrames);

    THiscoreService service(*store, verifier.get(), o.Limits);
    THttpRoutes routes;
    service.Install(routes);
    THttpEdge server(routes, o.Edge, [&service](const std::string& client) { service.ConnectionRefused(client); });
    const int port = server.Bind(address->Host, address->Port);
    if (port == 0) {
        std::cerr << "blubbi-hiscore: cannot listen on " << o.Listen << ": " << WhyNoBind(errno) << "\n";
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
    if (!ok) kill(getpid(), SIGTERM);  // the stopper waits for a signal to the process
    stopper.join();
    std::cout << "blubbi-hiscore: stopped" << std::endl;
    return ok ? 0 : 1;
}

}  // namespace blubbi::hiscore
