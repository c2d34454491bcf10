// blubbi-hiscore: the game's own hiscore server.
#include <filesystem>

#include "server/ReplayVerifier.h"
#include "server/Run.h"

int main(int argc, char** argv) {
    // The runner that draws last frames lies beside the server, as in the build tree.
    const std::string sim = (std::filesystem::path(blubbi::hiscore::ProgramDir()) / "blubbi-sim").string();
    return blubbi::hiscore::RunHiscoreServer(
        argc, argv, [&sim](const std::string& dataDir) { return blubbi::hiscore::MakeReplayVerifier(dataDir, sim); });
}
