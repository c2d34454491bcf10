// The check of a replay: played without pictures against the game's data.
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

#include "platform/headless/NullPlatform.h"
#include "platform/replay/Replay.h"
#include "platform/replay/ReplayShared.h"

namespace blubbi {

namespace fs = std::filesystem;

namespace {

std::string CachedDataHash(const std::string& dataDir) {
    static std::mutex lock;
    static std::map<std::string, std::string> cache;
    const std::lock_guard guard(lock);
    auto it = cache.find(dataDir);
    if (it == cache.end()) it = cache.emplace(dataDir, DataHash(dataDir)).first;
    return it->second;
}

}  // namespace

TVerifyResult VerifyReplay(std::string_view replayText, const std::string& dataDir, const TVerifyLimits& limits) {
    // The whole text is read once before anything is played, so a damaged one is refused as it was
    // written; then it is played as it is read again, a step at a time.
    TReplayError error;
    int64_t frames = 0;
    if (!CheckReplay(replayText, limits.Text, error, frames)) {
        TVerifyResult refused;
        refused.Status = TVerifyResult::TStatus::Malformed;
        refused.Line = error.Line;
        refused.Reason = error.Message;
        refused.ForPlayer = error.ForPlayer;
        return refused;
    }
    TReplayReader reader(replayText, limits.Text);
    TReplayHeader header;
    reader.ReadHeader(header);
    const bool dataMatch = header.DataHash == CachedDataHash(WithSlash(dataDir));
    const int32_t width = header.Width, height = header.Height;

    // A platform that keeps nothing: what the check holds does not grow with the replay's length.
    TNullPlatform inner;
    inner.Dir = WithSlash(dataDir);
    inner.Width = width;
    inner.Height = height;
    // Only whether a sheet is there counts for the rules; its pixels do not.
    inner.Loader = [](const std::string& file) {
        std::error_code ec;
        return fs::is_regular_file(file, ec) ? TNullPlatform::MakeDib(19, 19) : TDib{};
    };
    TReplayPlayer player(inner, std::move(header), reader, dataDir);
    player.OnResize = [&inner](int w, int h) {
        inner.Width = w;
        inner.Height = h;
    };
    TMainForm game(player);
    player.Create(game);
    player.PlayAll(game, limits);

    TVerifyResult result = std::move(player.Found);
    result.DataMatch = dataMatch;
    result.Score = game.Score;
    result.LevelNo = game.LevelNo;
    result.Lives = game.Lives;
    result.EndHash = StateHash(game);
    if (result.Status == TVerifyResult::TStatus::Running) {
        const bool cancelled = result.Frames <= limits.MaxFrames && limits.Cancel && limits.Cancel->load();
        result.Status = cancelled ? TVerifyResult::TStatus::Cancelled : TVerifyResult::TStatus::LimitExceeded;
        result.Reason = cancelled ? "stopped before its end" : "more frames than a check may play";
    }
    game.FormDestroy();
    return result;
}

}  // namespace blubbi
