// blubbi-sim: runs the real game without a window, driven by a script, on a virtual clock.
#include <CLI/CLI.hpp>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "base/Files.h"
#include "game/Events.h"
#include "game/Latin1.h"
#include "platform/replay/Replay.h"
#include "platform/sim/SimPlatform.h"
#include "tools/sim/Dump.h"
#include "tools/sim/Script.h"

using namespace blubbi;

namespace {

struct TOptions {
    std::string DataDir;
    uint64_t Seed = 1;
    uint32_t Clock = kStartClock;
    std::string Size = std::to_string(kDesignWidth) + "x" + std::to_string(kDesignHeight);
    int32_t StartLevel = 1;
    std::string ScriptPath = "-";
    bool ScriptGiven = false;
    std::string Viewport;
    std::string RecordPath, ReplayPath, VerifyPath;
};

std::string ExecutableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

// The options; an exit status when the run ends here (help, a bad option), else nullopt.
std::optional<int> ParseOptions(int argc, char** argv, TOptions& o) {
    CLI::App cli{"Runs Blubbi Blubbo without a window, driven by a script."};
    cli.set_version_flag("--version", "blubbi-sim " + ProgramVersion());
    o.DataDir = ExecutableDir();
    cli.add_option("--data", o.DataDir, "program folder whose grafiken/, sound/ and levels/ are used");
    cli.add_option("--seed", o.Seed, "seed of the game's random generator");
    cli.add_option("--clock", o.Clock, "system tick count at start-up, in ms");
    cli.add_option("--size", o.Size, "size of the paint box, WxH");
    cli.add_option("--level", o.StartLevel, "the game's own level to start at (default 1)")->check(CLI::PositiveNumber);
    cli.add_option("--viewport", o.Viewport,
                   "draw only the middle WxH of the paint box (pictures of the field at any box size)");
    cli.add_option("--record", o.RecordPath,
                   "write the replay of the scripted run to this file (each later game to FILE-2, FILE-3 ...)");
    cli.add_option("--replay", o.ReplayPath, "play this replay exactly, then the script if one is given");
    cli.add_option("--verify", o.VerifyPath, "play this replay without pictures and print its summary as JSON");
    auto* script = cli.add_option("SCRIPT", o.ScriptPath, "script file; none or - reads standard input");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    }
    o.ScriptGiven = script->count() > 0;
    return std::nullopt;
}

// WxH, each side 1 to the largest paint box.
bool ParseSize(const std::string& text, int& w, int& h) {
    const size_t x = text.find('x');
    return x != std::string::npos && PaintBoxSide(std::string_view(text).substr(0, x), w) &&
           PaintBoxSide(std::string_view(text).substr(x + 1), h);
}

// A replay named on the command line; an unreadable one is said on standard error.
std::optional<std::string> ReadReplay(const std::string& path, std::string& error) {
    std::optional<std::string> text = ReadReplayFile(path, TReplayLimits{}, error);
    if (!text) std::cerr << "blubbi-sim: cannot read " << path << ": " << error << "\n";
    return text;
}

// --verify: one line of JSON for every file, and the exit status of its verdict.
int Verify(const std::string& path, const std::string& dataDir) {
    std::string error;
    const std::optional<std::string> text = ReadReplay(path, error);
    TVerifyResult result;
    if (text) {
        result = VerifyReplay(*text, dataDir, TVerifyLimits{});
    } else {
        // Refused before its first line, as a replay this game cannot read.
        result.Status = TVerifyResult::TStatus::Malformed;
        result.Reason = "cannot read the file: " + error;
    }
    std::cout << VerifyJson(result) << "\n";
    if (!text) return 2;
    if (result.Status == TVerifyResult::TStatus::Ok) return 0;
    if (result.Status == TVerifyResult::TStatus::Mismatch) {
        std::cerr << "blubbi-sim: " << path << ": frame " << result.Frame << ": " << result.Reason << "\n";
        return 3;
    }
    std::cerr << "blubbi-sim: " << path << ": line " << result.Line << ": " << result.Reason << "\n";
    return 2;
}

bool LoadReplay(TOptions& o, std::optional<TReplay>& replay) {
    std::string error;
    const std::optional<std::string> text = ReadReplay(o.ReplayPath, error);
    if (!text) return false;
    TReplayError replayError;
    replay = ParseReplay(*text, TReplayLimits{}, replayError);
    if (!replay) {
        std::cerr << "blubbi-sim: " << o.ReplayPath << ": line " << replayError.Line << ": " << replayError.Message
                  << "\n";
        return false;
    }
    o.Size = std::to_string(replay->Header.Width) + "x" + std::to_string(replay->Header.Height);
    // A replay plays alone unless a script is named.
    if (!o.ScriptGiven) o.ScriptPath.clear();
    return true;
}

