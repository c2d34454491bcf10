// A check's result as the line of JSON the server and the tools pass on.
#include <nlohmann/json.hpp>

#include "platform/replay/Replay.h"

namespace blubbi {

std::string VerifyJson(const TVerifyResult& r) {
    nlohmann::ordered_json j;
    static const char* names[] = {"running", "ok", "mismatch", "malformed", "limit", "cancelled"};
    j["status"] = names[static_cast<int>(r.Status)];
    if (r.Status == TVerifyResult::TStatus::Mismatch) j["frame"] = r.Frame;
    if (r.Status != TVerifyResult::TStatus::Ok) {
        j["line"] = r.Line;
        j["reason"] = r.Reason;
    }
    j["Start"] = StartKindName(r.Start);
    if (r.Start == TStartKind::Continued) j["Origin"] = StartKindName(r.Origin);
    j["frames"] = r.Frames;
    j["Score"] = r.Score;
    j["LevelNo"] = r.LevelNo;
    j["Lives"] = r.Lives;
    j["GameOvers"] = r.GameOvers;
    j["Wins"] = r.Wins;
    j["EditorUsed"] = r.EditorUsed;
    j["CheatUsed"] = r.CheatUsed;
    j["UserLevels"] = r.UserLevels;
    j["Version"] = r.Version;
    j["DataMatch"] = r.DataMatch;
    j["EndedInGameOver"] = r.EndedInGameOver;
    j["GameOverPoints"] = r.GameOverPoints;
    // The game over as its dialog found it, beside the state its answer led to above.
    if (r.EndedInGameOver)
        j["AtGameOver"] = {{"Score", r.PointsAtEnd()}, {"LevelNo", r.GameOverLevel}, {"Lives", r.GameOverLives}};
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace blubbi
