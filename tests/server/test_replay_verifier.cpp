// The real replay checker's own bounds: a deadline ends the runner that draws a last frame.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "server/ReplayVerifier.h"
#include "tests/server/Backends.h"

using namespace blubbi::hiscore;
using namespace std::chrono_literals;

namespace {

// A whole replay of ten frames; its checkpoint hashes are never compared when only its length is read.
const std::string kTenFrames = "blubbi-replay 1\nprogram 1.0\nseed 1\nclock 100000\nlevel 1\nsize 681 425\ndata " +
                               std::string(64, '0') + "\nstart\ntick 10\nend 10 0000000000000000\n";

// A runner that never finishes stands in for one stuck on a replay: the cancel of a deadline must end
// it, not wait for it, so that the checking thread is free again.
TEST(ReplayVerifier, ACancelledDrawingKillsItsRunner) {
    const blubbi::hiscore::testing::TScratchDatabase scratch{"sqlite"};
    const auto runner = scratch.Dir() / "stuck-runner";
    std::ofstream(runner) << "#!/bin/sh\nexec sleep 60\n";
    std::filesystem::permissions(runner, std::filesystem::perms::owner_all);
    const auto verifier = MakeReplayVerifier(scratch.Dir().string() + "/", runner.string());
    ASSERT_EQ(verifier->DeclaredFrames(kTenFrames), 10);

    std::atomic<bool> cancel{false};
    std::thread deadline([&] {
        std::this_thread::sleep_for(200ms);
        cancel = true;
    });
    const auto started = std::chrono::steady_clock::now();
    const auto png =
        verifier->LastFramePng(kTenFrames, 100, cancel, std::chrono::steady_clock::now() + std::chrono::seconds(60));
    const auto took = std::chrono::steady_clock::now() - started;
    deadline.join();
    EXPECT_FALSE(png);
    EXPECT_GE(took, 200ms);
    EXPECT_LT(took, 10s);
}

}  // namespace
