// blubbi-level: converts levels between the .lev file and its text form, and checks them for designers.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "base/Files.h"
#include "base/Version.h"
#include "tools/level/LevelCheck.h"
#include "tools/level/LevelText.h"
#ifdef BLUBBI_LEVEL_PNG
#include <filesystem>

#include "tools/level/LevelPicture.h"
#endif

namespace {

using namespace blubbi::leveltool;

// The text form of the largest level the game reads, with room to spare for comments.
constexpr uint64_t kMaxTextBytes = 64 * blubbi::kLevelMaxFileBytes;

// Regular files only, and no longer than `maxBytes`: a FIFO or a device is refused at once.
bool ReadAll(const std::string& path, uint64_t maxBytes, std::string& out) {
    std::string error;
    const std::optional<std::vector<uint8_t>> bytes = blubbi::ReadRegularFile(path, maxBytes, error);
    if (!bytes) {
        std::cerr << path << ": cannot read the file: " << error << "\n";
        return false;
    }
    out.assign(bytes->begin(), bytes->end());
    return true;
}

// Replaces the file in one step, so a failed run never leaves half a file under the real name.
bool WriteAll(const std::string& path, const std::string& data) {
    std::string error;
    if (blubbi::WriteFileSafely(path, data.data(), data.size(), error)) return true;
    std::cerr << path << ": cannot write the file: " << error << "\n";
    return false;
}

std::optional<TLevelFile> LoadLev(const std::string& path) {
    std::string raw;
    if (!ReadAll(path, blubbi::kLevelMaxFileBytes, raw)) return std::nullopt;
    std::optional<TLevelFile> file = SplitLevelFile(std::vector<uint8_t>(raw.begin(), raw.end()));
    if (!file) std::cerr << path << ": not a level file (shorter than its enemy count needs)\n";
    return file;
}

int ToText(const std::string& in, const std::string& out) {
    const std::optional<TLevelFile> file = LoadLev(in);
    if (!file) return 1;
    const std::string text = LevelToText(*file);
    if (out.empty() || out == "-") {
        std::cout << text;
        return std::cout ? 0 : 1;
    }
    return WriteAll(out, text) ? 0 : 1;
}

int FromText(const std::string& in, const std::string& out) {
    std::string text;
    if (!ReadAll(in, kMaxTextBytes, text)) return 1;
    const TTextResult parsed = LevelFromText(text);
    if (!parsed.File) {
        std::cerr << in << ": " << parsed.Error << "\n";
        return 1;
    }
    const std::vector<uint8_t> bytes = JoinLevelFile(*parsed.File);
    return WriteAll(out, std::string(bytes.begin(), bytes.end())) ? 0 : 1;
}

int Check(const std::vector<std::string>& paths) {
    int status = 0;
    for (const std::string& path : paths) {
        const std::optional<TLevelFile> file = LoadLev(path);
        if (!file) {
            status = 1;
            continue;
        }
        const std::vector<std::string> found = CheckLevel(file->Level);
        for (const std::string& f : found) std::cout << path << ": " << f << "\n";
        if (found.empty())
            std::cout << path << ": ok\n";
        else
            status = 1;
    }
    return status;
}

#ifdef BLUBBI_LEVEL_PNG
// The sprite sheets lie in grafiken beside the program, as the game finds them.
std::string GraphicsBesideProgram() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
    return ec ? std::string("grafiken") : (self.parent_path() / "grafiken").string();
}

int Png(const std::string& in, const std::string& out, const std::string& graphicsDir) {
    const std::optional<TLevelFile> file = LoadLev(in);
    if (!file) return 1;
    std::string error;
    if (!WriteLevelPicture(file->Level, LevelNoOfFileName(in),
                           graphicsDir.empty() ? GraphicsBesideProgram() : graphicsDir, out, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit then fails the write with a message instead of killing the tool mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app{"Converts Blubbi Blubbo levels between .lev files and text, and checks them."};
    app.set_version_flag("--version", "blubbi-level " + blubbi::ProgramVersion());
    app.require_subcommand(1);

    std::string toTextIn, toTextOut;
    CLI::App* toText = app.add_subcommand("to-text", "Write the text form of a .lev file");
    toText->add_option("file", toTextIn, "The .lev file")->required();
    toText->add_option("-o,--output", toTextOut, "Where to write the text (standard output if left out)");

    std::string fromTextIn, fromTextOut;
    CLI::App* fromText = app.add_subcommand("from-text", "Build a .lev file from its text form");
    fromText->add_option("file", fromTextIn, "The text file")->required();
    fromText->add_option("-o,--output", fromTextOut, "The .lev file to write")->required();

    std::vector<std::string> checkPaths;
    CLI::App* check = app.add_subcommand("check", "Check .lev files; exit status 1 when something is wrong");
    check->add_option("files", checkPaths, "The .lev files")->required();

#ifdef BLUBBI_LEVEL_PNG
    std::string pngIn, pngOut, graphicsDir;
    CLI::App* png = app.add_subcommand("png",
                                       "Draw a .lev file as loaded into a PNG picture with the game's sprites; a file "
                                       "named levelNNN.lev shows its level number");
    png->add_option("file", pngIn, "The .lev file")->required();
    png->add_option("-o,--output", pngOut, "The PNG file to write")->required();
    png->add_option("--graphics", graphicsDir, "Folder of the sprite sheets (grafiken beside the program)");
#endif

    CLI11_PARSE(app, argc, argv);

    if (*toText) return ToText(toTextIn, toTextOut);
    if (*fromText) return FromText(fromTextIn, fromTextOut);
    if (*check) return Check(checkPaths);
#ifdef BLUBBI_LEVEL_PNG
    if (*png) return Png(pngIn, pngOut, graphicsDir);
#endif
    return 1;
}
