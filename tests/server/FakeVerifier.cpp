// The test replay checker: reads its findings from the replay's words.
#include "tests/server/FakeVerifier.h"

#include <chrono>
#include <map>
#include <sstream>
#include <thread>

namespace blubbi::hiscore {

namespace {

std::optional<std::map<std::string, std::string>> Words(std::string_view replay) {
    std::istringstream in{std::string(replay)};
    std::string word;
    if (!(in >> word) || word != "FAKE-REPLAY") return std::nullopt;
    std::map<std::string, std::string> out{{"frames", "100"}, {"score", "0"}, {"level", "1"}, {"gameover", "1"},
                                           {"editor", "0"},   {"cheat", "0"}, {"user", "0"},  {"data", "1"},
                                           {"check", "ok"},   {"ms", "0"},    {"drawms", "0"}};
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq == std::string::npos) return std::nullopt;
        out[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return out;
}

int64_t Number(const std::map<std::string, std::string>& w, const char* key) {
    try {
        return std::stoll(w.at(key));
    } catch (...) {
        return -1;
    }
}

// Takes as long as the word `key` says; false when cancelled or past the deadline before.
bool TakeTime(const std::map<std::string, std::string>& w, const char* key, const std::atomic<bool>& cancel,
              std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max()) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(Number(w, key));
    while (std::chrono::steady_clock::now() < until) {
        if (cancel || std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace

std::optional<int64_t> TFakeVerifier::DeclaredFrames(std::string_view replay) {
    const auto w = Words(replay);
    if (!w || Number(*w, "frames") < 0) return std::nullopt;
    return Number(*w, "frames");
}

TVerifyResult TFakeVerifier::Verify(std::string_view replay, int64_t maxFrames, const std::atomic<bool>& cancel) {
    TVerifyResult s;
    const auto w = Words(replay);
    if (!w) {
        s.Status = TVerifyResult::TStatus::Malformed;
        s.Line = 1;
        return s;
    }
    if (!TakeTime(*w, "ms", cancel)) {
        s.Status = TVerifyResult::TStatus::Cancelled;
        return s;
    }
    s.Frames = Number(*w, "frames");
    if (s.Frames > maxFrames) {
        s.Status = TVerifyResult::TStatus::LimitExceeded;
        return s;
    }
    s.Score = static_cast<int32_t>(Number(*w, "score"));
    s.LevelNo = static_cast<int32_t>(Number(*w, "level"));
    s.EndedInGameOver = Number(*w, "gameover") == 1;
    if (s.EndedInGameOver) {  // "level" is where it was lost; the game-over answer began level 1
        s.GameOverLevel = s.LevelNo;
        s.LevelNo = 1;
    }
    s.EditorUsed = Number(*w, "editor") == 1;
    s.CheatUsed = Number(*w, "cheat") == 1;
    s.UserLevels = Number(*w, "user") == 1;
    s.DataMatch = Number(*w, "data") == 1;
    if (w->at("check") != "ok") {
        s.Status = TVerifyResult::TStatus::Mismatch;
        s.Frame = 80;
        return s;
    }
    s.Status = TVerifyResult::TStatus::Ok;
    return s;
}

std::optional<std::string> TFakeVerifier::LastFramePng(std::string_view replay, int64_t,
                                                       const std::atomic<bool>& cancel,
                                                       std::chrono::steady_clock::time_point deadline) {
    const auto w = Words(replay);
    if (!w || !TakeTime(*w, "drawms", cancel, deadline)) return std::nullopt;
    ++Drawn;
    return "\x89PNG\r\n\x1a\n" + std::string(replay);
}

}  // namespace blubbi::hiscore
