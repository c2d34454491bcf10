// The routes of the hiscore server. Every answer to the game is JSON with a German reason; the
// list page is HTML. Storage and checking sit behind their interfaces.
#include "server/Service.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <charconv>

#include <openssl/crypto.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <shared_mutex>
#include <sstream>
#include <unordered_map>

#include "base/Gzip.h"
#include "base/Sha256.h"
#include "base/Version.h"
#include "server/BrowserGame.h"
#include "server/Budget.h"
#include "server/Form.h"
#include "server/Http.h"
#include "server/Page.h"

namespace blubbi::hiscore {

using nlohmann::json;

namespace {

// Finished list answers, reused until they are older than the cache time or a score was added here.
// When one has aged, a single request makes it anew while the others still get the old one, so
// that the clients of a busy server do not all query the database in the same moment.
class TListCache {
public:
    struct TItem {
        std::string Body;
        std::chrono::steady_clock::time_point Made;
        uint64_t Generation = 0;
        std::atomic<bool> Renewing{false};
    };

    explicit TListCache(std::chrono::milliseconds time) : Time(time) {}

    template <class F>
    std::string Get(const std::string& key, F&& make) {
        if (Time.count() <= 0) return make();
        const uint64_t generation = Current;
        std::shared_ptr<TItem> item;
        {
            std::shared_lock lock(Mutex);
            const auto it = Items.find(key);
            if (it != Items.end() && it->second->Generation == generation) item = it->second;
        }
        if (item) {
            const bool aged = std::chrono::steady_clock::now() - item->Made > Time;
            if (!aged || item->Renewing.exchange(true)) return item->Body;
        }
        auto fresh = std::make_shared<TItem>();
        try {
            fresh->Body = make();
        } catch (...) {
            if (item) item->Renewing = false;
            throw;
        }
        fresh->Made = std::chrono::steady_clock::now();
        // Made from the state before any score added meanwhile: kept under the older generation,
        // so that such a score is not hidden.
        fresh->Generation = generation;
        std::unique_lock lock(Mutex);
        if (Items.size() >= 1000) Items.clear();  // many different pages asked for: start again
        Items[key] = fresh;
        return fresh->Body;
    }
    void Invalidate() { ++Current; }

private:
    std::chrono::milliseconds Time;
    std::atomic<uint64_t> Current{0};
    std::shared_mutex Mutex;
    std::unordered_map<std::string, std::shared_ptr<TItem>> Items;
};

}  // namespace

// The points of every ranked entry, best first, and the number of entries: enough to give any page
// its places and the list its total without counting in the database for each request. Made anew
// when a score is added here, or when older than the list cache's time (scores of other servers).
class TRankIndex {
public:
    explicit TRankIndex(std::chrono::milliseconds time) : Time(time) {}
    void Invalidate() { Stale = true; }

    // Fills in the places of a page of the list (equal points share one).
    void Rank(TScoreStore& store, std::vector<TScoreEntry>& page) {
        const auto now = Now(store);
        // A place is one more than the ranked entries with more points: those lie before the first
        // with these points or fewer.
        for (auto& e : page)
            if (e.Ranked)
                e.Rank = 1 + (std::lower_bound(now->Points.begin(), now->Points.end(), e.Points, std::greater<>()) -
                              now->Points.begin());
    }
    int64_t Total(TScoreStore& store) { return Now(store)->Count; }

private:
    struct TSnapshot {
        std::vector<int32_t> Points;
        int64_t Count = 0;
        std::chrono::steady_clock::time_point Made;
    };

    // The index as it stands; one caller renews an old one while the others go on with it.
    std::shared_ptr<const TSnapshot> Now(TScoreStore& store) {
        std::shared_ptr<const TSnapshot> snapshot;
        {
            std::lock_guard lock(Mutex);
            snapshot = Current;
        }
        const bool old = !snapshot || Stale || std::chrono::steady_clock::now() - snapshot->Made > Time;
        if (!old || (snapshot && Renewing.exchange(true))) return snapshot;
        Stale = false;  // a score added from here on makes the next one old again
        auto fresh = std::make_shared<TSnapshot>();
        try {
            fresh->Points = store.RankedPoints();
            fresh->Count = store.Count();
        } catch (...) {
            Renewing = false;
            throw;
        }
        fresh->Made = std::chrono::steady_clock::now();
        {
            std::lock_guard lock(Mutex);
            Current = fresh;
        }
        Renewing = false;
        return fresh;
    }

