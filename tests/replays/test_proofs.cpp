// Proofs that every shipped level can be cleared: each script here plays one level from its
// start to the load of the next one (the last level: the win dialog), and one plays the whole
// game; blubbi-sim must end each exactly as the summary beside it says, and the replay it records
// of the run must check out as the summary's verify line says.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>

#include "game/MainForm.h"
#include "platform/headless/HeadlessPlatform.h"
#include "platform/replay/Replay.h"
#include "tests/e2e/SimRun.h"

namespace blubbi::proofs {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kProofs = BLUBBI_PROOFS;
const fs::path kLevels = fs::path(BLUBBI_DATA) / "levels";
constexpr const char* kWholeGame = "wholegame";
constexpr uint32_t kStartClock = 100000, kTickMs = 25;  // blubbi-sim's defaults

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines that are not comments or blank.
std::string Significant(const std::string& text) {
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') out += line + "\n";
    return out;
}

std::vector<std::string> ProofNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kProofs, ec))
        if (entry.path().extension() == ".script") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

int32_t StartLevel(const std::string& name) { return name == kWholeGame ? 1 : std::stoi(name.substr(5)); }

bool ShippedLevel(int32_t n) {
    return fs::is_regular_file(kLevels / ("level" + TMainForm::leadzero(std::to_string(n), 3) + ".lev"));
}

struct Proof : ::testing::TestWithParam<std::string> {
    std::string Work;
    void SetUp() override {
        Work =
            (fs::temp_directory_path() / ("blubbi-proof-" + GetParam() + "-" + std::to_string(::getpid()))).string() +
            "/";
        fs::create_directories(Work);
    }
    void TearDown() override { fs::remove_all(Work); }
};

TEST_P(Proof, ClearsAsItsSummarySays) {
    const std::string name = GetParam();
    const std::string script = ReadText(kProofs / (name + ".script"));
    // A proof plays as a player does: keys and time only, no editor, no cheat code, no dialog answers.
    const std::regex allowed(R"((tick( [1-9][0-9]*)?|(down|up) (left|right|up|space)))");
    std::istringstream lines(Significant(script));
    for (std::string line; std::getline(lines, line);)
        ASSERT_TRUE(std::regex_match(line, allowed)) << "not a player's line: " << line;

    const int32_t level = StartLevel(name);
    const std::string replay = Work + "proof.blubbi-replay";
    auto run = e2e::RunSimIn(Work, BLUBBI_DATA, script + "\ndump\n",
                             "--seed 1 --level " + std::to_string(level) + " --record " + replay);
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_EQ(run.Dumps.size(), 1u);
    const json& end = run.Dumps[0];

    // The goal, whatever the summary says: the next level was loaded in the very last tick
    // (its slide has just begun), or after the last level the win dialog was shown.
    const bool last = name == kWholeGame || !ShippedLevel(level + 1);
    EXPECT_EQ(end["TransitionCounter"], 98) << "the script goes on after the level's end, or stops before it";
    if (last) {
        EXPECT_EQ(end["Dialogs"], json::array({"Win"}));
    } else {
        EXPECT_EQ(end["Dialogs"], json::array());
        EXPECT_EQ(end["LevelNo"], level + 1);
    }

    std::ostringstream summary;
    const std::vector<std::string> dialogs = end["Dialogs"];
    std::string shown;
    for (const auto& d : dialogs) shown += (shown.empty() ? "" : ",") + d;
    summary << "frames " << (end["Tick"].get<uint32_t>() - kStartClock) / kTickMs << "\n"
            << "points " << end["Score"] << "\n"
            << "lives " << end["Lives"] << "\n"
            << "level " << end["LevelNo"] << "\n"
            << "dialogs " << (shown.empty() ? "none" : shown) << "\n";
    // The recorded replay, checked without pictures; the program's version is left out, so that a
    // new version does not change every summary.
    const auto verify = e2e::RunSimIn(Work, BLUBBI_DATA, "", "--verify " + replay);
    ASSERT_EQ(verify.Status, 0) << verify.Err;
    ASSERT_EQ(verify.Dumps.size(), 1u);
    json checked = verify.Dumps[0];
    checked.erase("Version");
    summary << "verify " << checked.dump() << "\n";
    EXPECT_EQ(summary.str(), Significant(ReadText(kProofs / (name + ".expected"))));
}

