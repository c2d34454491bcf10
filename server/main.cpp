// blubbi-hiscore: the game's own hiscore server.
#include "server/Run.h"

int main(int argc, char** argv) {
    // Replays are checked by re-playing them with the game's core once that library is part of the build.
    return blubbi::hiscore::RunHiscoreServer(argc, argv, [](const std::string&) { return nullptr; });
}