    std::chrono::milliseconds Time;
    std::atomic<bool> Stale{true}, Renewing{false};
    std::mutex Mutex;
    std::shared_ptr<const TSnapshot> Current;
};

struct THiscoreService::TContext {
    TScoreStore& Store;
    TScoreVerifier* Verifier;
    TLimits Limits;
    TRateLimit Rate;
    TVerifyPool Pool;
    TListCache Lists;
    TRankIndex Ranks;
    TBudget Memory;
    TRateLimit Reads;
    // Replays by the hash of their bytes, as this server entered or recognised them: a resend of the
    // same bytes is answered without a check.
    std::mutex SeenLock;
    std::unordered_map<std::string, int64_t> SeenIds;
    // Pictures: the entries whose drawing is queued or running, and the one thread that draws. Set
    // as the server stops, Stopping cuts a drawing short.
    std::atomic<bool> Stopping{false};
    std::mutex DrawingLock;
    std::set<int64_t> Drawing;
    TVerifyPool Drawer;
    // What /metrics counts: requests by route and status, checks by verdict and their time, errors
    // of the database.
    std::mutex CountsLock;
    std::map<std::pair<std::string, int>, uint64_t> Requests;
    std::map<std::string, uint64_t> Checks;
    double CheckSeconds = 0;
    uint64_t DbErrors = 0;
    uint64_t RefusedConnections = 0;
    TWebFiles Web;

    TContext(TScoreStore& store, TScoreVerifier* verifier, const TLimits& limits)
        : Store(store),
          Verifier(verifier),
          Limits(limits),
          Rate(limits.SubmissionsPerMinute, limits.SubmissionBurst),
          Pool(limits.VerifyThreads, limits.VerifyQueue),
          Lists(limits.ListCacheTime),
          Ranks(limits.ListCacheTime),
          Memory(limits.SubmissionMemory),
          Reads(limits.ReadsPerMinute, limits.ReadBurst),
          Drawer(1, limits.PictureQueue),
          Web(TWebFiles::Load(limits.WebDir)) {}
    ~TContext() { Stopping = true; }  // before the drawing thread is joined

    // The lists changed here: answers reused so far and the places are made anew.
    void Changed() {
        Lists.Invalidate();
        Ranks.Invalidate();
    }

    // Draws the entry's last frame later, once: the picture, or an empty one for a drawing that
    // failed, so that it is not tried again for each view.
    void DrawLater(int64_t id, const std::string& client) {
        if (!Verifier) return;
        {
            std::lock_guard lock(DrawingLock);
            if (!Drawing.insert(id).second) return;
        }
        const bool queued = Drawer.Post([this, id, client] {
            try {
                if (!Stopping) {
                    const auto replay = Unpacked(Store.Replay(id));
                    const auto start = std::chrono::steady_clock::now();
                    const auto png =
                        replay ? Verifier->LastFramePng(*replay, Limits.MaxFrames, Stopping, start + Limits.PictureTime)
                               : std::nullopt;
                    // The drawing's time is the address's that sent the game, as its check's is.
                    const auto end = std::chrono::steady_clock::now();
                    Rate.Charge(client, std::chrono::duration<double>(end - start).count(), end);
                    if (!Stopping) Store.SavePicture(id, png.value_or(std::string()));
                }
            } catch (const std::exception& e) {
                // The database failed: the picture stays undrawn, and a later view asks again.
                std::cerr << "blubbi-hiscore: the picture of entry " << id << " was not drawn: " << e.what()
                          << std::endl;
            }
            std::lock_guard lock(DrawingLock);
            Drawing.erase(id);
        });
        if (queued) return;
        std::lock_guard lock(DrawingLock);
        Drawing.erase(id);
    }

    // A stored replay as text: kept packed, it is unpacked (within the bound of any submission).
    static std::optional<std::string> Unpacked(std::optional<std::string> stored) {
        if (!stored || !IsGzip(*stored)) return stored;
        return Gunzip(*stored, kMaxReplayBytes);
    }

    void Seen(const std::string& bytesHash, int64_t id) {
        std::lock_guard lock(SeenLock);
        if (SeenIds.size() >= 100000) SeenIds.clear();  // a bound, not a history
        SeenIds[bytesHash] = id;
    }
    std::optional<int64_t> SeenBefore(const std::string& bytesHash) {
        std::lock_guard lock(SeenLock);
        const auto it = SeenIds.find(bytesHash);
        if (it == SeenIds.end()) return std::nullopt;
        return it->second;
    }

