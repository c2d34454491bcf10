// The gates every level set must pass, over the level report (docs/level-report.json, written by
// blubbi-report): what can be measured quickly is measured again here with the game's rules, the
// planner's effort is taken from the report, which must still speak of the levels as built.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "game/MainForm.h"
#include "tools/planner/LevelMeasures.h"

namespace blubbi::plan {
namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(LevelGates, TheLevelSetPassesItsReport) {
    std::ifstream in(BLUBBI_LEVEL_REPORT);
    ASSERT_TRUE(in) << BLUBBI_LEVEL_REPORT;
    const nlohmann::json report = nlohmann::json::parse(in);
    const std::string dir = std::string(BLUBBI_DATA) + "/";
    std::vector<std::vector<bool>> layouts;
    std::vector<double> effort;
    size_t n = 0;
    for (;; ++n) {
        const int32_t no = static_cast<int32_t>(n) + 1;
        const fs::path lev = fs::path(dir) / "levels" / ("level" + TMainForm::leadzero(std::to_string(no), 3) + ".lev");
        if (!fs::is_regular_file(lev)) break;
        const std::string name = "level " + std::to_string(no);
        ASSERT_LT(n, report.size()) << name << " is missing from the report";
        const nlohmann::json& r = report[n];
        const std::string bytes = ReadBytes(lev);
        ASSERT_EQ(r.at("hash"), LevelHash(bytes)) << name << " changed since the report: run make-report.sh";
        const auto level = DecodeLevel(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ASSERT_TRUE(level) << name;

        const TFairness f = MeasureFairness(*level);
        EXPECT_EQ(f.RestPlaces, r.at("restPlaces")) << name;
        EXPECT_EQ(f.OutOfReach, r.at("outOfReach")) << name;
        const double outOfReach = f.RestPlaces ? double(f.OutOfReach) / f.RestPlaces : 0;
        EXPECT_LE(outOfReach, no <= 5 ? 0.05 : 0.10) << name << ": trapped bubbles rest out of every jump's reach";
        EXPECT_EQ(f.Overlapping, 0) << name << ": enemies overlap at load";

        const TDanger d = MeasureDanger(dir, no, 20);
        EXPECT_EQ(d.HitWithin2s, r.at("hitWithin2s")) << name;
        EXPECT_LE(d.HitWithin2s, no <= 10 ? 2 : 5) << name << ": a player who stands still is hit within 2 s";

        const std::vector<bool> layout = Layout(*level);
        for (size_t k = 0; k < layouts.size(); ++k)
            EXPECT_LE(std::max(Overlap(layout, layouts[k]), Overlap(layout, Mirrored(layouts[k]))), 0.6)
                << name << " is laid out like level " << k + 1;
        layouts.push_back(layout);

        EXPECT_TRUE(r.at("proof").at("cleared")) << name << ": its proof does not clear it";
        EXPECT_GE(r.at("proof").at("lives"), 1) << name;
        EXPECT_GE(r.at("effortRuns").size(), 6u) << name << ": effort from three seeds at two cadences";
        effort.push_back(r.at("effort"));
        EXPECT_GT(effort.back(), 0) << name << ": the planner cleared it in none of its runs";
    }
    EXPECT_EQ(n, report.size()) << "the report speaks of levels the game does not have";
    ASSERT_GE(n, 2u);
    // Effort rises: in the second half no level falls under 70 % of the one before, and the last is hardest.
    for (size_t i = n / 2; i < n; ++i)
        EXPECT_GE(effort[i], 0.7 * effort[i - 1]) << "level " << i + 1 << " is much easier than level " << i;
    for (size_t i = 0; i + 1 < n; ++i)
        EXPECT_LT(effort[i], effort[n - 1]) << "level " << i + 1 << " is harder than the last";
}

}  // namespace
}  // namespace blubbi::plan
