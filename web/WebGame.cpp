// The game in the browser: the core with the browser's platform, called by the page's script for
// watching a replay (web/page/watch.js) and for playing (web/page/play.js). The page owns the
// clock: it calls a tick for every 25 ms of its frame loop.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/headless/NullPlatform.h"
#include "platform/replay/Replay.h"
#include "platform/replay/Seeker.h"
#include "platform/session/GameSession.h"
#include "platform/session/KeyMerge.h"
#include "web/Bundle.h"
#include "web/WebPicture.h"

namespace blubbi {

namespace {

const std::string kDataDir = "/data/";

// Decoded sheets by their path in the program folder, from the data file.
std::map<std::string, std::string>& DecodedSheets() {
    static std::map<std::string, std::string> sheets;
    return sheets;
}

// The null platform's clock and timers, with pictures that have pixels and a screen they go to.
class TWebPlatform : public TNullPlatform {
public:
    TWebPlatform() {
        Dir = kDataDir;
        Loader = [](const std::string& file) {
            const auto found = DecodedSheets().find(file.substr(std::min(file.size(), kDataDir.size())));
            return found == DecodedSheets().end() ? TDib{} : DecodeDib(found->second);
        };
    }
    std::unique_ptr<TPicture> NewPicture(int width, int height) override {
        if (!Pictures) return TNullPlatform::NewPicture(width, height);
        return std::make_unique<TWebPicture>(width, height, Sheets);
    }
    // The page shows the game's own 681 x 425 from the middle of the paint box, whatever size the
    // recorded game's box had.
    void Present(const TPicture& picture, int x, int y) override {
        // A slide shows the frame before again, which may have been one played without pixels.
        if (const auto* drawn = dynamic_cast<const TWebPicture*>(&picture); drawn != nullptr && Drawing)
            Screen.Show(*drawn, x - (Width - kDesignWidth) / 2, y - (Height - kDesignHeight) / 2);
    }
    void PaintBoxRectangle(int x1, int y1, int x2, int y2, TColor color) override {
        const int dx = (Width - kDesignWidth) / 2, dy = (Height - kDesignHeight) / 2;
        if (Drawing) Screen.Fill(x1 - dx, y1 - dy, x2 - dx, y2 - dy, color);
    }
    // The cues the page is to sound (through Web Audio, from the game's WAV files); the answers stay
    // the null platform's, so a recording is the same with sound or without.
    std::string SendMediaCommand(const std::string& command) override {
        const size_t verbEnd = command.find(' ');
        if (!Pictures || verbEnd == std::string::npos) return {};
        const std::string verb = command.substr(0, verbEnd);
        const std::string alias = command.substr(verbEnd + 1, command.find(' ', verbEnd + 1) - verbEnd - 1);
        // The tune: "musik:play" (the page starts it unless it sounds already), stop, pause, resume.
        if (alias == "musik" && (verb == "play" || verb == "stop" || verb == "pause" || verb == "resume"))
            Cues += alias + ":" + verb + " ";
        else if (verb == "play")
            Cues += alias + " ";
        return {};
    }
    // The page's session answers them; watching, nobody is asked.
    TModalResult ShowGameOverDialog(const std::string& points) override {
        return Session ? Session->GameOver(points) : TModalResult::Cancel;
    }
    // The page shows the win; playing, the session knows it too.
    void ShowWinDialog() override {
        if (Session)
            Session->Win();
        else
            Won = Drawing;  // not on the way of a seek
    }
    void NewGameStarts() override {
        if (Session) Session->NewGameStarts();
    }

    bool Pictures = true;  // pictures with pixels: for frames shown and those a level's slide shows again
    bool Drawing = true;   // what is presented goes to the screen
    TWebScreen Screen{kDesignWidth, kDesignHeight};
    std::shared_ptr<TPreparedSheets> Sheets = std::make_shared<TPreparedSheets>();
    TGameSession* Session = nullptr;
    std::string Cues;
    bool Won = false;  // the last level was done, until the page has shown it
};

// --- watching a replay ---

struct TWatch {
    std::string Text;
    int64_t Frames = 0;  // the replay's length
    TWebPlatform Inner, Ahead;
    std::optional<TReplaySeeker> Seeker;

