// blubbi-sim: runs the real game without a window, driven by a script, on a virtual clock.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "game/Latin1.h"
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

}  // namespace

int main(int argc, char** argv) {
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
    cli.add_option("SCRIPT", scriptPath, "script file; none or - reads standard input");
    CLI11_PARSE(cli, argc, argv);
    int width = 0, height = 0;
    if (!ParseSize(size, width, height)) {
        std::cerr << "blubbi-sim: --size wants WxH, for example 681x425\n";
        return 2;
    }

    std::optional<sim::TParseError> error;
    std::vector<sim::TCommand> script;
    if (scriptPath == "-") {
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
    TSimPlatform platform(width, height);
    platform.Dir = dataDir.empty() || dataDir.back() == '/' ? dataDir : dataDir + "/";
    platform.Seed = seed;
    platform.Clock = clock;
    TMainForm game(platform);
    game.StartLevelNo = startLevel;
    game.FormCreate();
    // Level 1 may be missing (the game then runs on its empty level); another start must exist.
    if (startLevel != 1 && !platform.FileExists(game.LevelFileName(startLevel))) {
        std::cerr << "blubbi-sim: --level " << startLevel << ": the game has no such level\n";
        game.FormDestroy();
        return 2;
    }

    size_t sentFrom = 0, dialogsFrom = 0;
    int status = 0;
    for (const auto& c : script) {
        switch (c.Op) {
            case sim::TOp::Tick:
                for (int32_t i = 0; i < c.A; ++i) platform.Tick(game);
                break;
            case sim::TOp::KeyDown: game.FormKeyDown(c.A); break;
            case sim::TOp::KeyUp: game.FormKeyUp(c.A); break;
            case sim::TOp::Type:
                for (char ch : Latin1FromUtf8(c.Text)) game.FormKeyPress(ch);  // script text is UTF-8
                break;
            case sim::TOp::Menu: sim::RunMenu(game, c.Text); break;
            case sim::TOp::Open:
                platform.NextOpenFile = c.Text;
                game.OpenBtnClick();
                platform.NextOpenFile.clear();
                break;
            case sim::TOp::Save:
                platform.NextSaveFile = c.Text;
                game.SaveBtnClick();
                platform.NextSaveFile.clear();
                break;
            case sim::TOp::MouseDown: game.PaintBox1MouseDown(c.Button, c.A, c.B); break;
            case sim::TOp::MouseMove: game.PaintBox1MouseMove(c.A, c.B); break;
            case sim::TOp::MouseUp: game.PaintBox1MouseUp(c.Button, c.A, c.B); break;
            case sim::TOp::Answer: platform.GameOverAnswer = c.A ? TModalResult::Ok : TModalResult::Cancel; break;
            case sim::TOp::Resize: platform.Resize(c.A, c.B); break;
            case sim::TOp::Dump: {
                std::vector<std::string> sent(platform.Sent.begin() + sentFrom, platform.Sent.end());
                std::vector<std::string> dialogs(platform.Dialogs.begin() + dialogsFrom, platform.Dialogs.end());
                sentFrom = platform.Sent.size();
                dialogsFrom = platform.Dialogs.size();
                std::cout << sim::DumpState(game, platform.Clock, sent, dialogs) << "\n";
                break;
            }
            case sim::TOp::Png:
                if (!platform.SavePng(c.Text)) {
                    std::cerr << "blubbi-sim: line " << c.Line << ": cannot write " << c.Text << "\n";
                    status = 1;
                }
                break;
        }
    }
    std::cout.flush();
    game.FormDestroy();
    return status;
}
