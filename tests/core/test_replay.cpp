// Replays: a recorded game checks out, an edited one fails at its checkpoint, damage names its line,
// a long game stays small, a saved state runs on as the game it came from, and a seek to any frame
// shows what a play from the start shows there.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "game/DataFiles.h"
#include "game/Snapshot.h"
#include "level/LevelCodec.h"
#include "platform/headless/HeadlessPlatform.h"
#include "platform/replay/Carry.h"
#include "platform/replay/Replay.h"
#include "platform/replay/Seeker.h"
#include "tests/support/LevelBytes.h"

namespace blubbi::test {
namespace {

struct ReplayTest : ::testing::Test {
    std::string Dir;
    THeadlessPlatform Platform;
    std::unique_ptr<TRecorder> Recorder;
    std::unique_ptr<TMainForm> Game;
    std::mt19937 Dice{7};

    void SetUp() override {
        Dir = TempProgramDir(std::string("replay-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        for (int n = 1; n <= 2; ++n)
            WriteFile(Dir + "levels/level00" + std::to_string(n) + ".lev",
                      LevelBytes(BorderGrid(), {MakeEnemy(n, 200, 300), MakeEnemy(0, 300, 100)}, 38, 315));
        WriteFile(Dir + "grafiken/stein1.gif", {1, 2, 3});
        Platform.Dir = Dir;
        // As a check without pictures sees them: a sheet is there when its file is.
        Platform.Loader = [](const std::string& file) {
            return std::filesystem::exists(file) ? THeadlessPlatform::MakeDib(19, 19) : TDib{};
        };
        Platform.GameOverAnswer = TModalResult::Ok;
        Recorder = std::make_unique<TRecorder>(Platform);
        Recorder->Begin(Dir, 1, Platform.Clock);
        Game = std::make_unique<TMainForm>(*Recorder);
        Recorder->Create(*Game);
    }
    void TearDown() override {
        Game->FormDestroy();
        std::filesystem::remove_all(Dir);
    }

    std::vector<std::string> Games;  // each game that a new one ended, as its replay
    void Take(const TEvent& e) {
        Recorder->Record(*Game, e);
        if (!Recorder->Finished().empty()) Games.push_back(Recorder->Finished());
    }
    void Send(TEventKind kind, int32_t a = 0, std::string text = {}) {
        TEvent e;
        e.Kind = kind;
        e.Clock = Platform.GetTickCount();
        e.A = a;
        e.Text = std::move(text);
        Take(e);
    }
    void Ticks(int n, int jitter = 0) {
        for (int i = 0; i < n; ++i) {
            if (jitter) Platform.Clock += static_cast<uint32_t>(static_cast<int>(Dice() % (2 * jitter + 1)) - jitter);
            Platform.Tick(*Game, [this](const TEvent& e) { Take(e); });
        }
    }
    // Keys pressed and let go at random, as a player would: about two changes a second.
    void Play(int frames, int jitter = 0) {
        static const int32_t keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_SPACE};
        for (int done = 0; done < frames;) {
            const int n = std::min(frames - done, 1 + static_cast<int>(Dice() % 40));
            Ticks(n, jitter);
            done += n;
            const int32_t key = keys[Dice() % 4];
            Send(Dice() % 2 ? TEventKind::KeyDown : TEventKind::KeyUp, key);
        }
    }
    // The open or save dialog, answered with `file`.
    void Dialog(bool open, const std::string& file) {
        (open ? Platform.NextOpenFile : Platform.NextSaveFile) = file;
        Recorder->Record(*Game, {.Kind = TEventKind::Menu,
                                 .Clock = Platform.Clock,
                                 .Text = open ? "Levelffnen1Click" : "Levelspeichern1Click"});
    }
    static int LineOf(const std::string& text, const std::string& line) {
        std::istringstream in(text);
        int n = 0;
        for (std::string l; std::getline(in, l);) {
            ++n;
            if (l == line) return n;
        }
        return 0;
    }
};

TEST_F(ReplayTest, RecordedGameChecksOutWithTheLiveGamesEnd) {
    Play(3000);
    Send(TEventKind::Char, 'x');
    Send(TEventKind::Menu);  // no name: not a command, so not written
    Ticks(40);
    const std::string text = Recorder->Text(*Game);
    const TVerifyResult r = VerifyReplay(text, Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_EQ(r.Frames, Recorder->Frames());
    EXPECT_EQ(r.Frames, 3040);
    EXPECT_EQ(r.Score, Game->Score);
    EXPECT_EQ(r.Lives, Game->Lives);
    EXPECT_EQ(r.LevelNo, Game->LevelNo);
    EXPECT_EQ(r.GameOvers,
              static_cast<int32_t>(std::count(Platform.Dialogs.begin(), Platform.Dialogs.end(), "GameOver")));
    EXPECT_TRUE(r.DataMatch);
    EXPECT_FALSE(r.EditorUsed);
    EXPECT_EQ(r.Version, ProgramVersion());
}

TEST_F(ReplayTest, EditedKeyLineIsAMismatchAtTheNextCheckpoint) {
    Ticks(100);  // the slide is over; the player stands at the level's start
    Send(TEventKind::KeyDown, VK_RIGHT);
    Ticks(30);
    Send(TEventKind::KeyUp, VK_RIGHT);
    Play(200);
    std::string text = Recorder->Text(*Game);
    ASSERT_EQ(VerifyReplay(text, Dir, TVerifyLimits{}).Status, TVerifyResult::TStatus::Ok);
    const size_t at = text.find("down right\n");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 10, "down left");
    const TVerifyResult r = VerifyReplay(text, Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Mismatch);
    // 100 frames ran before the key; the first checkpoint after it is at frame 120.
    EXPECT_EQ(r.Frame, (100 / kCheckpointFrames + 1) * kCheckpointFrames);
}

TEST_F(ReplayTest, DamageIsReportedWithItsLine) {
    Play(200);
    const std::string text = Recorder->Text(*Game);
    const int endLine = static_cast<int>(std::count(text.begin(), text.end(), '\n'));  // the end line is the last
    ASSERT_GT(endLine, 10);

    const std::string truncated = text.substr(0, text.rfind("end "));
    TVerifyResult r = VerifyReplay(truncated, Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Malformed);
    EXPECT_EQ(r.Line, endLine);

    std::string bad = text;
    const size_t tick = bad.find("tick", bad.find("start\n"));
    bad.insert(tick + 4, " -3");
    r = VerifyReplay(bad, Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Malformed);
    EXPECT_EQ(r.Line, LineOf(bad, bad.substr(tick, bad.find('\n', tick) - tick)));

    r = VerifyReplay("\x7f\x45LF\n", Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Malformed);
    EXPECT_EQ(r.Line, 1);

    // A byte-order mark is no damage; a second seed, data or state line, and a state that does not
    // load, are named by their line (the one before start here).
    EXPECT_EQ(VerifyReplay("\xEF\xBB\xBF" + text, Dir, TVerifyLimits{}).Status, TVerifyResult::TStatus::Ok);
    const size_t start = text.find("start\n");
    for (const char* lines : {"seed 2\n", "data 0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef\n",
                              "state AAAA\nstate AAAA\n", "state AAAA\n"}) {
        const std::string edited = text.substr(0, start) + lines + text.substr(start);
        r = VerifyReplay(edited, Dir, TVerifyLimits{});
        EXPECT_EQ(r.Status, TVerifyResult::TStatus::Malformed) << lines;
        EXPECT_EQ(r.Line, LineOf(edited, "start") - 1) << lines << r.Reason;
    }
}

// Whatever file the player opens, the replay says what the game made of it: one it cannot read
// whole leaves the level as it was, on playback too; the player's own file in levels/ goes in whole.
TEST_F(ReplayTest, EveryOpenedFileIsAnsweredAsTheGameSawIt) {
    WriteFile(Dir + "levels/mein.lev", LevelBytes(BorderGrid(), {MakeEnemy(3, 100, 100)}, 60, 315));
    WriteFile(Dir + "leer.lev", {});
    WriteFile(Dir + "gross.lev", std::vector<uint8_t>(kLevelMaxFileBytes + 1, 0));
    for (const char* file :
         {"leer.lev", "fehlt.lev", "gross.lev", "levels", "levels/mein.lev", "levels/level002.lev"}) {
        Play(60);
        Dialog(true, Dir + file);
    }
    const std::string text = Recorder->Text(*Game);
    std::string answers;
    for (size_t at = text.find("\nanswer open "); at != std::string::npos; at = text.find("\nanswer open ", at + 1))
        answers += text.substr(at + 13, 4) + " ";
    EXPECT_EQ(answers, "unre unre unre unre data leve ");
    std::filesystem::remove(Dir + "levels/mein.lev");  // the replay carries it
    const TVerifyResult r = VerifyReplay(text, Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_TRUE(r.UserLevels && r.DataMatch);
}

// Without a scratch folder the files of open and save answers have nowhere to go: the check stops
// undecided at that event instead of writing them anywhere else.
TEST_F(ReplayTest, WithoutAScratchFolderTheCheckStopsUndecided) {
    Play(100);
    Dialog(false, Dir + "mein.lev");
    const std::string saved = Recorder->Text(*Game);
    Send(TEventKind::Menu, 0, "NeuesSpiel1Click");  // a new game: a replay of its own
    Dialog(true, Dir + "mein.lev");
    const std::string opened = Recorder->Text(*Game);
    const std::string tmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    ::setenv("TMPDIR", (Dir + "nicht-da").c_str(), 1);
    for (const auto& [text, menu] :
         {std::pair{saved, "menu Levelspeichern1Click"}, {opened, "menu Levelffnen1Click"}}) {
        const TVerifyResult r = VerifyReplay(text, Dir, TVerifyLimits{});
        EXPECT_EQ(r.Status, TVerifyResult::TStatus::Cancelled) << r.Reason;
        EXPECT_EQ(r.Line, LineOf(text, menu));
    }
    ::setenv("TMPDIR", tmp.c_str(), 1);
    for (const char* stray : {"/mein.lev", "/open-1.lev"}) EXPECT_FALSE(std::filesystem::remove(stray)) << stray;
}

// A check whose deadline ran out stops at once instead of playing the rest of the game.
TEST_F(ReplayTest, ACancelledCheckStopsWithinAFrame) {
    Play(2000);
    const std::string text = Recorder->Text(*Game);
    const std::atomic<bool> cancel{true};
    TVerifyLimits limits;
    limits.Cancel = &cancel;
    const TVerifyResult r = VerifyReplay(text, Dir, limits);
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Cancelled);
    EXPECT_LE(r.Frames, 1);
}

// What the hiscore upload sends while the game-over dialog is up: the game to that dialog, which
// a check plays to the same game over with the points the dialog showed.
TEST_F(ReplayTest, TheReplayTakenInTheGameOverDialogEndsInThatGameOver) {
    EXPECT_TRUE(Recorder->GameOverText().empty());
    std::string taken, shown;
    Platform.DuringGameOver = [&] {
        if (!taken.empty()) return;
        taken = Recorder->GameOverText();
        shown = Platform.GameOverPoints.back();
    };
    for (int round = 0; round < 40 && taken.empty(); ++round) Play(500);
    ASSERT_FALSE(taken.empty()) << "no game over in 20000 frames";
    EXPECT_TRUE(Recorder->GameOverText().empty());
    const TVerifyResult r = VerifyReplay(taken, Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_TRUE(r.EndedInGameOver);
    EXPECT_EQ(r.GameOvers, 1);
    EXPECT_EQ(r.GameOverPoints, shown);
    // The game itself went on; its own replay still checks out.
    Ticks(40);
    const TVerifyResult whole = VerifyReplay(Recorder->Text(*Game), Dir, TVerifyLimits{});
    EXPECT_EQ(whole.Status, TVerifyResult::TStatus::Ok) << whole.Reason << " at line " << whole.Line;
}

// A session as a player has it: a game over answered "Continue" with a pause and stray events
// arriving inside its dialog, "Neues Spiel" while paused, a level file changed on disk mid-run, a
// game over answered "Neues Spiel", a sound device that answers. Every game checks out from its own
// start against the data as shipped.
TEST_F(ReplayTest, EveryGameOfASessionChecksOutFromItsOwnStart) {
    Platform.MediaAnswer = [](const std::string& command) { return command.rfind("status", 0) == 0 ? "playing" : ""; };
    const auto shipped = ReadFile(Dir + "levels/level002.lev");
    Platform.DuringGameOver = [&] {
        Platform.DuringGameOver = nullptr;
        const int64_t frames = Recorder->Frames();
        Platform.Tick(*Game, [this](const TEvent& e) { Take(e); });  // held by the dialog: no frame
        Send(TEventKind::Pause, 1);
        Send(TEventKind::Timer2);  // a timer that is not running does not fire
        EXPECT_EQ(Game->Paused, 0);
        EXPECT_EQ(Recorder->Frames(), frames);
    };
    for (int round = 0; round < 40 && Platform.GameOverPoints.empty(); ++round) Play(500);
    ASSERT_EQ(Platform.GameOverPoints.size(), 1u);
    EXPECT_EQ(Game->Paused, 1);  // the pause came once the dialog had closed
    const int64_t frames = Recorder->Frames();
    Ticks(200);
    EXPECT_EQ(Recorder->Frames(), frames);  // paused, the ticks are no frames
    Send(TEventKind::Menu, 0, "NeuesSpiel1Click");
    Send(TEventKind::Pause, 0);
    Play(300);
    WriteFile(Dir + "levels/level002.lev", LevelBytes(BorderGrid(), {MakeEnemy(3, 100, 100)}, 60, 315));
    for (char c : std::string("skipahead")) Send(TEventKind::Char, c);
    EXPECT_EQ(Game->LevelNo, 2);
    Platform.GameOverAnswer = TModalResult::Cancel;
    for (int round = 0; round < 40 && Platform.GameOverPoints.size() < 2; ++round) Play(500);
    ASSERT_EQ(Platform.GameOverPoints.size(), 2u);
    Play(100);
    Games.push_back(Recorder->Text(*Game));
    WriteFile(Dir + "levels/level002.lev", shipped);

    // The first game at its game over, then on through the continue to "Neues Spiel"; two new games.
    ASSERT_EQ(Games.size(), 4u);
    const char* starts[] = {"program", "continued", "new-game", "new-game"};
    for (size_t i = 0; i < Games.size(); ++i) {
        const TVerifyResult r = VerifyReplay(Games[i], Dir, TVerifyLimits{});
        EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << "game " << i << ": " << r.Reason << " line " << r.Line;
        EXPECT_STREQ(StartKindName(r.Start), starts[i]) << "game " << i;
        EXPECT_EQ(r.UserLevels, i == 2) << "game " << i;  // the changed level came with its bytes
    }
    EXPECT_EQ(VerifyReplay(Games[1], Dir, TVerifyLimits{}).Origin, TStartKind::Program);
}

TEST_F(ReplayTest, TenMinutesWithTimerJitterStayUnder150KB) {
    Play(24000, 3);
    const std::string text = Recorder->Text(*Game);
    EXPECT_LE(text.size(), 150u * 1024u);
    const TVerifyResult r = VerifyReplay(text, Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_EQ(r.Frames, 24000);
}

// A game restored from a state saved at a random frame runs on exactly as the game itself.
TEST_F(ReplayTest, SavedStateRunsOnAsTheGameItCameFrom) {
    for (uint32_t round = 0; round < 3; ++round) {
        Play(100 + static_cast<int>(Dice() % 700));
        const std::vector<uint8_t> saved = SaveState(*Game);

        THeadlessPlatform otherPlatform;
        otherPlatform.Dir = Dir;
        otherPlatform.Loader = Platform.Loader;
        otherPlatform.GameOverAnswer = TModalResult::Ok;
        TMainForm other(otherPlatform);
        other.FormCreate();
        ASSERT_TRUE(LoadState(other, saved.data(), saved.size()));
        EXPECT_EQ(SaveState(other), saved);
        otherPlatform.Clock = Platform.Clock;
        for (size_t i = 0; i < std::size(Platform.TimerOn); ++i) {
            otherPlatform.TimerOn[i] = Platform.TimerOn[i];
            otherPlatform.TimerSince[i] = Platform.TimerSince[i];
        }
        // The same keys and ticks for both.
        std::mt19937 keys(round);
        for (int i = 0; i < 400; ++i) {
            if (keys() % 8 == 0) {
                const int32_t key = std::array{VK_LEFT, VK_RIGHT, VK_UP, VK_SPACE}[keys() % 4];
                const bool down = keys() % 2;
                Send(down ? TEventKind::KeyDown : TEventKind::KeyUp, key);
                TEvent e;
                e.Kind = down ? TEventKind::KeyDown : TEventKind::KeyUp;
                e.Clock = otherPlatform.Clock;
                e.A = key;
                Dispatch(other, e);
            }
            Ticks(1);
            otherPlatform.Tick(other);
        }
        EXPECT_EQ(SaveState(other), SaveState(*Game)) << "round " << round;
        other.FormDestroy();
    }
    // Damaged bytes are refused and leave the game as it was.
    std::vector<uint8_t> saved = SaveState(*Game);
    saved.resize(saved.size() - 1);
    const auto before = SaveState(*Game);
    EXPECT_FALSE(LoadState(*Game, saved.data(), saved.size()));
    EXPECT_EQ(SaveState(*Game), before);
    // So are numbers no game holds, which counting on from would overflow, in the state and in a
    // new game's carried values.
    const int32_t hit = Game->HitTimer;
    Game->HitTimer = INT32_MAX - 1;
    saved = SaveState(*Game);
    const std::string carried = CarryText(*Game);
    Game->HitTimer = hit;
    EXPECT_FALSE(LoadState(*Game, saved.data(), saved.size()));
    std::string error;
    EXPECT_FALSE(ApplyCarry(*Game, carried, error));
    EXPECT_EQ(SaveState(*Game), before);
    Game->Bubbles->Append()->X = -INT32_MAX;
    saved = SaveState(*Game);
    EXPECT_FALSE(LoadState(*Game, saved.data(), saved.size()));
}

// The data hash covers what the rules read and nothing else, so a build tree (sound/ holds the
// sound library's objects there), a sanitizer build and an installed game agree on it.
TEST(DataHash, CoversTheOwnLevelsAndTheSheetsOnly) {
    THeadlessPlatform platform;
    const TMainForm game(platform);  // before start-up its levels' names are relative to the program folder
    std::string dirs[2];
    for (std::string& dir : dirs) {
        dir = TempProgramDir("datahash-" + std::to_string(&dir - dirs));
        for (int32_t n : {1, 1000}) WriteFile(dir + game.LevelFileName(n), LevelBytes(BorderGrid(), {}, 38, 315));
        for (const TSheetFile& sheet : SheetFiles()) WriteFile(dir + sheet.Path, {static_cast<uint8_t>(sheet.Slot)});
    }
    for (const char* extra : {"sound/libblubbi_sound.a", "sound/CMakeFiles/Mixer.cpp.o", "sound/blasen.wav",
                              "grafiken/menu/neu.png", "levels/mein.lev", "levels/level01.lev"})
        WriteFile(dirs[1] + extra, {1, 2});
    const std::string before = DataHash(dirs[0]);
    EXPECT_EQ(DataHash(dirs[1]), before);
    std::vector<uint8_t> level = ReadFile(dirs[1] + game.LevelFileName(1000));
    level[100] ^= 1;
    WriteFile(dirs[1] + game.LevelFileName(1000), level);
    EXPECT_NE(DataHash(dirs[1]), before);
    std::filesystem::remove(dirs[0] + SheetFiles().back().Path);
    EXPECT_NE(DataHash(dirs[0]), before);
    for (const std::string& dir : dirs) std::filesystem::remove_all(dir);
}

// A replay named by a player may be anything: a FIFO must not block, a device or a huge file
// must not flood the reader.
TEST(ReplayFile, OnlyRegularFilesWithinTheLimitAreRead) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("blubbi-replay-file-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string fifo = (dir / "fifo").string(), file = (dir / "a.blubbi-replay").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(file) << "0123456789";
    TReplayLimits limits;
    limits.MaxBytes = 10;
    std::string error;
    EXPECT_EQ(ReadReplayFile(file, limits, error), std::optional<std::string>("0123456789"));
    EXPECT_FALSE(ReadReplayFile(fifo, limits, error));
    EXPECT_FALSE(ReadReplayFile("/dev/zero", limits, error));
    limits.MaxBytes = 9;
    EXPECT_FALSE(ReadReplayFile(file, limits, error));
    std::filesystem::remove_all(dir);
}

// The questions before changed work goes, and the offer of work kept, play back as answered: a
// cancelled new game, a save that failed and was asked again, a discard, a save that wrote exactly
// the level kept against a crash, and that level brought back.
TEST_F(ReplayTest, QuestionsAboutChangedWorkPlayBackAsAnswered) {
    const auto paint = [&](int32_t row) {
        for (TEventKind kind : {TEventKind::MouseDown, TEventKind::MouseUp})
            Take({.Kind = kind,
                  .Clock = Platform.Clock,
                  .A = 150,
                  .B = 30 + 19 * row,
                  .Button = TMouseButton::mbLeft,
                  .Text = {}});
    };
    const auto ask = [&](std::vector<TSaveChoice> choices, const char* command) {
        Platform.SaveChoices = std::move(choices);
        Send(TEventKind::Menu, 0, command);
        Ticks(20);
    };
    Play(60);
    Send(TEventKind::Menu, 0, "Editormodus1Click");
    paint(3);
    ask({TSaveChoice::Cancel}, "NeuesSpiel1Click");
    EXPECT_TRUE(Game->LevelChanged() && Game->Grid[2 * 20 + 3]);
    Platform.NextSaveFile = Dir + "nirgends/mein.lev";
    Platform.NextOpenFile = Dir + "levels/level002.lev";
    ask({TSaveChoice::Save, TSaveChoice::Discard}, "Levelffnen1Click");
    EXPECT_EQ(Platform.SaveQuestions, (std::vector<std::string>{"level001", "level001", "level001"}));
    EXPECT_EQ(Platform.ErrorMessages.size(), 1u);
    EXPECT_FALSE(Game->LevelChanged() || Game->Grid[2 * 20 + 3]);
    paint(5);
    Game->KeepRecovery();  // as the window does between events
    ASSERT_TRUE(Platform.Kept && Platform.Kept->Name == "level002");
    const std::vector<uint8_t> kept = Platform.Kept->Level;
    EXPECT_EQ(kept, Game->LevelBytes());
    Platform.NextSaveFile = Dir + "mein.lev";
    ask({TSaveChoice::Save}, "NeuesLevel1Click");
    EXPECT_EQ(ReadFile(Dir + "mein.lev"), kept);
    EXPECT_NE(Game->LevelBytes(), kept);
    Platform.RestoreAnswer = true;
    Send(TEventKind::Menu, 0, "OfferRecovery");
    EXPECT_TRUE(std::equal(kept.begin(), kept.begin() + 500, Game->Grid.begin()));
    EXPECT_TRUE(Game->LevelChanged() && Game->EditorMode);
    Ticks(40);

    const std::string text = Recorder->Text(*Game);
    for (const char* line : {"answer unsaved cancel", "answer save mein.lev failed", "answer unsaved discard",
                             "answer unsaved save", "answer save mein.lev"})
        EXPECT_NE(text.find(std::string("\n") + line + "\n"), std::string::npos) << line;
    const size_t offer = text.find("menu OfferRecovery");
    EXPECT_EQ(text.find("\nanswer restore data ", offer), text.find('\n', offer));
    const TVerifyResult r = VerifyReplay(text, Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason << " at line " << r.Line;
    EXPECT_TRUE(r.UserLevels && r.EditorUsed);
}

// Pictures that keep a hash of their rectangles, texts and sprites, shown on a screen of rows that knows whose row
// each one is: a stale or a missing picture shows as a row of another picture.
struct TRowScreen : THeadlessPlatform {
    struct TDrawn : TNullPicture {
        using TNullPicture::TNullPicture;
        uint64_t Hash = 14695981039346656037u;
        void Mix(std::initializer_list<int64_t> values) {
            for (const int64_t v : values) Hash = (Hash ^ static_cast<uint64_t>(v)) * 1099511628211u;
        }
        void Rectangle(int a, int b, int c, int d, TColor p, TColor q) override { Mix({1, a, b, c, d, p, q}); }
        void TextOut(int x, int y, const std::string& text, TColor c) override {
            Mix({2, x, y, c, static_cast<int64_t>(std::hash<std::string>{}(text))});
        }
        void DrawSprite(const TDib& d, int x, int y, bool m, int f, int n, bool t) override {
            Mix({3, d.Width, x, y, m, f, n, t});
        }
    };
    bool Pictures = true, Shown = true;
    std::vector<std::pair<uint64_t, int>> Rows = std::vector<std::pair<uint64_t, int>>(kDesignHeight);

    std::unique_ptr<TPicture> NewPicture(int w, int h) override {
        if (!Pictures) return std::make_unique<TNullPicture>(w, h);
        return std::make_unique<TDrawn>(w, h);
    }
    // As the browser's screen: a picture without pixels leaves what was there.
    void Present(const TPicture& picture, int x, int y) override {
        const auto* drawn = dynamic_cast<const TDrawn*>(&picture);
        if (!Shown || !drawn) return;
        for (int row = std::max(0, y); row < std::min(kDesignHeight, y + picture.Height()); ++row)
            Rows[row] = {drawn->Hash ^ static_cast<uint64_t>(x), row - y};
    }
    void PaintBoxRectangle(int, int y1, int, int y2, TColor color) override {
        if (!Shown) return;
        for (int row = std::max(0, y1); row < std::min(kDesignHeight, y2); ++row) Rows[row] = {color, -1};
    }
};

TEST_F(ReplayTest, EveryFrameSeekedToOrSteppedOverShowsWhatAPlayFromTheStartShows) {
    Play(700);
    for (const char c : std::string("SKIPAHEAD")) Send(TEventKind::Char, c);  // the next level slides in
    Play(2600);  // with game overs answered "continue": their level slides in again
    const std::string text = Recorder->Text(*Game);
    auto platform = [this](TRowScreen& p) {
        p.Dir = Dir;
        p.Loader = Platform.Loader;
    };
    TRowScreen straightShown, straightAhead, shown, ahead;
    for (TRowScreen* p : {&straightShown, &straightAhead, &shown, &ahead}) platform(*p);
    TReplaySeeker straight(text, Dir, straightShown, straightAhead);
    struct TSeen {
        std::string Hash;
        std::vector<std::pair<uint64_t, int>> Rows;
    };
    std::vector<TSeen> seen;
    std::vector<int64_t> slides;
    for (int64_t f = 1;; ++f) {
        straight.PlayTo(f);
        if (straight.Frame() < f) break;
        seen.push_back({StateHash(straight.Game()), straightShown.Rows});
        if (straight.Game().TransitionCounter % 100 != 0) slides.push_back(straight.Frame());
    }
    ASSERT_EQ(straight.Player().Found.Status, TVerifyResult::TStatus::Ok);
    ASSERT_GT(slides.size(), 100u);

    TReplaySeeker seeker(text, Dir, shown, ahead);
    seeker.Draw = [&shown](bool pictures, bool isShown) {
        shown.Pictures = pictures;
        shown.Shown = isShown;
    };
    while (seeker.Scout(500)) {}
    EXPECT_EQ(seeker.StatesKept(), static_cast<size_t>(seen.size() / TReplaySeeker::kStateEvery));
    auto same = [&](const char* how) {
        const int64_t f = seeker.Frame();
        ASSERT_GT(f, 0);
        EXPECT_EQ(StateHash(seeker.Game()), seen[f - 1].Hash) << how << " frame " << f;
        EXPECT_TRUE(shown.Rows == seen[f - 1].Rows) << how << " frame " << f;
    };
    // Into every slide from far behind it and from far ahead, then on at 4x.
    std::mt19937 dice(5);
    for (size_t i = 0; i < slides.size(); i += 7) {
        seeker.Seek(static_cast<int64_t>(seen.size()) - 1 - static_cast<int64_t>(dice() % 300));
        same("anywhere");
        seeker.Seek(slides[i]);
        same("back");
        seeker.Seek(std::max<int64_t>(1, slides[i] - 600 - static_cast<int64_t>(dice() % 200)));
        seeker.Seek(slides[i]);
        same("on");
        for (int step = 0; step < 8 && !seeker.Over(); ++step) {
            seeker.PlayTo(seeker.Frame() + 4);
            if (seeker.Frame() <= static_cast<int64_t>(seen.size())) same("4x");
        }
    }
    seeker.Seek(static_cast<int64_t>(seen.size()) + 1);
    EXPECT_EQ(seeker.Player().Found.Status, TVerifyResult::TStatus::Ok);
    EXPECT_EQ(StateHash(seeker.Game()), seen.back().Hash);
}

}  // namespace
}  // namespace blubbi::test

namespace blubbi::test {
namespace {

// A clock no timer can give is refused at its line, in German for the player: ticks that freeze the
// game's time (the protection after a hit would never end) and a step that turns the clock back.
TEST_F(ReplayTest, AClockNoTimerGivesIsRefusedAtItsLine) {
    Play(200, 12);  // a timer that jitters by half a period still checks
    const std::string text = Recorder->Text(*Game);
    ASSERT_EQ(VerifyReplay(text, Dir, TVerifyLimits{}).Status, TVerifyResult::TStatus::Ok);
    const auto refused = [&](const std::string& from, const std::string& to, const char* why) {
        std::string edited = text;
        const size_t at = edited.find("\n" + from) + 1;
        ASSERT_NE(at, 0u) << from;
        edited.replace(at, edited.find('\n', at) - at, to);
        const TVerifyResult r = VerifyReplay(edited, Dir, TVerifyLimits{});
        EXPECT_EQ(r.Status, TVerifyResult::TStatus::Malformed) << to;
        EXPECT_EQ(r.Line, 1 + std::count(edited.begin(), edited.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
        EXPECT_NE(r.Fault().find(why), std::string::npos) << r.Fault();
    };
    refused("ticks ", "tick 60 +0", "schneller, als der Bildtakt");
    refused("ticks ", "tick 80 +19", "40 Bilder in 760 ms");
    refused("down ", "down left +4294967295", "rückwärts");
}

// The next level comes 3 s after the last enemy is gone on the game's own clock, never before.
TEST_F(ReplayTest, ALevelChangeBeforeItsThreeSecondsIsRefused) {
    Ticks(10);
    {
        const TClockHold hold(*Game, Platform.GetTickCount());
        Game->SetTimer2(true);  // as the end of a level does
    }
    TReplayHeader h;
    h.Program = ProgramVersion();
    h.Clock = Platform.GetTickCount();
    h.DataHash = DataHash(Dir);
    h.Start = TStartKind::State;
    h.StartState = SaveState(*Game);
    const std::string head = FormatHeader(h);
    const auto play = [&](int ticks) {
        const std::string n = std::to_string(ticks);
        return VerifyReplay(head + "tick " + n + "\ntimer2\nend " + n + " 0000000000000000\n", Dir, TVerifyLimits{});
    };
    const TVerifyResult early = play(119);
    EXPECT_EQ(early.Status, TVerifyResult::TStatus::Malformed);
    EXPECT_EQ(early.Line, 2 + std::count(head.begin(), head.end(), '\n'));
    EXPECT_NE(early.Fault().find("schon nach 2975 ms"), std::string::npos) << early.Fault();
    const TVerifyResult due = play(120);
    EXPECT_EQ(due.Status, TVerifyResult::TStatus::Mismatch);  // at the end line's made-up hash
    EXPECT_EQ(due.LevelNo, 2);
}

// One play is one game, whenever it began and however often it was paused where that changed nothing.
TEST_F(ReplayTest, ThePlaysIdentityIgnoresTheStartClockAndEmptyPauses) {
    const auto record = [&](uint32_t clock, bool pause) {
        THeadlessPlatform platform;
        platform.Dir = Dir;
        platform.Loader = Platform.Loader;
        platform.Clock = clock;
        TRecorder recorder(platform);
        recorder.Begin(Dir, 1, clock);
        TMainForm game(recorder);
        recorder.Create(game);
        const auto send = [&](TEventKind kind, int32_t a) {
            TEvent e = MakeEvent(kind, a);
            e.Clock = platform.GetTickCount();
            recorder.Record(game, e);
        };
        if (pause) {
            send(TEventKind::Pause, 1);
            platform.Clock += 5000;  // the clock stands while paused
            send(TEventKind::Pause, 0);
        }
        std::mt19937 keys(3);
        for (int i = 0; i < 400; ++i) {
            if (keys() % 6 == 0) send(keys() % 2 ? TEventKind::KeyDown : TEventKind::KeyUp, kGameKeys[keys() % 4]);
            platform.Tick(game, [&](const TEvent& e) { recorder.Record(game, e); });
        }
        const std::string text = recorder.Text(game);
        game.FormDestroy();
        return std::pair{text, VerifyReplay(text, Dir, TVerifyLimits{})};
    };
    const auto [text, first] = record(100000, false);
    ASSERT_EQ(first.Status, TVerifyResult::TStatus::Ok) << first.Reason;
    for (const auto& [otherText, other] : {record(100001, false), record(100000, true)}) {
        EXPECT_NE(otherText, text);
        EXPECT_EQ(other.GameId, first.GameId);
    }
    EXPECT_NE(record(100000 + 25, false).first, text);
}

// A game that opens one of the game's own levels chose what it plays: it is marked as edited, as
// every editor command marks it; a new game or the music switch do not.
TEST_F(ReplayTest, AReopenedOwnLevelMarksTheGame) {
    Play(60);
    Send(TEventKind::Menu, 0, "Hintergrundmusik1Click");
    Send(TEventKind::Menu, 0, "NeuesSpiel1Click");
    Play(60);
    ASSERT_EQ(Games.size(), 1u);
    EXPECT_FALSE(VerifyReplay(Games[0], Dir, TVerifyLimits{}).EditorUsed);
    EXPECT_FALSE(VerifyReplay(Recorder->Text(*Game), Dir, TVerifyLimits{}).EditorUsed);
    Dialog(true, Dir + "levels/level001.lev");
    Play(60);
    const TVerifyResult r = VerifyReplay(Recorder->Text(*Game), Dir, TVerifyLimits{});
    EXPECT_EQ(r.Status, TVerifyResult::TStatus::Ok) << r.Reason;
    EXPECT_TRUE(r.EditorUsed);
    EXPECT_FALSE(r.UserLevels);
    // The carried flags are 0 or 1, the insert kind one of the five.
    std::string error;
    const std::string carried = CarryText(*Game);
    for (const char* field : {"KeyLeft=", "InsertKind="}) {
        std::string bad = carried;
        const size_t at = bad.find(field) + std::strlen(field);
        bad.replace(at, bad.find(' ', at) - at, "7");
        EXPECT_FALSE(ApplyCarry(*Game, bad, error)) << field;
    }
}

}  // namespace
}  // namespace blubbi::test