    void Open() {
        Ahead.Drawing = Ahead.Pictures = false;
        Seeker.emplace(Text, kDataDir, Inner, Ahead);
        Seeker->Draw = [this](bool pictures, bool shown) {
            Inner.Pictures = pictures;
            Inner.Drawing = shown;
        };
    }
    int64_t Frame() const { return Seeker ? Seeker->Frame() : 0; }
    bool Over() const { return Seeker && Seeker->Over(); }
    const TMainForm& Game() const { return Seeker->Game(); }
    // Plays until `frame` frames have run; the last one is shown.
    void PlayTo(int64_t frame) { Seeker->PlayTo(frame); }
};

std::unique_ptr<TWatch> Watch;

// --- playing ---

struct TPlay {
    TWebPlatform Inner;
    TRecorder Recorder{Inner};
    std::optional<TMainForm> Game;
    std::optional<TGameSession> Session;
    std::string Finished;  // the replay of the game that ended in a game over, until the page takes it
    std::string FinishedPoints;
    int32_t FinishedLevel = 0;
    // Everything the recorder got, with the clock as it stood, and each game over's answer: a game
    // over the page answered as a new game is played again to it and answered "Continue" instead
    // (a page cannot wait inside the frame for the player, as the desktop's dialog does).
    struct TLogged {
        TEvent Event;
        uint32_t Clock = 0;
    };
    std::vector<TLogged> Log;
    size_t LastGameOver = 0;  // the log's length with the event that ended in the last game over
    std::vector<TModalResult> Answers;
    size_t Asked = 0;

    void Record(const TEvent& e) {
        Log.push_back({e, Inner.Clock});
        Recorder.Record(*Game, e);
    }
    void Send(TEvent e) {
        e.Clock = Inner.GetTickCount();
        Record(e);
    }
};

// Playing from level 1, recorded as the desktop game records; its game overs answered as `answers`
// say, the ones after them as a new game.
std::unique_ptr<TPlay> NewPlay(uint64_t seed, uint32_t clock, std::vector<TModalResult> answers) {
    auto play = std::make_unique<TPlay>();
    TPlay& p = *play;
    p.Inner.Seed = seed;
    p.Inner.Clock = clock;
    p.Answers = std::move(answers);
    p.Recorder.Begin(kDataDir, 1, p.Inner.Clock);
    p.Game.emplace(p.Recorder);
    p.Recorder.Create(*p.Game);
    p.Session.emplace(*p.Game, [&p](TEvent e) { p.Send(std::move(e)); });
    p.Inner.Session = &*p.Session;
    // The page offers the entry form once the game over is answered as a new game.
    p.Session->AskGameOver = [&p](const TGameOverMoment& moment) {
        p.LastGameOver = p.Log.size();
        if (p.Asked < p.Answers.size()) return p.Answers[p.Asked++];
        ++p.Asked;
        p.Answers.push_back(TModalResult::Cancel);
        p.Finished = p.Recorder.GameOverText();
        p.FinishedPoints = moment.Points;
        p.FinishedLevel = moment.Level;
        return TModalResult::Cancel;
    };
    p.Session->ShowWin = [&p] { p.Inner.Won = true; };
    return play;
}

// The last game over answered "Continue": the play again to it, without pictures, and on from there.
std::unique_ptr<TPlay> Continued(const TPlay& was, uint64_t seed, uint32_t clock) {
    std::vector<TModalResult> answers = was.Answers;
    answers.back() = TModalResult::Ok;
    auto play = NewPlay(seed, clock, std::move(answers));
    TPlay& p = *play;
    p.Inner.Drawing = p.Inner.Pictures = false;
    for (size_t i = 0; i < was.LastGameOver; ++i) {
        p.Inner.Clock = was.Log[i].Clock;
        p.Record(was.Log[i].Event);
    }
    p.Inner.Drawing = p.Inner.Pictures = true;
    p.Inner.Cues.clear();
    return play;
}

std::unique_ptr<TPlay> Play;
uint64_t PlaySeed = 0;  // of the page's play, for playing it again
uint32_t PlayClock = 0;
// The game's keys held on the page's sources (the keyboard, the touch controls, each pad) as one keyboard.
TKeyMerge Held;
std::string Answer;  // what the last call handed back as text

const char* Give(std::string text) {
    Answer = std::move(text);
    return Answer.c_str();
}

TWebPlatform* Shown() {
    if (Watch) return &Watch->Inner;
    if (Play) return &Play->Inner;
    return nullptr;
}

}  // namespace

}  // namespace blubbi

using namespace blubbi;

