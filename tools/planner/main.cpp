// blubbi-planner: finds keys that clear the game's own levels and writes them as blubbi-sim
// scripts, with the summary that blubbi-sim must show at their end.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/planner/Search.h"

using namespace blubbi;
using namespace blubbi::plan;

namespace {

std::string ExecutableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

struct TCounts {
    int Removed = 0, Trapped = 0, Total = 0;
};

TCounts Count(const TMainForm& g) {
    TCounts c;
    c.Total = g.Enemies->Count;
    for (int32_t i = 0; i < g.Enemies->Count; ++i) {
        c.Removed += (*g.Enemies)[i].Removed;
        c.Trapped += (*g.Enemies)[i].Trapped;
    }
    return c;
}

// Plays `keys` once more from the start, straight through, and writes the script with a
// note at every pop, lost life and level change. Returns the summary blubbi-sim must show.
std::string WriteScript(const std::string& dir, uint64_t seed, int32_t level, const std::vector<uint8_t>& keys,
                        const std::string& title, std::ostream& out) {
    TPlanGame game(dir, seed, level);
    std::ostringstream body;
    uint8_t held = 0;
    int pending = 0;  // ticks not yet written
    auto flush = [&] {
        if (pending > 0) body << "tick" << (pending > 1 ? " " + std::to_string(pending) : "") << "\n";
        pending = 0;
    };
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string changes = KeyLines(held, keys[i]);
        if (!changes.empty()) {
            flush();
            body << changes;
        }
        held = keys[i];
        const TCounts before = Count(game.Game);
        const int32_t livesBefore = game.Game.Lives, levelBefore = game.Game.LevelNo;
        const int winsBefore = game.Platform.Wins;
        game.Step(keys[i]);
        ++pending;
        const TCounts after = Count(game.Game);
        std::string note;
        if (game.Platform.Wins != winsBefore)
            note = "the win dialog; level 1 again";
        else if (game.Game.LevelNo != levelBefore)
            note = "level " + std::to_string(game.Game.LevelNo) + " loaded";
        else if (after.Removed > before.Removed)
            note = "popped, " + std::to_string(after.Removed) + " of " + std::to_string(after.Total) + " gone";
        else if (game.Game.Lives < livesBefore)
            note = "a life lost, " + std::to_string(game.Game.Lives) + " left";
        if (!note.empty()) {
            flush();
            body << "# frame " << game.Frames << ": " << note << "\n";
        }
    }
    flush();
    std::ostringstream summary;
    summary << "frames " << game.Frames << "\n"
            << "points " << game.Game.Score << "\n"
            << "lives " << game.Game.Lives << "\n"
            << "level " << game.Game.LevelNo << "\n"
            << "dialogs "
            << (game.Platform.GameOvers ? "GameOver"
                : game.Platform.Wins    ? "Win"
                                        : "none")
            << "\n";
    out << "# " << title << "\n"
        << "# Start: blubbi-sim --level " << level << " --seed " << seed << "; 3 lives, no editor, no cheat code.\n"
        << "# End: " << game.Frames << " frames, " << game.Game.Score << " points, " << game.Game.Lives
        << " lives left.\n"
        << "# Made by blubbi-planner; one line per change of the keys held.\n\n"
        << body.str();
    return summary.str();
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App cli{"Finds keys that clear the game's levels and writes them as blubbi-sim scripts."};
    std::string dataDir = ExecutableDir();
    uint64_t seed = 1;
    int32_t level = 1;
    bool whole = false;
    std::string scriptPath, summaryPath;
    TSearchOptions options;
    cli.add_option("--data", dataDir, "program folder whose levels/ are played");
    cli.add_option("--seed", seed, "seed of the game's random generator");
    cli.add_option("--level", level, "the level to clear, from its start")->check(CLI::PositiveNumber);
    cli.add_flag("--game", whole, "play the whole game from level 1 to the win dialog");
    cli.add_option("--beam", options.Beam, "games kept after every run of keys");
    cli.add_option("--bubble-cost", options.BubbleCost, "how much an empty bubble in flight counts against a game");
    cli.add_option("--max-frames", options.MaxFrames, "frames to try per level");
    cli.add_option("--cadence", options.Cadence, "frames between changes of the keys (4: 100 ms)");
    cli.add_flag("-v,--verbose", options.Verbose, "tell how the search goes");
    cli.add_option("-o,--output", scriptPath, "the script to write")->required();
    cli.add_option("--summary", summaryPath, "the summary to write beside it");
    CLI11_PARSE(cli, argc, argv);
    if (!dataDir.empty() && dataDir.back() != '/') dataDir += '/';
    if (whole) level = 1;

    TPlanGame game(dataDir, seed, level);
    if (!game.Platform.FileExists(game.Game.LevelFileName(level))) {
        std::cerr << "blubbi-planner: the game has no level " << level << "\n";
        return 2;
    }
    std::vector<uint8_t> keys;
    for (;;) {
        const int32_t now = game.Game.LevelNo;
        const auto part = PlanLevel(game, dataDir, seed, options);
        if (!part) {
            std::cerr << "blubbi-planner: found no way through level " << now << "\n";
            return 1;
        }
        for (uint8_t k : *part) game.Step(k);
        keys.insert(keys.end(), part->begin(), part->end());
        std::cerr << "level " << now << ": " << part->size() << " frames, " << game.Game.Score << " points, "
                  << game.Game.Lives << " lives\n";
        if (!whole || game.Platform.Wins > 0) break;
    }

    const std::string title = whole ? "The whole game, from level 1 to the win dialog."
                                    : "Level " + std::to_string(level) + " cleared from its start.";
    std::ofstream script(scriptPath);
    const std::string summary = WriteScript(dataDir, seed, level, keys, title, script);
    if (!script) {
        std::cerr << "blubbi-planner: cannot write " << scriptPath << "\n";
        return 2;
    }
    if (!summaryPath.empty()) {
        std::ofstream out(summaryPath);
        out << "# What blubbi-sim shows at the end of the script beside this file, and the check of its recorded "
               "replay.\n"
            << summary;
    }
    std::cout << summary;
    return 0;
}
