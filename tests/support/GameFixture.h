// A started game on the headless platform, in a temporary program folder of its own.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/headless/HeadlessPlatform.h"
#include "tests/support/LevelBytes.h"

namespace blubbi::test {

struct GameFixture : ::testing::Test {
    THeadlessPlatform Platform;
    TMainForm Game{Platform};
    std::string Dir;

    void SetUp() override {
        Dir = TempProgramDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        Platform.Dir = Dir;
    }
    void TearDown() override { std::filesystem::remove_all(Dir); }

    std::string LevelPath(int n) const { return Game.LevelFileName(n); }
    void WriteLevel(int n, const std::vector<TEnemy>& enemies, int32_t x = 38, int32_t y = 315) {
        WriteFile(Dir + "levels/level" + TMainForm::leadzero(std::to_string(n), 3) + ".lev",
                  LevelBytes(BorderGrid(), enemies, x, y));
    }
    void Start() { Game.FormCreate(); }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) Platform.Tick(Game);
    }
    // Runs the start-up slide out, so that the game moves.
    void SkipSlide() {
        for (int i = 0; i < 60 && Game.TransitionCounter != 0; ++i) Platform.Tick(Game);
    }
};

}  // namespace blubbi::test
