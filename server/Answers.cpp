// The JSON of an entry and of a refusal, and the answer for a game entered before.
#include "server/Answers.h"

namespace blubbi::hiscore {

using nlohmann::json;

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

}  // namespace blubbi::hiscore