    template <class F>
    std::string Cached(const std::string& key, F&& make) {
        return Lists.Get(key, std::forward<F>(make));
    }
};

namespace {

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kScoresPath = "/api/scores";
constexpr const char* kTooBig = "Die Einsendung ist zu groß (höchstens 1 MB).";

void SendJson(THttpResponse& res, int status, const json& body) {
    res.Status = status;
    res.SetContent(body.dump(-1, ' ', false, json::error_handler_t::replace), kJson);
}

void Refuse(THttpResponse& res, int status, const std::string& reason) {
    SendJson(res, status, {{"id", nullptr}, {"rank", nullptr}, {"verified", false}, {"reason", reason}});
}

json EntryJson(const TScoreEntry& e) {
    const std::string id = std::to_string(e.Id);
    return {{"id", e.Id},
            {"rank", e.Rank ? json(*e.Rank) : json(nullptr)},
            {"verified", e.Verified},
            {"ranked", e.Ranked},
            {"name", e.Name},
            {"points", e.Points},
            {"level", e.Level},
            {"note", e.Note},
            {"data", e.DataVersion},
            {"replay", "/replays/" + id + ".blubbi-replay"},
            {"picture", "/replays/" + id + ".png"}};
}

std::string PlaceText(const TScoreEntry& e) {
    return e.Rank ? " Platz " + std::to_string(*e.Rank) + "." : std::string();
}

// The answer for a game that is entered already: its entry as it stands now, for the one who
// entered it (a retry); a copy sent under another name is refused.
void AnswerKnown(TScoreStore& store, THttpResponse& res, int64_t id, const std::string& name) {
    const auto entry = store.Get(id);
    if (!entry) return Refuse(res, 410, "Dieses Spiel wurde aus der Liste genommen.");
    if (entry->Name != name) return Refuse(res, 409, "Dieses Spiel ist schon unter einem anderen Namen eingetragen.");
    auto body = EntryJson(*entry);
    body["duplicate"] = true;
    body["reason"] = "Dieses Spiel ist schon eingetragen." + PlaceText(*entry);
    SendJson(res, 200, body);
}

// A whole non-negative number from a query parameter; fallback when absent.
std::optional<int> QueryNumber(const THttpRequest& req, const char* key, int fallback, int max) {
    if (!req.HasParam(key)) return fallback;
    const auto value = ParsePoints(req.Param(key));
    if (!value) return std::nullopt;
    return std::min(*value, max);
}

// The request carries the operator's token (compared in constant time).
bool Operator(const THiscoreService::TContext& c, const THttpRequest& req) {
    const std::string given = req.Header("Authorization");
    const std::string wanted = "Bearer " + c.Limits.AdminToken;
    return given.size() == wanted.size() && CRYPTO_memcmp(given.data(), wanted.data(), wanted.size()) == 0;
}

// Where a list page begins: `after=ID` (by an entry: an index seek at any depth) or `offset=N`.
std::optional<TPageAt> PageAt(const THttpRequest& req) {
    TPageAt at;
    if (req.HasParam("after")) {
        const std::string text = req.Param("after");
        int64_t id = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
        if (ec != std::errc() || end != text.data() + text.size() || id < 0) return std::nullopt;
        at.After = id;
        return at;
    }
    const auto offset = QueryNumber(req, "offset", 0, INT32_MAX);
    if (!offset) return std::nullopt;
    at.Offset = *offset;
    return at;
}

// The page after an entry, with its places from the rank index; nullopt when there is no such entry.
std::optional<std::vector<TScoreEntry>> PageAfter(THiscoreService::TContext& c, int64_t after, int limit) {
    auto page = c.Store.ListAfter(limit, after);
    if (page) c.Ranks.Rank(c.Store, *page);
    return page;
}

void Submit(THiscoreService::TContext& c, const THttpRequest& req, THttpResponse& res);
std::string ClientAddress(const THiscoreService::TContext& c, const THttpRequest& req);

// What the submission just handled on this thread came to, for its log line.
thread_local std::string Verdict;
thread_local double CheckMs = -1;

// The route a path belongs to, for counting: the few the server has, the rest as one.
std::string Route(const std::string& path) {
    if (path.rfind("/replays/", 0) == 0)
        return path.ends_with(".png") ? "/replays/ID.png" : "/replays/ID.blubbi-replay";
    if (path.rfind("/watch/", 0) == 0) return "/watch/ID";
    if (path.rfind("/web/", 0) == 0) return "/web/FILE";
    for (const char* known : {kScoresPath, "/", "/showhi.php", "/name", "/healthz", "/metrics", "/play"})
        if (path == known) return path;
    return "other";
}

// What a client sent, fit for a line of the log: control characters (a decoded %0A would begin a
// forged line) and the backslash as \xNN.
std::string Printable(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x20 && byte != 0x7F && ch != '\\') {
            out += ch;
            continue;
        }
        static constexpr char kHex[] = "0123456789abcdef";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
    }
    return out;
}

void LogLine(std::string line) {
    static std::mutex lock;
    line += "\n";
    const std::lock_guard guard(lock);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// One line a request on standard output: client, method, path, status, and for a checked
// submission its verdict and the check's time; and the request counted.
void LogRequest(THiscoreService::TContext& c, const THttpRequest& req, const THttpResponse& res) {
    {
        const std::lock_guard guard(c.CountsLock);
        ++c.Requests[{Route(req.Path), res.Status}];
        if (!Verdict.empty()) ++c.Checks[Verdict];
        if (CheckMs >= 0) c.CheckSeconds += CheckMs / 1000;
    }
    if (!c.Limits.LogRequests) {
        Verdict.clear();
        CheckMs = -1;
        return;
    }
    std::string line = ClientAddress(c, req) + " " + Printable(req.Method) + " " + Printable(req.Path) + " " +
                       std::to_string(res.Status);
    if (!Verdict.empty()) line += " " + Verdict;
    if (CheckMs >= 0) line += " " + std::to_string(static_cast<int64_t>(CheckMs)) + "ms";
    Verdict.clear();
    CheckMs = -1;
    LogLine(line);
}

}  // namespace

