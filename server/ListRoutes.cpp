// The list, as JSON and as the page, and one name's games: cached, packed and rate-limited.
#include "server/ListRoutes.h"

#include <algorithm>
#include <charconv>

#include "base/Gzip.h"
#include "server/Answers.h"
#include "server/Form.h"
#include "server/Page.h"

namespace blubbi::hiscore {

using nlohmann::json;

namespace {

// A whole non-negative number from a query parameter; fallback when absent.
std::optional<int> QueryNumber(const THttpRequest& req, const char* key, int fallback, int max) {
    if (!req.HasParam(key)) return fallback;
    const auto value = ParsePoints(req.Param(key));
    if (!value) return std::nullopt;
    return std::min(*value, max);
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
std::optional<std::vector<TScoreEntry>> PageAfter(TServiceContext& c, int64_t after, int limit) {
    auto page = c.Store.ListAfter(limit, after);
    if (page) c.Ranks.Rank(c.Store, *page);
    return page;
}

// A list answer, packed for a client that takes gzip (a list packs to a fifth) when it is larger than
// a packet.
// The packed answer is reused as the answer itself is.
void SendList(TServiceContext& c, const THttpRequest& req, THttpResponse& res, const std::string& key, std::string body,
              const char* type) {
    res.SetHeader("Vary", "Accept-Encoding");
    if (body.size() > 1400 && AcceptsGzip(req)) {
        res.SetHeader("Content-Encoding", "gzip");
        body = c.Cached("gzip " + key, [&] { return Gzip(body); });
    }
    res.SetContent(std::move(body), type);
}

// One name's games, best first; a place only for the one the list shows.
std::optional<std::vector<TScoreEntry>> GamesOf(TServiceContext& c, const THttpRequest& req, int limit,
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

void NameJson(TServiceContext& c, const THttpRequest& req, THttpResponse& res, int limit) {
    std::string name;
    const auto games = GamesOf(c, req, limit, name);
    if (!games) return Refuse(res, 400, "Kein gültiger Name.");
    SendJson(res, 200, json::parse(ListJson(*games, static_cast<int64_t>(games->size()), {}, limit)));
}

void NamePage(TServiceContext& c, const THttpRequest& req, THttpResponse& res) {
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

}  // namespace

// The list, as JSON and as the page.
void InstallLists(THttpRoutes& server, TServiceContext& c) {
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

}  // namespace blubbi::hiscore
