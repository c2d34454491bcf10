// The operator's routes behind the token: hiding entries and banning names and addresses.
#include "server/AdminRoutes.h"

#include <arpa/inet.h>

#include <openssl/crypto.h>

#include "server/Answers.h"
#include "server/Form.h"
#include "server/RequestLog.h"

namespace blubbi::hiscore {

using nlohmann::json;

namespace {

// The request carries the operator's token (compared in constant time).
bool Operator(const TServiceContext& c, const THttpRequest& req) {
    const std::string given = req.Header("Authorization");
    const std::string wanted = "Bearer " + c.Limits.AdminToken;
    return given.size() == wanted.size() && CRYPTO_memcmp(given.data(), wanted.data(), wanted.size()) == 0;
}

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
void Audit(TServiceContext& c, const THttpRequest& req, const std::string& what) {
    LogLine(ClientAddress(c, req) + " admin " + Printable(what));
}

// Takes an entry out of the lists, or shows it again.
THttpHandler Hiding(TServiceContext& c, bool hide) {
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
THttpHandler Banning(TServiceContext& c, bool ban) {
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

}  // namespace

// The operator's: take an entry out of the lists and back, refuse a name or an address and lift it,
// and see what is hidden and banned.
void InstallAdmin(THttpRoutes& server, TServiceContext& c) {
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

}  // namespace blubbi::hiscore