INSTANTIATE_TEST_SUITE_P(Shipped, Proof, ::testing::ValuesIn(ProofNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// What a real session's timers do, recorded: the one-shot timer fires early (as Qt's coarse timers may,
// by 5 %) and the frame timer stalls and then fires in bursts. The recorder writes only what a check
// accepts: the level still comes 3 s after its end, as in the proof, and a burst keeps only the ticks
// a timer could give.
TEST(Proofs, AStarvedOrEarlyTimerRecordsAReplayThatChecks) {
    THeadlessPlatform platform;
    platform.Dir = std::string(BLUBBI_DATA) + "/";
    TRecorder recorder(platform);
    recorder.Begin(platform.Dir, 1, platform.Clock);
    TMainForm game(recorder);
    recorder.Create(game);
    const auto send = [&](TEvent e) {
        e.Clock = platform.GetTickCount();
        recorder.Record(game, e);
    };
    const auto tick = [&](uint32_t step) {
        platform.Clock += step;
        if (platform.TimerOn[0] && platform.GetTickCount() - platform.TimerSince[0] >= kOneShotIntervalMs * 95 / 100) {
            platform.TimerOn[0] = false;
            send(MakeEvent(TEventKind::Timer2));
        }
        send(MakeEvent(TEventKind::Tick));
    };
    // The proof's own summary says how many frames it takes.
    const std::string summary = ReadText(kProofs / "level001.expected");
    const int64_t proofFrames = std::stoll(summary.substr(summary.find("frames ") + 7));
    std::istringstream lines(Significant(ReadText(kProofs / "level001.script")));
    for (std::string line; std::getline(lines, line);) {
        std::string error;
        const std::optional<TEventLine> parsed = ParseEventLine(line, error);
        ASSERT_TRUE(parsed) << line << ": " << error;
        const TEventLine& read = *parsed;
        for (int64_t i = 0; read.Event.Kind == TEventKind::Tick && i < read.Repeat; ++i) tick(kFrameIntervalMs);
        if (read.Event.Kind != TEventKind::Tick) send(read.Event);
    }
    EXPECT_EQ(game.LevelNo, 2);
    EXPECT_EQ(recorder.Frames(), proofFrames);
    for (int stall = 0; stall < 5; ++stall) {
        tick(400);
        for (int i = 0; i < 30; ++i) tick(1);
    }
    const TVerifyResult checked = VerifyReplay(recorder.Text(game), platform.Dir, TVerifyLimits{});
    game.FormDestroy();
    EXPECT_EQ(checked.Status, TVerifyResult::TStatus::Ok) << checked.Reason << " at line " << checked.Line;
    EXPECT_EQ(checked.LevelNo, 2);
    EXPECT_GT(checked.Frames, proofFrames + 5);
    EXPECT_LT(checked.Frames, proofFrames + 5 * 31);
}

// A level without its proof cannot ship.
TEST(Proofs, EveryShippedLevelAndTheWholeGameHaveOne) {
    int32_t n = 1;
    for (; ShippedLevel(n); ++n) {
        const std::string name = "level" + TMainForm::leadzero(std::to_string(n), 3);
        EXPECT_TRUE(fs::is_regular_file(kProofs / (name + ".script"))) << name;
        EXPECT_TRUE(fs::is_regular_file(kProofs / (name + ".expected"))) << name;
    }
    EXPECT_GT(n, 1) << "no levels in " << kLevels;
    EXPECT_TRUE(fs::is_regular_file(kProofs / (std::string(kWholeGame) + ".script")));
    EXPECT_TRUE(fs::is_regular_file(kProofs / (std::string(kWholeGame) + ".expected")));
}

}  // namespace
}  // namespace blubbi::proofs