extern "C" {

// The data file: the game's files into the program folder, the decoded sheets kept aside.
EMSCRIPTEN_KEEPALIVE int bb_load_data(const char* bytes, size_t size) {
    return ReadBundle(std::string_view(bytes, size), [](const std::string& name, std::string_view content) {
        if (name.starts_with("dib/")) {
            DecodedSheets()[name.substr(4)] = std::string(content);
            return;
        }
        if (!name.starts_with("data/")) return;
        const std::filesystem::path path = "/" + name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    });
}

// Watching: 0 when the replay cannot be read.
EMSCRIPTEN_KEEPALIVE int bb_watch_open(const char* text) {
    Play.reset();
    Watch = std::make_unique<TWatch>();
    Watch->Text = text;
    TReplayError error;
    if (!CheckReplay(Watch->Text, TReplayLimits{}, error, Watch->Frames)) {
        Watch.reset();
        return 0;
    }
    Watch->Open();
    return 1;
}
EMSCRIPTEN_KEEPALIVE double bb_watch_frames() { return Watch ? static_cast<double>(Watch->Frames) : 0; }
EMSCRIPTEN_KEEPALIVE double bb_watch_frame() { return Watch ? static_cast<double>(Watch->Frame()) : 0; }
EMSCRIPTEN_KEEPALIVE int bb_watch_over() { return Watch && Watch->Over() ? 1 : 0; }
// Plays `frames` frames on, drawing the last; false once the replay is over.
EMSCRIPTEN_KEEPALIVE int bb_watch_step(int frames) {
    if (!Watch) return 0;
    Watch->PlayTo(Watch->Frame() + frames);
    return Watch->Over() ? 0 : 1;
}
// To frame `frame`, from the nearest saved state before it.
EMSCRIPTEN_KEEPALIVE void bb_watch_seek(double frame) {
    if (!Watch) return;
    Watch->Seeker->Seek(static_cast<int64_t>(frame));
    // At the last frame the end line, which holds no frame, is read too.
    if (static_cast<int64_t>(frame) >= Watch->Frames) Watch->PlayTo(Watch->Frames + 1);
}
// Keeps saved states for up to `frames` frames more (the page does it while it waits); false once
// they reach the end.
EMSCRIPTEN_KEEPALIVE int bb_watch_scout(int frames) { return Watch && Watch->Seeker->Scout(frames) ? 1 : 0; }
// How the play went, as JSON: "ok", "mismatch" ... and the end's points and state hash.
EMSCRIPTEN_KEEPALIVE const char* bb_watch_result() {
    if (!Watch) return Give("{}");
    const TMainForm& game = Watch->Game();
    TVerifyResult r = Watch->Seeker->Player().Found;
    r.Score = game.Score;
    r.LevelNo = game.LevelNo;
    r.Lives = game.Lives;
    // The check's summary with the points the game ended with (a game over's, as the server counts
    // them) and the end's state hash.
    std::string json = VerifyJson(r);
    json.pop_back();
    return Give(json + ",\"Points\":" + std::to_string(r.PointsAtEnd()) + ",\"EndHash\":\"" + StateHash(game) + "\"}");
}

// Playing from level 1, recorded as the desktop game records.
EMSCRIPTEN_KEEPALIVE void bb_play_start(double seed, double clock) {
    Watch.reset();
    PlaySeed = static_cast<uint64_t>(seed);
    PlayClock = static_cast<uint32_t>(clock);
    Play = NewPlay(PlaySeed, PlayClock, {});
}
// "Continue" after the last game over, as the desktop's dialog offers it: 0 when there is none.
EMSCRIPTEN_KEEPALIVE int bb_play_continue() {
    if (!Play || Play->Answers.empty() || Play->Answers.back() != TModalResult::Cancel) return 0;
    Play = Continued(*Play, PlaySeed, PlayClock);
    return 1;
}
EMSCRIPTEN_KEEPALIVE void bb_play_tick() {
    if (!Play) return;
    TPlay& p = *Play;
    // A paused game runs no frame and its clock stands, as on the desktop.
    if (p.Session->BeforeTick()) p.Inner.Tick(*p.Game, [&p](const TEvent& e) { p.Record(e); });
}
// A key of the page, by its Windows key code; down = 1 pressed, 0 let go.
EMSCRIPTEN_KEEPALIVE void bb_play_key(int code, int down) {
    if (Play) Play->Session->Input(MakeEvent(down ? TEventKind::KeyDown : TEventKind::KeyUp, code));
}
EMSCRIPTEN_KEEPALIVE void bb_play_pause(int paused) {
    if (Play) Play->Session->SetPaused(paused != 0);
}
// "Neues Spiel", paused or not.
EMSCRIPTEN_KEEPALIVE void bb_play_new_game() {
    if (Play) Play->Session->NewGame();
}
// A key of one of the page's sources (0 the keyboard, 1 the touch controls, 2 on the pads): the game
// sees it go down when the first source presses it and up when the last one lets go.
EMSCRIPTEN_KEEPALIVE void bb_play_held(int source, int code, int down) {
    if (down ? Held.Press(source, code) : Held.Release(source, code)) bb_play_key(code, down);
}
// Lets go of what every source holds (the page lost the keys, or the game pauses).
EMSCRIPTEN_KEEPALIVE void bb_play_release_all() {
    for (const int32_t key : Held.ReleaseEverything()) bb_play_key(key, 0);
}
// The keys a pad holds, as the desktop game maps them (bits: 1 left, 2 up, 4 right, 8 space).
EMSCRIPTEN_KEEPALIVE int bb_pad_keys(int dpadLeft, int dpadRight, double leftX, int south, int west, int east) {
    TPadInput input;
    input.DpadLeft = dpadLeft != 0;
    input.DpadRight = dpadRight != 0;
    input.LeftX = static_cast<int>(std::clamp(leftX, -1.0, 1.0) * 32767);
    input.South = south != 0;
    input.West = west != 0;
    input.East = east != 0;
    int bits = 0;
    for (const int32_t key : PadKeys(input))
        bits |= key == VK_LEFT ? 1 : key == VK_UP ? 2 : key == VK_RIGHT ? 4 : key == VK_SPACE ? 8 : 0;
    return bits;
}
EMSCRIPTEN_KEEPALIVE int bb_play_paused() { return Play && Play->Game->Paused ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int bb_play_waiting() { return Play && Play->Session->Waiting() ? 1 : 0; }
// Once after the last level was done, played or watched: the page shows the win.
EMSCRIPTEN_KEEPALIVE int bb_won() { return Shown() && std::exchange(Shown()->Won, false) ? 1 : 0; }
// The replay of a game that ended in a game over, once; empty when none ended since the last call.
EMSCRIPTEN_KEEPALIVE const char* bb_play_finished() {
    if (!Play) return Give("");
    std::string text = std::move(Play->Finished);
    Play->Finished.clear();
    return Give(std::move(text));
}
EMSCRIPTEN_KEEPALIVE const char* bb_play_finished_points() { return Give(Play ? Play->FinishedPoints : ""); }
EMSCRIPTEN_KEEPALIVE int bb_play_finished_level() { return Play ? Play->FinishedLevel : 0; }

// What the page shows of the game now.
EMSCRIPTEN_KEEPALIVE const uint8_t* bb_screen() { return Shown() ? Shown()->Screen.Rgba() : nullptr; }
EMSCRIPTEN_KEEPALIVE const char* bb_texts() { return Give(Shown() ? Shown()->Screen.TextsJson() : "[]"); }
EMSCRIPTEN_KEEPALIVE const char* bb_status() {
    const TMainForm* g = Watch ? &Watch->Game() : Play ? &*Play->Game : nullptr;
    if (g == nullptr) return Give("{}");
    return Give("{\"points\":" + std::to_string(g->Score) + ",\"lives\":" + std::to_string(g->Lives) +
                ",\"level\":" + std::to_string(g->LevelNo) + ",\"x\":" + std::to_string(g->PlayerX) +
                ",\"y\":" + std::to_string(g->PlayerY) +
                ",\"bubbles\":" + std::to_string(g->Bubbles ? g->Bubbles->Count : 0) + "}");
}
// The cues played since the last call, separated by spaces.
EMSCRIPTEN_KEEPALIVE const char* bb_cues() {
    TWebPlatform* shown = Shown();
    if (shown == nullptr) return Give("");
    std::string cues = std::move(shown->Cues);
    shown->Cues.clear();
    return Give(std::move(cues));
}
EMSCRIPTEN_KEEPALIVE const char* bb_state_hash() {
    const TMainForm* g = Watch ? &Watch->Game() : Play ? &*Play->Game : nullptr;
    return Give(g ? StateHash(*g) : "");
}
}
