// The game's own levels: all there, all passing the check, bordered, growing harder, and playable.
#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unordered_set>
#include <vector>

#include "game/EnemyKinds.h"
#include "game/Player.h"
#include "tools/level/LevelCheck.h"
#include "tools/level/LevelText.h"

namespace blubbi::leveltool {
namespace {

namespace fs = std::filesystem;

std::string LevelName(int n) { return "level" + TMainForm::leadzero(std::to_string(n), 3); }

struct TShipped {
    std::string Name;
    TLevelData Level;
};

const std::vector<TShipped>& Shipped() {
    static const std::vector<TShipped> levels = [] {
        std::vector<TShipped> out;
        for (int n = 1;; ++n) {
            const fs::path path = fs::path(BLUBBI_LEVEL_TEXTS) / (LevelName(n) + ".txt");
            std::ifstream in(path, std::ios::binary);
            if (!in) break;
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const TTextResult r = LevelFromText(text);
            EXPECT_TRUE(r.File) << path << ": " << r.Error;
            out.push_back({LevelName(n), r.File ? r.File->Level : TLevelData{}});
        }
        return out;
    }();
    return levels;
}

bool Solid(const TLevelData& l, int64_t col, int64_t row) { return blubbi::Solid(l.Grid, col, row); }
bool FreeTop(const TLevelData& l, int64_t col, int64_t row) { return Solid(l, col, row) && !Solid(l, col, row - 1); }

// The player's movement, frame by frame, by the game's own steps; enemies are left out.
struct TPlayer {
    int32_t X, Y, VelY;
    uint8_t OnGround, FacingLeft;
};

// The order of a frame: walking and jumping with the keys, then the vertical movement.
void Frame(const TLevelData& l, TPlayer& p, int horizontal, bool jump) {
    PlayerWalk(l.Grid, p.X, p.Y, p.FacingLeft, horizontal<0, horizontal> 0);
    PlayerJump(jump, p.OnGround != 0, p.VelY);
    PlayerFall(l.Grid, p.X, p.Y, p.VelY, p.OnGround, false);
}

// Every block top the player can stand on, starting from the level's start position.
std::array<bool, 500> StandableTops(const TLevelData& l) {
    std::array<bool, 500> stood{};
    std::unordered_set<uint64_t> seen;
    std::deque<TPlayer> queue;
    auto visit = [&](const TPlayer& p) {
        if (p.X < -200 || p.X > 700 || p.Y < -400) return;
        const uint64_t key = uint64_t(p.X + 1000) | uint64_t(p.Y + 1000) << 12 | uint64_t(p.VelY + 1000) << 24 |
                             uint64_t(p.OnGround) << 36 | uint64_t(p.FacingLeft) << 37;
        if (seen.insert(key).second) queue.push_back(p);
    };
    visit({l.StartX, l.StartY, 0, 0, 0});
    visit({l.StartX, l.StartY, 0, 0, 1});
    while (!queue.empty()) {
        const TPlayer p = queue.front();
        queue.pop_front();
        if (p.OnGround && p.VelY == 0) {
            const int64_t r = CellOf(int64_t{p.Y} + kPlayerH + 1);
            for (int64_t x = int64_t{p.X} + kFootLeft; x <= int64_t{p.X} + kFootRight; ++x)
                if (x >= 0 && CellOf(x) < kCols && FreeTop(l, CellOf(x), r))
                    stood[CellIndex(static_cast<int32_t>(CellOf(x)), static_cast<int32_t>(r))] = true;
        }
        for (int h = -1; h <= 1; ++h)
            for (int j = 0; j <= (p.OnGround ? 1 : 0); ++j) {
                TPlayer next = p;
                Frame(l, next, h, j == 1);
                visit(next);
            }
    }
    return stood;
}

int64_t FootLeft(const TEnemy& e) { return int64_t{e.X} + KindOf(e.Kind)->FootInset; }
int64_t FootRight(const TEnemy& e) { return int64_t{e.X} + e.Width - KindOf(e.Kind)->FootInset; }

TEST(ShippedLevels, AtLeast25NumberedWithoutGaps) {
    EXPECT_GE(Shipped().size(), 25u);
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(BLUBBI_LEVEL_TEXTS))
        if (entry.path().extension() == ".txt" && entry.path().stem().string().starts_with("level")) ++files;
    EXPECT_EQ(files, Shipped().size()) << "a level file is numbered past a gap";
}

TEST(ShippedLevels, EveryLevelPassesTheCheck) {
    for (const TShipped& s : Shipped()) {
        const std::vector<std::string> found = CheckLevel(s.Level);
        EXPECT_TRUE(found.empty()) << s.Name << ": " << (found.empty() ? "" : found.front());
    }
}

TEST(ShippedLevels, BorderedByBlocksWithGapsOnlyInTheBottomRow) {
    for (const TShipped& s : Shipped()) {
        for (int row = 0; row < 20; ++row) {
            EXPECT_TRUE(Solid(s.Level, 0, row)) << s.Name << " left, row " << row;
            EXPECT_TRUE(Solid(s.Level, 24, row)) << s.Name << " right, row " << row;
        }
        for (int col = 0; col < 25; ++col) EXPECT_TRUE(Solid(s.Level, col, 0)) << s.Name << " top, column " << col;
        for (uint8_t v : s.Level.Grid) EXPECT_LE(v, 1) << s.Name;
    }
}

TEST(ShippedLevels, KindsComeOneByOneAndEnemiesGrowInNumber) {
    const std::array<int32_t, 4> order{kBlauesMaennel, kFeder, kGeist, kRotesMonster};
    std::array<size_t, 4> first{};
    first.fill(SIZE_MAX);
    size_t previous = 0;
    for (size_t n = 0; n < Shipped().size(); ++n) {
        const TLevelData& l = Shipped()[n].Level;
        EXPECT_GE(l.Enemies.size(), previous) << Shipped()[n].Name << " has fewer enemies than the level before";
        EXPECT_GE(l.Enemies.size(), 1u) << Shipped()[n].Name;
        previous = l.Enemies.size();
        for (const TEnemy& e : l.Enemies)
            for (size_t k = 0; k < order.size(); ++k)
                if (e.Kind == order[k] && first[k] == SIZE_MAX) first[k] = n;
    }
    for (size_t k = 0; k < order.size(); ++k) ASSERT_NE(first[k], SIZE_MAX) << "kind " << order[k] << " never comes";
    EXPECT_EQ(first[0], 0u);
    for (size_t k = 1; k < order.size(); ++k) EXPECT_LT(first[k - 1], first[k]) << "kind " << order[k];
    ASSERT_FALSE(Shipped().empty());
    EXPECT_GE(Shipped().back().Level.Enemies.size(), 3 * Shipped().front().Level.Enemies.size());
}

TEST(ShippedLevels, TheStartLeavesRoomToTheEnemies) {
    for (const TShipped& s : Shipped())
        for (const TEnemy& e : s.Level.Enemies) {
            const int64_t gap = 60;
            const bool near =
                int64_t(e.X) + e.Width >= int64_t(s.Level.StartX) - gap && e.X <= int64_t(s.Level.StartX) + 40 + gap &&
                int64_t(e.Y) + e.Height >= int64_t(s.Level.StartY) - gap && e.Y <= int64_t(s.Level.StartY) + 45 + gap;
            EXPECT_FALSE(near) << s.Name << ": an enemy at " << e.X << ", " << e.Y << " is too near the start";
        }
}

TEST(ShippedLevels, WalkersAndFedernStandOnTopsThePlayerCanReach) {
    for (const TShipped& s : Shipped()) {
        const TLevelData& l = s.Level;
        const std::array<bool, 500> stood = StandableTops(l);
        for (const TEnemy& e : l.Enemies) {
            if (e.Kind == kGeist || !KindOf(e.Kind)) continue;  // unknown kinds fail the check above
            const int64_t foot = int64_t(e.Y) + e.Height + 1;
            ASSERT_TRUE(StandsAt(l.Grid, foot, FootLeft(e), FootRight(e)))
                << s.Name << ": the enemy at " << e.X << ", " << e.Y << " does not stand on a block top";
            const int64_t r = foot / 19;
            bool reached = false;
            for (int64_t c = FootLeft(e) / 19; c <= FootRight(e) / 19 && !reached; ++c) {
                if (!FreeTop(l, c, r)) continue;
                // Walk along the platform the enemy stands on.
                int64_t lo = c, hi = c;
                while (FreeTop(l, lo - 1, r)) --lo;
                while (FreeTop(l, hi + 1, r)) ++hi;
                for (int64_t k = lo; k <= hi; ++k) reached = reached || stood[size_t(k * 20 + r)];
            }
            EXPECT_TRUE(reached) << s.Name << ": the player cannot reach the platform of the enemy at " << e.X << ", "
                                 << e.Y;
        }
    }
}

}  // namespace
}  // namespace blubbi::leveltool
