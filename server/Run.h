// The hiscore server's command line and life cycle, shared by the real program and the test server.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "server/Verifier.h"

namespace blubbi::hiscore {

// Makes the replay checker from the game's data folder; may give none.
using TVerifierFactory = std::function<std::unique_ptr<TScoreVerifier>(const std::string& dataDir)>;

// The folder of the running program ("." when it cannot be found).
std::string ProgramDir();

// Parses the command line, opens the store, listens until SIGTERM or SIGINT. Exit code.
int RunHiscoreServer(int argc, char** argv, const TVerifierFactory& makeVerifier);

}  // namespace blubbi::hiscore
