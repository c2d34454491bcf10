// The session around the games: one play through the desktop's way of feeding it and the page's
// gives the same replays, and the wait, a new game while paused and a game over go as a player expects.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/headless/HeadlessPlatform.h"
#include "platform/replay/Replay.h"
#include "platform/session/GameSession.h"
#include "tests/support/LevelBytes.h"

namespace blubbi::test {
namespace {

// The game-over and win dialogs, and a new game, go to the session as the shells' platforms send them.
class TSessionPlatform : public THeadlessPlatform {
public:
    TModalResult ShowGameOverDialog(const std::string& points) override { return Session->GameOver(points); }
    void ShowWinDialog() override { Session->Win(); }
    void NewGameStarts() override { Session->NewGameStarts(); }
    void Present(const TPicture& picture, int x, int y) override {
        LastY = y;
        THeadlessPlatform::Present(picture, x, y);
    }
    TGameSession* Session = nullptr;
    int LastY = -1;
};

enum class TShell { Desktop, Browser };

struct TPlayed {
    std::string Replays;  // every game's, in order
    TGameOverMoment Over;
    bool WaitedAtRest = false, WaitedAfterPausedNewGame = false, SlidWhilePaused = false, WaitedAfterGameOver = false;
};

// One player's session: the wait, keys held as the window goes to the background, "Neues Spiel"
// while paused, a game lost on a trap with keys held, and the next game.
TPlayed Play(const std::string& dir, TShell shell) {
    TSessionPlatform platform;
    platform.Dir = dir;
    platform.Loader = [](const std::string& file) {
        return std::filesystem::exists(file) ? THeadlessPlatform::MakeDib(19, 19) : TDib{};
    };
    TRecorder recorder(platform);
    recorder.Begin(dir, 1, platform.Clock);
    TMainForm game(recorder);
    recorder.Create(game);
    TPlayed out;
    auto take = [&](TEvent e) {
        e.Clock = platform.GetTickCount();
        recorder.Record(game, e);
        if (!recorder.Finished().empty()) out.Replays += recorder.Finished();
    };
    TGameSession session(game, take);
    platform.Session = &session;
    session.AskGameOver = [&](const TGameOverMoment& moment) {
        out.Over = moment;
        return TModalResult::Cancel;
    };
    auto tick = [&] {
        if (session.BeforeTick())
            platform.Tick(game, [&](const TEvent& e) {
                recorder.Record(game, e);
                if (!recorder.Finished().empty()) out.Replays += recorder.Finished();
            });
    };
    auto ticksUntilWaiting = [&] {
        for (int i = 0; i < 200 && !session.Waiting(); ++i) tick();
        return session.Waiting() && game.Paused;
    };
    // The desktop lets go of the keys as the keyboard leaves and then pauses; the page pauses.
    auto away = [&] {
        if (shell == TShell::Desktop) session.LetGo();
        session.SetPaused(true);
    };

    out.WaitedAtRest = ticksUntilWaiting() && platform.LastY == 0;
    session.Input(MakeEvent(TEventKind::KeyDown, VK_RIGHT));
    for (int i = 0; i < 10; ++i) tick();
    session.Input(MakeEvent(TEventKind::KeyDown, VK_SPACE));
    tick();
    away();
    session.NewGame();
    tick();
    out.SlidWhilePaused = !game.Paused && game.TransitionCounter > 0 && game.TransitionCounter < 100;
    out.WaitedAfterPausedNewGame = ticksUntilWaiting() && platform.LastY == 0;
    session.Input(MakeEvent(TEventKind::KeyDown, VK_UP));
    session.Input(MakeEvent(TEventKind::KeyDown, VK_LEFT));
    for (int level = 2; level <= 4; ++level) {  // on to the trap
        for (const char c : std::string("skipahead")) session.Input(MakeEvent(TEventKind::Char, c));
        for (int i = 0; i < 60; ++i) tick();
    }
    for (int i = 0; i < 3000 && out.Over.Points.empty(); ++i) tick();
    out.WaitedAfterGameOver = ticksUntilWaiting();
    out.Replays += recorder.Text(game);
    game.FormDestroy();
    return out;
}

TEST(Session, TheDesktopAndThePageMakeTheSameReplaysOfOnePlay) {
    const std::string dir = TempProgramDir("session");
    // Level 4 holds an enemy of no known kind where the player starts: it takes the lives.
    for (int n = 1; n <= 4; ++n)
        WriteFile(dir + "levels/level00" + std::to_string(n) + ".lev",
                  LevelBytes(BorderGrid(), {n == 4 ? MakeEnemy(7, 38, 315) : MakeEnemy(0, 300, 100)}, 38, 315));
    WriteFile(dir + "grafiken/stein1.gif", {1, 2, 3});
    const TPlayed desktop = Play(dir, TShell::Desktop), page = Play(dir, TShell::Browser);
    EXPECT_TRUE(desktop.WaitedAtRest) << "the first game did not wait over the field at rest";
    EXPECT_TRUE(desktop.SlidWhilePaused) << "\"Neues Spiel\" while paused left the old picture";
    EXPECT_TRUE(desktop.WaitedAfterPausedNewGame);
    EXPECT_TRUE(desktop.WaitedAfterGameOver);
    EXPECT_EQ(desktop.Over.Level, 4);
    EXPECT_EQ(desktop.Over.Lives, 0);
    EXPECT_EQ(desktop.Over.KeysDown, (std::set<int32_t>{VK_LEFT, VK_UP}));
    EXPECT_EQ(desktop.Replays, page.Replays);
    // Every game the session recorded checks out, the game over on the level it was lost on.
    size_t at = 0, games = 0;
    for (size_t end; (end = desktop.Replays.find("\nend ", at)) != std::string::npos; ++games) {
        end = desktop.Replays.find('\n', end + 1);
        const std::string one = desktop.Replays.substr(at, end + 1 - at);
        const TVerifyResult r = VerifyReplay(one, dir, TVerifyLimits{});
        EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << "\n" << one;
        // A game lost on level 4 was lost there, whatever level its answer began.
        if (r.EndedInGameOver) EXPECT_TRUE(r.LevelAtEnd() == 4 && r.LevelNo == 1) << VerifyJson(r);
        at = end + 1;
    }
    EXPECT_EQ(games, 3u);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace blubbi::test
