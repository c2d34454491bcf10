// blubbi-web-data DATADIR OUT: the game's data for the browser in one file. It holds the very files
// the rules read (the sheets as GIF and the game's own levels), so the browser's data hash is the
// server's, and each sheet decoded here by the game's own GIF loader, so the browser needs no GIF
// decoder of its own. Entries: a name line, a size line, the bytes.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "game/DataFiles.h"
#include "gfx/BildIO.h"
#include "web/Bundle.h"

namespace fs = std::filesystem;
using namespace blubbi;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: blubbi-web-data DATADIR OUT\n";
        return 2;
    }
    const fs::path dir = argv[1];
    std::ostringstream out;
    const auto add = [&](const std::string& name, const std::string& bytes) {
        out << name << '\n' << bytes.size() << '\n' << bytes;
    };
    const auto read = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    for (const TSheetFile& sheet : SheetFiles()) {
        if (!fs::is_regular_file(dir / sheet.Path)) continue;
        add(std::string("data/") + sheet.Path, read(dir / sheet.Path));
        const TDib dib = OpenDib((dir / sheet.Path).string());
        if (dib.Bits != nullptr) add(std::string("dib/") + sheet.Path, EncodeDib(dib));
    }
    std::error_code ec;
    for (fs::directory_iterator it(dir / "levels", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (IsOwnLevelFileName(name) && it->is_regular_file()) add("data/levels/" + name, read(it->path()));
    }
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.flush()) {
        std::cerr << "blubbi-web-data: cannot write " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