bool ReadScript(const std::string& path, std::vector<sim::TCommand>& script) {
    std::optional<sim::TParseError> error;
    if (path == "-") {
        script = sim::ParseScript(std::cin, error);
    } else if (!path.empty()) {
        std::ifstream file(path);
        if (!file) {
            std::cerr << "blubbi-sim: cannot read " << path << "\n";
            return false;
        }
        script = sim::ParseScript(file, error);
    }
    if (error) std::cerr << "blubbi-sim: line " << error->Line << ": " << error->Message << "\n";
    return !error;
}

// One run of the game: the platform, a recorder or a player between it and the game, the game.
class TSession {
public:
    TSession(TSimPlatform& platform, const TOptions& o, std::optional<TReplay> replay)
        : Platform(platform), O(o), Game(Face(std::move(replay))) {}
    ~TSession() { Game.FormDestroy(); }
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;

    // Starts the game and plays the replay; an exit status when the run ends here, else nullopt.
    std::optional<int> Start();
    // Runs the script; the exit status.
    int Run(const std::vector<sim::TCommand>& script);

private:
    TPlatform& Face(std::optional<TReplay> replay);
    void Send(const TEvent& e);
    TEvent Event(TEvent e) const;
    void Command(const sim::TCommand& c);
    void OpenOrSave(const sim::TCommand& c);
    void Dump();
    bool Store(const std::string& text);

    TSimPlatform& Platform;
    const TOptions& O;
    std::optional<TRecorder> Recorder;
    std::optional<TReplayPlayer> Player;
    TMainForm Game;
    int ReplayStatus = 0;
    int Status = 0;
    int Games = 0;  // replays stored
    bool Stored = true;
};

// The game talks to a recorder or a player when there is one, else to the platform itself.
TPlatform& TSession::Face(std::optional<TReplay> replay) {
    if (replay) {
        Player.emplace(Platform, std::move(*replay), Platform.Dir);
        Player->OnResize = [this](int w, int h) { Platform.Resize(w, h); };
        return *Player;
    }
    if (O.RecordPath.empty()) return Platform;
    Recorder.emplace(Platform);
    Recorder->Begin(Platform.Dir, O.StartLevel, O.Clock);
    return *Recorder;
}

std::optional<int> TSession::Start() {
    Game.StartLevelNo = O.StartLevel;
    if (Player)
        Player->Create(Game);
    else if (Recorder)
        Recorder->Create(Game);
    else
        Game.FormCreate();
    // Level 1 may be missing (the game then runs on its empty level); another start must exist.
    if (Game.StartLevelNo != 1 && !Platform.FileExists(Game.LevelFileName(Game.StartLevelNo))) {
        std::cerr << "blubbi-sim: --level " << Game.StartLevelNo << ": the game has no such level\n";
        return 2;
    }
    if (!Player) return std::nullopt;
    Player->PlayAll(Game, TVerifyLimits{}.MaxFrames);
    Platform.Clock = Player->GetTickCount();
    const TVerifyResult& found = Player->Found;
    if (found.Status == TVerifyResult::TStatus::Mismatch) {
        std::cerr << "blubbi-sim: " << O.ReplayPath << ": frame " << found.Frame << ": " << found.Reason << "\n";
        ReplayStatus = 3;
    } else if (found.Status != TVerifyResult::TStatus::Ok) {
        std::cerr << "blubbi-sim: " << O.ReplayPath << ": line " << found.Line << ": " << found.Reason << "\n";
        ReplayStatus = 2;
    }
    return std::nullopt;
}

// Each game of the run is a replay of its own: the first goes to the file named, the later ones
// (after "Neues Spiel") beside it with -2, -3 ... appended; each replaces its file whole or not at all.
bool TSession::Store(const std::string& text) {
    ++Games;
    const std::string path = Games == 1 ? O.RecordPath : O.RecordPath + "-" + std::to_string(Games);
    std::string error;
    if (WriteFileSafely(path, text.data(), text.size(), error)) return true;
    std::cerr << "blubbi-sim: cannot write " << path << ": " << error << "\n";
    return false;
}

void TSession::Send(const TEvent& e) {
    if (!Recorder) return Dispatch(Game, e);
    Recorder->Record(Game, e);
    if (!Recorder->Finished().empty() && (Recorder->FinishedFrames() > 0 || Games == 0))
        Stored = Store(Recorder->Finished()) && Stored;
}