THiscoreService::THiscoreService(TScoreStore& store, TScoreVerifier* verifier, const TLimits& limits)
    : Context(std::make_unique<TContext>(store, verifier, limits)) {}

THiscoreService::~THiscoreService() = default;

namespace {

// A ban's kind and value as the store keeps them: a name cleaned as entered, an address valid (an
// IPv6 one by its /64); nothing, with a reason, for anything else.
std::optional<std::pair<std::string, std::string>> BanOf(const THttpRequest& req, std::string& reason) {
    if (req.HasParam("name")) {
        const auto name = CleanName(req.Param("name"), reason);
        if (!name) return std::nullopt;
        return std::pair<std::string, std::string>{"name", *name};
    }
    if (req.HasParam("address")) {
        const std::string address = req.Param("address");
        unsigned char probe[sizeof(in6_addr)];
        if (inet_pton(AF_INET, address.c_str(), probe) != 1 && inet_pton(AF_INET6, address.c_str(), probe) != 1) {
            reason = "address ist keine IP-Adresse.";
            return std::nullopt;
        }
        return std::pair<std::string, std::string>{"address", TRateLimit::Bucket(address)};
    }
    reason = "name oder address fehlt.";
    return std::nullopt;
}

// Every action of the operator's is a line of the log.
void Audit(THiscoreService::TContext& c, const THttpRequest& req, const std::string& what) {
    LogLine(ClientAddress(c, req) + " admin " + Printable(what));
}

// Takes an entry out of the lists, or shows it again.
THttpHandler Hiding(THiscoreService::TContext& c, bool hide) {
    return [&c, hide](const THttpRequest& req, THttpResponse& res) {
        if (!Operator(c, req)) return Refuse(res, 401, "Nur für den Betreiber.");
        const auto id = req.HasParam("id") ? ParsePoints(req.Param("id")) : std::nullopt;
        if (!id) return Refuse(res, 400, "id fehlt.");
        if (!(hide ? c.Store.Hide(*id) : c.Store.Unhide(*id)))
            return Refuse(res, 404, hide ? "Diesen Eintrag gibt es nicht." : "Dieser Eintrag ist nicht verborgen.");
        c.Changed();
        Audit(c, req, std::string(hide ? "hide" : "unhide") + " id=" + std::to_string(*id));
        SendJson(res, 200, {{hide ? "hidden" : "shown", *id}});
    };
}

// Refuses a name or an address from now on, or lifts that.
THttpHandler Banning(THiscoreService::TContext& c, bool ban) {
    return [&c, ban](const THttpRequest& req, THttpResponse& res) {
        if (!Operator(c, req)) return Refuse(res, 401, "Nur für den Betreiber.");
        std::string reason;
        const auto what = BanOf(req, reason);
        if (!what) return Refuse(res, 400, reason);
        if (ban)
            c.Store.Ban(what->first, what->second);
        else if (!c.Store.Unban(what->first, what->second))
            return Refuse(res, 404, "Diese Sperre gibt es nicht.");
        c.Changed();
        Audit(c, req, std::string(ban ? "ban " : "unban ") + what->first + "=" + what->second);
        SendJson(res, 200, {{ban ? "banned" : "unbanned", true}, {what->first, what->second}});
    };
}

// The operator's: take an entry out of the lists and back, refuse a name or an address and lift it,
// and see what is hidden and banned.
void InstallAdmin(THttpRoutes& server, THiscoreService::TContext& c) {
    server.Post("/admin/hide", Hiding(c, true));
    server.Post("/admin/unhide", Hiding(c, false));
    server.Post("/admin/ban", Banning(c, true));
    server.Post("/admin/unban", Banning(c, false));
    server.Get("/admin/list", [&c](const THttpRequest& req, THttpResponse& res) {
        if (!Operator(c, req)) return Refuse(res, 401, "Nur für den Betreiber.");
        json bans = json::array();
        for (const auto& [kind, value] : c.Store.Bans()) bans.push_back({{"kind", kind}, {"value", value}});
        SendJson(res, 200, {{"bans", bans}, {"hidden", c.Store.HiddenIds(1000)}});
    });
}

// What the operator asks: the state of the server, its counts, and the hiding and bans.
void InstallOperator(THttpRoutes& server, THiscoreService::TContext& c) {
    // For the operator: whether the database answers and how many checks wait; the counts in
    // Prometheus's text format.
    server.Get("/healthz", [&c](const THttpRequest&, THttpResponse& res) {
        bool database = true;
        try {
            c.Store.Count();
        } catch (const std::exception&) {
            database = false;
        }
        SendJson(res, database ? 200 : 503,
                 {{"status", database ? "ok" : "database unreachable"},
                  {"database", database},
                  {"version", ProgramVersion()},
                  {"queue", c.Pool.Waiting()}});
    });
    server.Get("/metrics", [&c](const THttpRequest&, THttpResponse& res) {
        std::ostringstream out;
        const std::lock_guard guard(c.CountsLock);
        out << "# TYPE blubbi_requests_total counter\n";
        for (const auto& [key, n] : c.Requests)
            out << "blubbi_requests_total{route=\"" << key.first << "\",status=\"" << key.second << "\"} " << n << "\n";
        out << "# TYPE blubbi_checks_total counter\n";
        for (const auto& [verdict, n] : c.Checks)
            out << "blubbi_checks_total{verdict=\"" << verdict << "\"} " << n << "\n";
        out << "# TYPE blubbi_check_seconds_total counter\nblubbi_check_seconds_total " << c.CheckSeconds << "\n";
        out << "# TYPE blubbi_check_queue gauge\nblubbi_check_queue " << c.Pool.Waiting() << "\n";
        out << "# TYPE blubbi_check_threads gauge\nblubbi_check_threads " << c.Limits.VerifyThreads << "\n";
        out << "# TYPE blubbi_database_errors_total counter\nblubbi_database_errors_total " << c.DbErrors << "\n";
        out << "# TYPE blubbi_connections_refused_total counter\nblubbi_connections_refused_total "
            << c.RefusedConnections << "\n";
        res.SetContent(out.str(), "text/plain; version=0.0.4; charset=utf-8");
    });

    if (!c.Limits.AdminToken.empty()) InstallAdmin(server, c);
}

// A list answer, packed for a client that takes gzip (a list packs to a fifth) when it is larger than
// a packet.
// A reading route within its address's rate: many clients may read, none may read without end.
THttpHandler Limited(THiscoreService::TContext& c, THttpHandler handler) {
    return [&c, handler = std::move(handler)](const THttpRequest& req, THttpResponse& res) {
        int wait = 0;
        if (c.Limits.ReadsPerMinute > 0 && !c.Reads.Take(ClientAddress(c, req), TRateLimit::TClock::now(), wait)) {
            res.SetHeader("Retry-After", std::to_string(wait));
            res.Status = 429;
            return res.SetContent(
                "Zu viele Anfragen von dieser Adresse. Bitte in " + std::to_string(wait) + " Sekunden noch einmal.\n",
                "text/plain; charset=utf-8");
        }
        handler(req, res);
    };
}

// The packed answer is reused as the answer itself is.
void SendList(THiscoreService::TContext& c, const THttpRequest& req, THttpResponse& res, const std::string& key,
              std::string body, const char* type) {
    res.SetHeader("Vary", "Accept-Encoding");
    if (body.size() > 1400 && AcceptsGzip(req)) {
        res.SetHeader("Content-Encoding", "gzip");
        body = c.Cached("gzip " + key, [&] { return Gzip(body); });
    }
    res.SetContent(std::move(body), type);
}

// One name's games, best first; a place only for the one the list shows.
std::optional<std::vector<TScoreEntry>> GamesOf(THiscoreService::TContext& c, const THttpRequest& req, int limit,
                                                std::string& name) {
    std::string reason;
    const auto cleaned = CleanName(req.Param("name"), reason);
    if (!cleaned) return std::nullopt;
    name = *cleaned;
    auto games = c.Store.ListOfName(name, limit);
    if (!games.empty()) c.Ranks.Rank(c.Store, games);
    for (size_t i = 1; i < games.size(); ++i) games[i].Rank.reset();
    return games;
}

void NameJson(THiscoreService::TContext& c, const THttpRequest& req, THttpResponse& res, int limit) {
    std::string name;
    const auto games = GamesOf(c, req, limit, name);
    if (!games) return Refuse(res, 400, "Kein gültiger Name.");
    SendJson(res, 200, json::parse(ListJson(*games, static_cast<int64_t>(games->size()), {}, limit)));
}

void NamePage(THiscoreService::TContext& c, const THttpRequest& req, THttpResponse& res) {
    std::string name;
    const auto games = GamesOf(c, req, c.Limits.MaxPageSize, name);
    if (!games) {
        res.Status = 404;
        return;
    }
    const int64_t maxMinutes = c.Limits.MaxFrames / kFramesPerSecond / 60;
    res.SetContent(
        ListPage(*games, static_cast<int64_t>(games->size()), TPageAt{}, c.Limits.MaxPageSize, maxMinutes, name),
        "text/html; charset=utf-8");
}

// The list, as JSON and as the page.
void InstallLists(THttpRoutes& server, THiscoreService::TContext& c) {
    server.Get(kScoresPath, Limited(c, [&c](const THttpRequest& req, THttpResponse& res) {
                   const auto limit = QueryNumber(req, "limit", c.Limits.PageSize, c.Limits.MaxPageSize);
                   if (req.HasParam("name") && limit && *limit > 0) return NameJson(c, req, res, *limit);
                   const auto at = PageAt(req);
                   if (!limit || !at || *limit == 0)
                       return Refuse(res, 400, "limit, offset und after müssen ganze Zahlen sein (limit ab 1).");
                   if (!at->After) {
                       const std::string key = "json " + std::to_string(*limit) + " " + std::to_string(at->Offset);
                       SendList(c, req, res, key,
                                c.Cached(key,
                                         [&] {
                                             return ListJson(c.Store.List(*limit, at->Offset), c.Ranks.Total(c.Store),
                                                             *at, *limit);
                                         }),
                                kJson);
                       return;
                   }
                   // A page after an entry is reused as one by count is; "" stands for no such entry.
                   const std::string key = "json " + std::to_string(*limit) + " after " + std::to_string(*at->After);
                   std::string body = c.Cached(key, [&] {
                       const auto page = PageAfter(c, *at->After, *limit);
                       return page ? ListJson(*page, c.Ranks.Total(c.Store), *at, *limit) : std::string();
                   });
                   if (body.empty()) return Refuse(res, 404, "Diesen Eintrag gibt es nicht.");
                   SendList(c, req, res, key, std::move(body), kJson);
               }));

    const auto listPage = [&c](const THttpRequest& req, THttpResponse& res) {
        const TPageAt at = PageAt(req).value_or(TPageAt{});
        const int limit = c.Limits.PageSize;
        const int64_t maxMinutes = c.Limits.MaxFrames / kFramesPerSecond / 60;
        if (!at.After) {
            const std::string key = "page " + std::to_string(at.Offset);
            SendList(c, req, res, key,
                     c.Cached(key,
                              [&] {
                                  return ListPage(c.Store.List(limit, at.Offset), c.Ranks.Total(c.Store), at, limit,
                                                  maxMinutes);
                              }),
                     "text/html; charset=utf-8");
            return;
        }
        const std::string key = "page after " + std::to_string(*at.After);
        SendList(c, req, res, key,
                 c.Cached(key,
                          [&] {
                              const auto page = PageAfter(c, *at.After, limit);
                              return ListPage(page.value_or(std::vector<TScoreEntry>{}), c.Ranks.Total(c.Store), at,
                                              limit, maxMinutes);
                          }),
                 "text/html; charset=utf-8");
    };
    // One name's games: the list shows each name by its best only.
    server.Get("/name", Limited(c, [&c](const THttpRequest& req, THttpResponse& res) { NamePage(c, req, res); }));
    server.Get("/", Limited(c, listPage));
    server.Get("/showhi.php", Limited(c, listPage));
}

// An entry's replay and picture never change once kept: the tag of their bytes answers a client that
// has them already with 304.
bool NotModified(const THttpRequest& req, THttpResponse& res, const std::string& bytes) {
    const std::string tag = "\"" + Sha256Hex(bytes).substr(0, 32) + "\"";
    res.SetHeader("ETag", tag);
    const std::string asked = req.Header("If-None-Match");
    if (asked.empty() || (asked != "*" && asked.find(tag) == std::string::npos)) return false;
    res.Status = 304;
    return true;
}

// Each entry's replay and the picture of its last frame.
void InstallReplays(THttpRoutes& server, THiscoreService::TContext& c) {
    server.Get(R"(/replays/(\d{1,18})\.blubbi-replay)", Limited(c, [&c](const THttpRequest& req, THttpResponse& res) {
                   auto stored = c.Store.Replay(std::stoll(req.Matches[1]));
                   if (!stored) {
                       res.Status = 404;
                       return;
                   }
                   res.SetHeader("Cache-Control", "public, max-age=86400");
                   res.SetHeader("Content-Disposition",
                                 "attachment; filename=\"" + req.Matches[1] + ".blubbi-replay\"");
                   res.SetHeader("Vary", "Accept-Encoding");
                   if (NotModified(req, res, *stored)) return;
                   // Kept packed: sent so to whoever takes gzip, unpacked to the others.
                   if (IsGzip(*stored) && AcceptsGzip(req)) {
                       res.SetHeader("Content-Encoding", "gzip");
                       return res.SetContent(std::move(*stored), "application/octet-stream");
                   }
                   const auto text = THiscoreService::TContext::Unpacked(std::move(stored));
                   if (!text) throw TStoreError("entry " + req.Matches[1] + ": its replay does not unpack");
                   res.SetContent(*text, "application/octet-stream");
               }));

    server.Get(R"(/replays/(\d{1,18})\.png)", Limited(c, [&c](const THttpRequest& req, THttpResponse& res) {
                   const int64_t id = std::stoll(req.Matches[1]);
                   const auto png = c.Store.Picture(id);
                   if (png && !png->empty()) {
                       res.SetHeader("Cache-Control", "public, max-age=86400");
                       if (NotModified(req, res, *png)) return;
                       res.SetContent(*png, "image/png");
                       return;
                   }
                   // None yet (entered before pictures were drawn at once, or still being drawn): it comes.
                   if (!png && c.Verifier && c.Store.Get(id)) {
                       c.DrawLater(id, ClientAddress(c, req));
                       res.Status = 503;
                       res.SetHeader("Retry-After", "30");
                       res.SetHeader("Cache-Control", "no-store");
                       res.SetContent("Das Bild wird gerade gezeichnet. Bitte später noch einmal.\n",
                                      "text/plain; charset=utf-8");
                       return;
                   }
                   res.Status = 404;  // no such entry, or its drawing failed
               }));
}

// Answers for what goes wrong: the edge's and the routes' own, and a handler's exception.
void InstallErrors(THttpRoutes& server, THiscoreService::TContext& c) {
    // Answers without a text of their own (unknown path, unreadable or too big a request) get a German one.
    server.OnError = [](const THttpRequest& req, THttpResponse& res) {
        if (!res.Body.empty()) return;
        std::string reason;
        switch (res.Status) {
            case 404: reason = "Nicht gefunden."; break;
            case 413: reason = kTooBig; break;
            case 400: reason = "Die Anfrage ist fehlerhaft."; break;
            case 405: reason = "Diese Methode gibt es hier nicht."; break;
            case 431: reason = "Die Kopfzeilen der Anfrage sind zu lang."; break;
            case 503: reason = "Der Server ist gerade ausgelastet. Bitte gleich noch einmal."; break;
            default: reason = "Fehler " + std::to_string(res.Status) + ".";
        }
        if (req.Path.rfind("/api/", 0) == 0)
            Refuse(res, res.Status, reason);
        else
            res.SetContent(reason + "\n", "text/plain; charset=utf-8");
    };

    server.OnException = [&c](const THttpRequest& req, THttpResponse& res, const std::exception_ptr& ep) {
        std::string what = "unknown error";
        try {
            std::rethrow_exception(ep);
        } catch (const TStoreError& e) {
            what = e.what();
            const std::lock_guard guard(c.CountsLock);
            ++c.DbErrors;
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {}
        std::cerr << "blubbi-hiscore: " << req.Method << " " << req.Path << ": " << what << std::endl;
        const std::string reason = "Der Server kann die Anfrage gerade nicht bearbeiten. Bitte später noch einmal.";
        if (req.Path.rfind("/api/", 0) == 0) {
            Refuse(res, 503, reason);
        } else {
            res.Status = 503;
            res.SetContent(reason + "\n", "text/plain; charset=utf-8");
        }
    };
}

}  // namespace

void THiscoreService::Install(THttpRoutes& server) {
    TContext& c = *Context;
    server.OnLog = [&c](const THttpRequest& req, const THttpResponse& res) { LogRequest(c, req, res); };

    server.Post(kScoresPath, [&c](const THttpRequest& req, THttpResponse& res) { Submit(c, req, res); });

    InstallOperator(server, c);
    InstallLists(server, c);
    InstallReplays(server, c);
    InstallBrowserGame(server, c.Store, c.Web);
    InstallErrors(server, c);
}

void THiscoreService::ConnectionRefused(const std::string& address) {
    TContext& c = *Context;
    {
        const std::lock_guard guard(c.CountsLock);
        ++c.RefusedConnections;
    }
    if (c.Limits.LogRequests) LogLine(address + " - connection refused: too many open");
}

namespace {

// The client's address: the connection's, or, behind the proxy the operator named, the last one
// that proxy put into X-Forwarded-For (those before it the client may have written itself).
std::string ClientAddress(const THiscoreService::TContext& c, const THttpRequest& req) {
    if (c.Limits.TrustedProxy.empty() || req.RemoteAddr != c.Limits.TrustedProxy) return req.RemoteAddr;
    // Several fields are one list in their order: the proxy's own address comes last, in the last one.
    std::string forwarded;
    for (const auto& [name, value] : req.Headers)
        if (EqualNoCase(name, "X-Forwarded-For")) forwarded += (forwarded.empty() ? "" : ",") + value;
    std::string last = forwarded.substr(forwarded.rfind(',') + 1);
    std::erase_if(last, [](char ch) { return ch == ' ' || ch == '\t'; });
    unsigned char probe[sizeof(in6_addr)];
    const bool address = inet_pton(AF_INET, last.c_str(), probe) == 1 || inet_pton(AF_INET6, last.c_str(), probe) == 1;
    return address ? last : req.RemoteAddr;
}

// The verdict of a submission as answered: a game entered before is "known" to the one who entered it
// and refused to anyone else.
void AnswerKnownGame(THiscoreService::TContext& c, THttpResponse& res, int64_t id, const std::string& name) {
    AnswerKnown(c.Store, res, id, name);
    Verdict = res.Status == 200 ? "known" : "refused";
}

void Submit(THiscoreService::TContext& c, const THttpRequest& req, THttpResponse& res) {
    // The body (at most 1 MB) has been read; everything else waits for the address's turn.
    const std::string client = ClientAddress(c, req);
    int wait = 0;
    if (!c.Rate.Take(client, TRateLimit::TClock::now(), wait)) {
        res.SetHeader("Retry-After", std::to_string(wait));
        return Refuse(res, 429,
                      "Zu viele Einsendungen von dieser Adresse. Bitte in " + std::to_string(wait) +
                          " Sekunden noch einmal versuchen.");
    }
    // Room for the form's copy of the body and the unpacked replay, beside the others in work.
    auto memory = c.Memory.Take(2 * req.Body.size() + kMaxReplayBytes, c.Limits.MemoryWait);
    if (!memory) {
        res.SetHeader("Retry-After", "5");
        return Refuse(res, 503, "Der Server hat gerade zu viele Einsendungen in Arbeit. Bitte gleich noch einmal.");
    }
    auto form = ReadSubmission(req);
    if (!form.Submission) return Refuse(res, form.Status, form.Reason);
    auto& s = *form.Submission;
    memory->Keep(2 * req.Body.size() + s.Replay.size());
    if (c.Store.Banned("address", TRateLimit::Bucket(client)) || c.Store.Banned("name", s.Name))
        return Refuse(res, 403, "Einsendungen unter diesem Namen oder von dieser Adresse werden nicht angenommen.");
    if (!c.Verifier)
        return Refuse(res, 503, "Dieser Server kann Wiederholungen nicht prüfen und nimmt keine Punkte an.");

    // Cheap checks first: the head's frame count, then whether these very bytes were entered already.
    TVerifyResult unread;
    const auto declared = c.Verifier->DeclaredFrames(s.Replay, unread);
    if (!declared)
        return Refuse(res, 400,
                      unread.Line > 0 ? Judge(unread, s.Points, c.Limits.MaxFrames).Reason
                                      : std::string("Die Wiederholung ist unlesbar."));
    if (*declared > c.Limits.MaxFrames)
        return Refuse(res, 413,
                      "Die Wiederholung ist zu lang (höchstens " + std::to_string(c.Limits.MaxFrames) + " Bilder).");
    const std::string hash = Sha256Hex(s.Replay);
    if (const auto known = c.SeenBefore(hash)) return AnswerKnownGame(c, res, *known, s.Name);

    auto replay = std::make_shared<std::string>(std::move(s.Replay));
    TScoreVerifier* verifier = c.Verifier;
    const int64_t maxFrames = c.Limits.MaxFrames;
    TVerifyResult summary;
    const auto checkStart = std::chrono::steady_clock::now();
    // The job holds the replay's memory until it ends, also when its answer has gone for its time.
    const auto outcome = c.Pool.Run<TVerifyResult>(
        [replay, verifier, maxFrames, memory](const std::atomic<bool>& cancel) {
            return verifier->Verify(*replay, maxFrames, cancel);
        },
        std::chrono::steady_clock::now() + c.Limits.VerifyTime, summary);
    // What the sender chooses, the length and the kind of its game, it pays for: each second of
    // checking costs another submission.
    const auto checkEnd = std::chrono::steady_clock::now();
    c.Rate.Charge(client, std::chrono::duration<double>(checkEnd - checkStart).count(), checkEnd);
    CheckMs = std::chrono::duration<double, std::milli>(checkEnd - checkStart).count();
    Verdict = "refused";
    if (outcome == TVerifyPool::TOutcome::Busy) {
        res.SetHeader("Retry-After", "10");
        return Refuse(res, 503, "Der Server prüft gerade zu viele Spiele. Bitte später noch einmal senden.");
    }
    if (outcome == TVerifyPool::TOutcome::TimedOut) {
        summary = TVerifyResult{};
        summary.Status = TVerifyResult::TStatus::Cancelled;
    }

    const auto j = Judge(summary, s.Points, c.Limits.MaxFrames);
    if (!j.Store) {
        if (j.Status == 503) res.SetHeader("Retry-After", "30");
        return Refuse(res, j.Status, j.Reason);
    }
    TNewScore score;
    score.Name = s.Name;
    score.Points = s.Points;
    score.Level = summary.LevelAtEnd();  // reached, not where its answer led
    score.Frames = summary.Frames;
    score.Verified = j.Verified;
    score.Ranked = j.Ranked;
    score.Note = j.Note;
    // One game is one entry, whatever its text: the check knows it by what it computed.
    score.ReplayHash = summary.GameId.empty() ? hash : summary.GameId;
    if (const auto known = c.Store.FindByHash(score.ReplayHash)) {
        c.Seen(hash, *known);
        return AnswerKnownGame(c, res, *known, s.Name);
    }
    // Kept packed: a tenth of the text, served as it is to clients that take gzip.
    score.Replay = Gzip(*replay);
    replay.reset();
    score.CreatedAt = static_cast<int64_t>(std::time(nullptr));
    score.DataVersion = summary.DataHash;
    const auto added = c.Store.Add(score);
    c.Changed();
    c.Seen(hash, added.Id);
    if (added.Created) c.DrawLater(added.Id, client);
    if (!added.Created) return AnswerKnownGame(c, res, added.Id, s.Name);
    Verdict = j.Ranked ? "ranked" : "unranked";
    const auto entry = c.Store.Get(added.Id);
    auto body = entry ? EntryJson(*entry) : json{{"id", added.Id}, {"rank", nullptr}, {"verified", j.Verified}};
    body["duplicate"] = false;
    body["reason"] = j.Reason + (entry ? PlaceText(*entry) : std::string());
    SendJson(res, j.Status, body);
}

}  // namespace

}  // namespace blubbi::hiscore
