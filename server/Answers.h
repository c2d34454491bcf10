// The hiscore server's JSON answers to the game: every one carries a German reason.
#pragma once
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "server/Http.h"
#include "server/ScoreStore.h"

namespace blubbi::hiscore {

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr const char* kScoresPath = "/api/scores";
constexpr const char* kTooBig = "Die Einsendung ist zu groß (höchstens 1 MB).";

void SendJson(THttpResponse& res, int status, const nlohmann::json& body);
void Refuse(THttpResponse& res, int status, const std::string& reason);
nlohmann::json EntryJson(const TScoreEntry& e);
std::string PlaceText(const TScoreEntry& e);

// The answer for a game that is entered already: its entry as it stands now, for the one who
// entered it (a retry); a copy sent under another name is refused.
void AnswerKnown(TScoreStore& store, THttpResponse& res, int64_t id, const std::string& name);

}  // namespace blubbi::hiscore