// The event at the game's clock, which a pause holds.
TEvent TSession::Event(TEvent e) const {
    e.Clock = Platform.GetTickCount();
    return e;
}

void TSession::OpenOrSave(const sim::TCommand& c) {
    const bool open = c.Op == sim::TOp::Open;
    (open ? Platform.NextOpenFile : Platform.NextSaveFile) = c.Text;
    TEvent e = MakeEvent(TEventKind::Menu);
    e.Text = open ? "Levelffnen1Click" : "Levelspeichern1Click";
    Send(Event(e));
    Platform.NextOpenFile.clear();
    Platform.NextSaveFile.clear();
}

// What was sent and shown since the previous dump, with the state.
void TSession::Dump() {
    std::vector<std::string> sent, dialogs;
    sent.swap(Platform.Sent);
    dialogs.swap(Platform.Dialogs);
    std::cout << sim::DumpState(Game, Platform.Clock, sent, dialogs) << "\n";
}

void TSession::Command(const sim::TCommand& c) {
    switch (c.Op) {
        case sim::TOp::Event: Send(Event(c.Event)); break;
        case sim::TOp::Tick:
            for (int64_t i = 0; i < c.Count; ++i) Platform.Tick(Game, [this](const TEvent& e) { Send(e); });
            break;
        case sim::TOp::Resize:
            Platform.Resize(c.Event.A, c.Event.B);
            Send(Event(c.Event));
            break;
        case sim::TOp::Type:
            for (char ch : Latin1FromUtf8(c.Text))
                Send(Event(MakeEvent(TEventKind::Char, static_cast<unsigned char>(ch))));
            break;
        case sim::TOp::Open:
        case sim::TOp::Save: OpenOrSave(c); break;
        case sim::TOp::Answer:
            if (!c.Choice) {
                Platform.GameOverAnswer = c.Yes ? TModalResult::Ok : TModalResult::Cancel;
            } else {
                Platform.SaveChoices.push_back(*c.Choice);
                if (*c.Choice == TSaveChoice::Save) Platform.NextSaveFile = c.Text;
            }
            break;
        case sim::TOp::Dump: Dump(); break;
        case sim::TOp::Png: {
            std::string error;
            if (!Platform.SavePng(c.Text, error)) {
                std::cerr << "blubbi-sim: line " << c.Line << ": cannot write " << c.Text << ": " << error << "\n";
                Status = 1;
            }
            break;
        }
    }
}

int TSession::Run(const std::vector<sim::TCommand>& script) {
    for (const auto& c : script) Command(c);
    std::cout.flush();
    if (Recorder && (Games == 0 || Recorder->Frames() > 0)) Stored = Store(Recorder->Text(Game)) && Stored;
    if (!Stored) Status = 1;
    return ReplayStatus ? ReplayStatus : Status;
}

int Main(int argc, char** argv) {
    TOptions o;
    if (const auto exit = ParseOptions(argc, argv, o)) return *exit;
    if (!o.VerifyPath.empty()) return Verify(o.VerifyPath, o.DataDir);
    std::optional<TReplay> replay;
    if (!o.ReplayPath.empty() && !LoadReplay(o, replay)) return 2;
    int width = 0, height = 0;
    if (!ParseSize(o.Size, width, height)) {
        std::cerr << "blubbi-sim: --size wants WxH, for example " << kDesignWidth << "x" << kDesignHeight << "\n";
        return 2;
    }
    std::vector<sim::TCommand> script;
    if (!ReadScript(o.ScriptPath, script)) return 2;

    EnsureOffscreenGuiApplication();
    int viewWidth = 0, viewHeight = 0;
    if (!o.Viewport.empty() && !ParseSize(o.Viewport, viewWidth, viewHeight)) {
        std::cerr << "blubbi-sim: --viewport wants WxH, for example " << kDesignWidth << "x" << kDesignHeight << "\n";
        return 2;
    }
    // With a viewport the screen is never larger than it.
    TSimPlatform platform(viewWidth > 0 ? viewWidth : width, viewHeight > 0 ? viewHeight : height);
    platform.SetViewport(viewWidth, viewHeight);
    platform.Resize(width, height);
    platform.Dir = o.DataDir.empty() || o.DataDir.back() == '/' ? o.DataDir : o.DataDir + "/";
    platform.Seed = o.Seed;
    platform.Clock = o.Clock;
    TSession session(platform, o, std::move(replay));
    if (const auto exit = session.Start()) return *exit;
    return session.Run(script);
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit then fails a write with a message instead of killing the run mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return Main(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "blubbi-sim: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "blubbi-sim: an unknown error\n";
    }
    return 1;
}
