// blubbi-level: converts levels between the .lev file and its text form, and checks them for designers.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tools/level/LevelCheck.h"
#include "tools/level/LevelText.h"
#ifdef BLUBBI_LEVEL_PNG
#include <filesystem>

#include "tools/level/LevelPicture.h"
#endif

namespace {

using namespace blubbi::leveltool;

bool ReadAll(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes beside the target first, so a failed run never leaves half a file under the real name.
bool WriteAll(const std::string& path, const std::string& data) {
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(data.data(), std::streamsize(data.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::optional<TLevelFile> LoadLev(const std::string& path) {
    std::string raw;
    if (!ReadAll(path, raw)) {
        std::cerr << path << ": cannot read the file\n";
        return std::nullopt;
    }
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
    if (!WriteAll(out, text)) {
        std::cerr << out << ": cannot write the file\n";
        return 1;
    }
    return 0;
}

int FromText(const std::string& in, const std::string& out) {
    std::string text;
    if (!ReadAll(in, text)) {
        std::cerr << in << ": cannot read the file\n";
        return 1;
    }
    const TTextResult parsed = LevelFromText(text);
    if (!parsed.File) {
        std::cerr << in << ": " << parsed.Error << "\n";
        return 1;
    }
    const std::vector<uint8_t> bytes = JoinLevelFile(*parsed.File);
    if (!WriteAll(out, std::string(bytes.begin(), bytes.end()))) {
        std::cerr << out << ": cannot write the file\n";
        return 1;
    }
    return 0;
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
    if (!WriteLevelPicture(file->Level, graphicsDir.empty() ? GraphicsBesideProgram() : graphicsDir, out, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Converts Blubbi Blubbo levels between .lev files and text, and checks them."};
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
    CLI::App* png = app.add_subcommand("png", "Draw a .lev file into a PNG picture with the game's sprites");
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
