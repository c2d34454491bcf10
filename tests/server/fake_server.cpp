// blubbi-hiscore with the test replay checker: the real program for tests that run it as a process.
#include "server/Run.h"
#include "tests/server/FakeVerifier.h"

int main(int argc, char** argv) {
    return blubbi::hiscore::RunHiscoreServer(
        argc, argv, [](const std::string&) { return std::make_unique<blubbi::hiscore::TFakeVerifier>(); });
}
