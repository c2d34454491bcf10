// blubbi-sim: runs the real game without a window, driven by a script, on a virtual clock.
#include <CLI/CLI.hpp>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "game/Events.h"
#include "game/Latin1.h"
#include "platform/replay/Replay.h"
#include "platform/sim/SimPlatform.h"
#include "tools/sim/Dump.h"
#include "tools/sim/Script.h"

using namespace blubbi;

namespace {

std::string ExecutableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

bool ParseSize(const std::string& text, int& w, int& h) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    try {
        size_t used = 0;
        w = std::stoi(text.substr(0, x), &used);
        if (used != x) return false;
        h = std::stoi(text.substr(x + 1), &used);
        if (used != text.size() - x - 1) return false;
    } catch (...) {
        return false;
    }
    return w > 0 && h > 0 && w <= 8192 && h <= 8192;
}

// A replay named on the command line; an unreadable one is said on standard error.
std::optional<std::string> ReadReplay(const std::string& path, std::string& error) {
    std::optional<std::string> text = blubbi::ReadReplayFile(path, blubbi::TReplayLimits{}, error);
    if (!text) std::cerr << "blubbi-sim: cannot read " << path << ": " << error << "\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit then fails a write with a message instead of killing the run mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App cli{"Runs Blubbi Blubbo without a window, driven by a script."};
    std::string dataDir = ExecutableDir();
    uint64_t seed = 1;
    uint32_t clock = 100000;
    std::string size = "681x425";
    int32_t startLevel = 1;
    std::string scriptPath = "-";
    cli.add_option("--data", dataDir, "program folder whose grafiken/, sound/ and levels/ are used");
    cli.add_option("--seed", seed, "seed of the game's random generator");
    cli.add_option("--clock", clock, "system tick count at start-up, in ms");
    cli.add_option("--size", size, "size of the paint box, WxH");
    cli.add_option("--level", startLevel, "the game's own level to start at (default 1)")->check(CLI::PositiveNumber);
    std::string viewport;
    cli.add_option("--viewport", viewport,
                   "draw only the middle WxH of the paint box (pictures of the field at any box size)");
    std::string recordPath, replayPath, verifyPath;
    cli.add_option("--record", recordPath,
                   "write the replay of the scripted run to this file (each later game to FILE-2, FILE-3 ...)");
    cli.add_option("--replay", replayPath, "play this replay exactly, then the script if one is given");
    cli.add_option("--verify", verifyPath, "play this replay without pictures and print its summary as JSON");
    auto* scriptOption = cli.add_option("SCRIPT", scriptPath, "script file; none or - reads standard input");
    CLI11_PARSE(cli, argc, argv);
    if (!verifyPath.empty()) {
        std::string error;
        const std::optional<std::string> text = ReadReplay(verifyPath, error);
        if (!text) {
            // Whoever reads the summary gets one line for every file: this one was refused before
            // its first line, as a replay this game cannot read.
            TVerifyResult refused;
            refused.Status = TVerifyResult::TStatus::Malformed;
            refused.Reason = "cannot read the file: " + error;
            std::cout << VerifyJson(refused) << "\n";
            return 2;
        }
        const TVerifyResult result = VerifyReplay(*text, dataDir, TVerifyLimits{});
        std::cout << VerifyJson(result) << "\n";
        switch (result.Status) {
            case TVerifyResult::TStatus::Ok: return 0;
            case TVerifyResult::TStatus::Mismatch:
                std::cerr << "blubbi-sim: " << verifyPath << ": frame " << result.Frame << ": " << result.Reason
                          << "\n";
                return 3;
            default:
                std::cerr << "blubbi-sim: " << verifyPath << ": line " << result.Line << ": " << result.Reason << "\n";
                return 2;
        }
    }
    std::optional<TReplay> replay;
    if (!replayPath.empty()) {
        std::string error;
        const std::optional<std::string> text = ReadReplay(replayPath, error);
        if (!text) return 2;
        TReplayError replayError;
        replay = ParseReplay(*text, TReplayLimits{}, replayError);
        if (!replay) {
            std::cerr << "blubbi-sim: " << replayPath << ": line " << replayError.Line << ": " << replayError.Message
                      << "\n";
            return 2;
        }
        size = std::to_string(replay->Header.Width) + "x" + std::to_string(replay->Header.Height);
        // A replay plays alone unless a script is named.
        if (scriptOption->count() == 0) scriptPath.clear();
    }
    int width = 0, height = 0;
    if (!ParseSize(size, width, height)) {
        std::cerr << "blubbi-sim: --size wants WxH, for example 681x425\n";
        return 2;
    }

    std::optional<sim::TParseError> error;
    std::vector<sim::TCommand> script;
    if (scriptPath.empty()) {
    } else if (scriptPath == "-") {
        script = sim::ParseScript(std::cin, error);
    } else {
        std::ifstream file(scriptPath);
        if (!file) {
            std::cerr << "blubbi-sim: cannot read " << scriptPath << "\n";
            return 2;
        }
        script = sim::ParseScript(file, error);
    }
    if (error) {
        std::cerr << "blubbi-sim: line " << error->Line << ": " << error->Message << "\n";
        return 2;
    }

    EnsureOffscreenGuiApplication();
    int viewWidth = 0, viewHeight = 0;
    if (!viewport.empty() && !ParseSize(viewport, viewWidth, viewHeight)) {
        std::cerr << "blubbi-sim: --viewport wants WxH, for example 681x425\n";
        return 2;
    }
    // With a viewport the screen is never larger than it.
    TSimPlatform platform(viewWidth > 0 ? viewWidth : width, viewHeight > 0 ? viewHeight : height);
    platform.SetViewport(viewWidth, viewHeight);
    platform.Resize(width, height);
    platform.Dir = dataDir.empty() || dataDir.back() == '/' ? dataDir : dataDir + "/";
    platform.Seed = seed;
    platform.Clock = clock;
    // The game talks to a recorder or a player when there is one, else to the platform itself.
    std::optional<TRecorder> recorder;
    std::optional<TReplayPlayer> player;
    TPlatform* face = &platform;
    if (replay) {
        player.emplace(platform, std::move(*replay), platform.Dir);
        player->OnResize = [&platform](int w, int h) { platform.Resize(w, h); };
        face = &*player;
    } else if (!recordPath.empty()) {
        recorder.emplace(platform);
        recorder->Begin(platform.Dir, startLevel, clock);
        face = &*recorder;
    }
    TMainForm game(*face);
    game.StartLevelNo = startLevel;
    if (player)
        player->Create(game);
    else if (recorder)
        recorder->Create(game);
    else
        game.FormCreate();
    // Level 1 may be missing (the game then runs on its empty level); another start must exist.
    if (game.StartLevelNo != 1 && !platform.FileExists(game.LevelFileName(game.StartLevelNo))) {
        std::cerr << "blubbi-sim: --level " << game.StartLevelNo << ": the game has no such level\n";
        game.FormDestroy();
        return 2;
    }
    int replayStatus = 0;
    if (player) {
        player->PlayAll(game, TVerifyLimits{}.MaxFrames);
        platform.Clock = player->GetTickCount();
        if (player->Status == TPlayStatus::Mismatch) {
            std::cerr << "blubbi-sim: " << replayPath << ": frame " << player->MismatchFrame << ": " << player->Reason
                      << "\n";
            replayStatus = 3;
        } else if (player->Status != TPlayStatus::Done) {
            std::cerr << "blubbi-sim: " << replayPath << ": line " << player->Line << ": " << player->Reason << "\n";
            replayStatus = 2;
        }
    }
    // Each game of the run is a replay of its own: the first goes to the file named, the later
    // ones (after "Neues Spiel") beside it with -2, -3 ... appended.
    int games = 0;
    auto store = [&](const std::string& text) {
        ++games;
        const std::string path = games == 1 ? recordPath : recordPath + "-" + std::to_string(games);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) std::cerr << "blubbi-sim: cannot write " << path << "\n";
        return static_cast<bool>(out);
    };
    bool stored = true;
    auto send = [&](const TEvent& e) {
        if (!recorder) return Dispatch(game, e);
        recorder->Record(game, e);
        if (!recorder->Finished().empty() && (recorder->FinishedFrames() > 0 || games == 0))
            stored = store(recorder->Finished()) && stored;
    };
    auto event = [&](TEventKind kind, int32_t a = 0, int32_t b = 0) {
        TEvent e;
        e.Kind = kind;
        e.Clock = platform.GetTickCount();  // the game's clock, which a pause holds
        e.A = a;
        e.B = b;
        return e;
    };

    size_t sentFrom = 0, dialogsFrom = 0;
    int status = 0;
    for (const auto& c : script) {
        switch (c.Op) {
            case sim::TOp::Tick:
                for (int32_t i = 0; i < c.A; ++i) platform.Tick(game, send);
                break;
            case sim::TOp::KeyDown: send(event(TEventKind::KeyDown, c.A)); break;
            case sim::TOp::KeyUp: send(event(TEventKind::KeyUp, c.A)); break;
            case sim::TOp::Type:
                for (char ch : Latin1FromUtf8(c.Text)) send(event(TEventKind::Char, static_cast<unsigned char>(ch)));
                break;
            case sim::TOp::Menu: {
                TEvent e = event(TEventKind::Menu);
                e.Text = c.Text;
                send(e);
                break;
            }
            case sim::TOp::Open:
            case sim::TOp::Save: {
                const bool open = c.Op == sim::TOp::Open;
                (open ? platform.NextOpenFile : platform.NextSaveFile) = c.Text;
                TEvent e = event(TEventKind::Menu);
                e.Text = open ? "Levelffnen1Click" : "Levelspeichern1Click";
                send(e);
                platform.NextOpenFile.clear();
                platform.NextSaveFile.clear();
                break;
            }
            case sim::TOp::MouseDown:
            case sim::TOp::MouseUp: {
                TEvent e = event(c.Op == sim::TOp::MouseDown ? TEventKind::MouseDown : TEventKind::MouseUp, c.A, c.B);
                e.Button = c.Button;
                send(e);
                break;
            }
            case sim::TOp::MouseMove: send(event(TEventKind::MouseMove, c.A, c.B)); break;
            case sim::TOp::Answer: platform.GameOverAnswer = c.A ? TModalResult::Ok : TModalResult::Cancel; break;
            case sim::TOp::Pause: send(event(TEventKind::Pause, c.A)); break;
            case sim::TOp::Resize:
                platform.Resize(c.A, c.B);
                send(event(TEventKind::Resize, c.A, c.B));
                break;
            case sim::TOp::Dump: {
                std::vector<std::string> sent(platform.Sent.begin() + sentFrom, platform.Sent.end());
                std::vector<std::string> dialogs(platform.Dialogs.begin() + dialogsFrom, platform.Dialogs.end());
                sentFrom = platform.Sent.size();
                dialogsFrom = platform.Dialogs.size();
                std::cout << sim::DumpState(game, platform.Clock, sent, dialogs) << "\n";
                break;
            }
            case sim::TOp::Png: {
                std::string error;
                if (!platform.SavePng(c.Text, error)) {
                    std::cerr << "blubbi-sim: line " << c.Line << ": cannot write " << c.Text << ": " << error << "\n";
                    status = 1;
                }
                break;
            }
        }
    }
    std::cout.flush();
    if (recorder && (games == 0 || recorder->Frames() > 0)) stored = store(recorder->Text(game)) && stored;
    if (!stored) status = 1;
    game.FormDestroy();
    return replayStatus ? replayStatus : status;
}
