// blubbi-hiscore: the game's own hiscore server.
#include <filesystem>

#include "server/ReplayVerifier.h"
#include "server/Run.h"

int main(int argc, char** argv) {
    // The runner that draws last frames lies beside the server, as in the build tree.
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string sim = ec ? std::string() : (self.parent_path() / "blubbi-sim").string();
    return blubbi::hiscore::RunHiscoreServer(
        argc, argv, [&sim](const std::string& dataDir) { return blubbi::hiscore::MakeReplayVerifier(dataDir, sim); });
}
