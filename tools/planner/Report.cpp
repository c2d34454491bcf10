// blubbi-report: what each of the game's levels asks of a player, measured with the game itself:
// fairness, danger, effort, variety and the robustness of its proof; one row per level on the
// terminal, the same as JSON, and a contact sheet of every level as the game draws it.
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "game/EnemyKinds.h"
#include "tools/planner/LevelMeasures.h"
#include "tools/planner/Search.h"
#ifdef BLUBBI_REPORT_SHEET
#include <QImage>
#include <QPainter>

#include "tools/level/LevelPicture.h"
#endif

using namespace blubbi;
using namespace blubbi::plan;
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Number3(int n) { return TMainForm::leadzero(std::to_string(n), 3); }

// The title a level's source gives in its first line, "; Level N: Title".
std::string TitleOf(const fs::path& source) {
    std::ifstream in(source);
    std::string line;
    std::getline(in, line);
    const size_t colon = line.find(':');
    return colon == std::string::npos ? std::string() : line.substr(std::min(line.size(), colon + 2));
}

struct TLevelReport {
    int No = 0;
    std::string Title, Hash;
    TLevelData Level;
    TFairness Fair;
    TDanger Danger;
    std::vector<TProofRun> Effort;  // one per seed and cadence
    TProofRun Proof;                // the proof's own keys, seed 1
    int Robust = 0, RobustTried = 0;
    bool HasProof = false;
};

// Runs the jobs on all cores, each job once.
void RunAll(std::vector<std::function<void()>>& jobs, unsigned threads) {
    std::atomic<size_t> next{0};
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < std::max(1u, threads); ++t)
        pool.emplace_back([&] {
            for (size_t i; (i = next++) < jobs.size();) jobs[i]();
        });
    for (std::thread& t : pool) t.join();
}

std::string Kinds(const TLevelData& l) {
    std::string out;
    for (size_t k = 0; k < kEnemyKinds.size(); ++k) {
        const auto n = std::count_if(l.Enemies.begin(), l.Enemies.end(),
                                     [&](const TEnemy& e) { return e.Kind == static_cast<int32_t>(k); });
        if (n) out += (out.empty() ? "" : " ") + std::to_string(n) + std::string(kEnemyKinds[k].Token, 0, 1);
    }
    return out;
}

// What a layout holds that players meet as something new: the kinds, a gap in the floor to wrap
// through, and enemies whose stored fields set their first turns.
std::vector<std::string> Features(const TLevelData& l) {
    std::vector<std::string> out;
    for (const TEnemyKind& k : kEnemyKinds)
        if (std::any_of(l.Enemies.begin(), l.Enemies.end(), [&](const TEnemy& e) { return KindOf(e.Kind) == &k; }))
            out.emplace_back(k.Token);
    for (int c = 1; c < kCols - 1; ++c)
        if (!Solid(l.Grid, c, kRows - 1)) {
            out.emplace_back("wrap");
            break;
        }
    if (std::any_of(l.Enemies.begin(), l.Enemies.end(),
                    [](const TEnemy& e) { return e.Timer != 0 || e.Aux != 0 || e.SpeedY != 0; }))
        out.emplace_back("fields");
    return out;
}

// The median of the runs that cleared the level: one run that loses its way must not make a
// level look harder than the next.
double Median(const std::vector<TProofRun>& runs) {
    std::vector<int> frames;
    for (const TProofRun& r : runs)
        if (r.Cleared && r.LastPop >= 0) frames.push_back(r.LastPop);
    if (frames.empty()) return -1;
    std::sort(frames.begin(), frames.end());
    const size_t n = frames.size();
    return n % 2 ? frames[n / 2] : (frames[n / 2 - 1] + frames[n / 2]) / 2.0;
}

// The planner's runs of an earlier report, for the levels that have not changed since.
std::vector<TProofRun> EarlierEffort(const json& earlier, const std::string& hash) {
    std::vector<TProofRun> runs;
    for (const json& level : earlier)
        if (level.value("hash", "") == hash)
            for (const json& e : level.at("effortRuns"))
                runs.push_back({e.at("cleared").get<bool>(), e.at("lastPop").get<int>(), e.at("lives").get<int>(), 0});
    return runs;
}

#ifdef BLUBBI_REPORT_SHEET
// Every level as the game draws it when loaded, five to a row, each with its number and title.
bool WriteSheet(const std::vector<TLevelReport>& levels, const std::string& graphics, const std::string& out) {
    constexpr int kPerRow = 5, kCaption = 22;
    const int rows = (static_cast<int>(levels.size()) + kPerRow - 1) / kPerRow;
    QImage sheet(kPerRow * kFieldWidth, rows * (kFieldHeight + kCaption), QImage::Format_RGB32);
    sheet.fill(QColor(32, 0, 0));
    QPainter p(&sheet);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    const fs::path tmp = fs::temp_directory_path() / ("blubbi-report-" + std::to_string(::getpid()) + ".png");
    for (size_t i = 0; i < levels.size(); ++i) {
        const int x = static_cast<int>(i % kPerRow) * kFieldWidth,
                  y = static_cast<int>(i / kPerRow) * (kFieldHeight + kCaption);
        std::string error;
        if (!leveltool::WriteLevelPicture(levels[i].Level, levels[i].No, graphics, tmp.string(), error)) {
            std::cerr << "blubbi-report: " << error << "\n";
            return false;
        }
        p.drawImage(x, y + kCaption, QImage(QString::fromStdString(tmp.string())));
        p.drawText(x + 6, y + 17, QString::fromStdString(std::to_string(levels[i].No) + ". " + levels[i].Title));
    }
    p.end();
    fs::remove(tmp);
    return sheet.save(QString::fromStdString(out), "PNG");
}
#endif

}  // namespace

int main(int argc, char** argv) {
    CLI::App cli{"Measures the game's levels: fairness, danger, effort, variety and robustness."};
    std::string dataDir = "build", proofs = "tests/replays", sources = "assets/levels", jsonPath, sheetPath;
    int seeds = 20, effortSeeds = 3;
    TSearchOptions options;
    options.Beam = 60;
    options.Spread = 40;
    options.MaxFrames = 8000;
    std::vector<int> only;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    bool noEffort = false;
    std::string reusePath;
    cli.add_option("--data", dataDir, "program folder whose levels/ are measured");
    cli.add_option("--proofs", proofs, "folder of the proofs, levelNNN.script");
    cli.add_option("--sources", sources, "folder of the level sources, for the titles");
    cli.add_option("--json", jsonPath, "write the report as JSON here");
    cli.add_option("--sheet", sheetPath, "write the contact sheet PNG here");
    cli.add_option("--seeds", seeds, "seeds for the danger and the robustness");
    cli.add_option("--effort-seeds", effortSeeds, "seeds the planner plays each level with, at each cadence");
    cli.add_option("--beam", options.Beam, "the planner's beam for the effort");
    cli.add_option("--threads", threads, "games measured at once");
    cli.add_flag("--no-effort", noEffort, "leave out the planner's runs");
    cli.add_option("--reuse", reusePath, "take the planner's runs of unchanged levels from this earlier JSON report");
    cli.add_option("levels", only, "level numbers (all when left out)");
    CLI11_PARSE(cli, argc, argv);
    if (!dataDir.empty() && dataDir.back() != '/') dataDir += '/';

    std::vector<TLevelReport> levels;
    for (int n = 1;; ++n) {
        const fs::path lev = fs::path(dataDir) / "levels" / ("level" + Number3(n) + ".lev");
        if (!fs::is_regular_file(lev)) break;
        if (!only.empty() && std::find(only.begin(), only.end(), n) == only.end()) continue;
        const std::string bytes = ReadFile(lev);
        const auto level = DecodeLevel(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        if (!level) {
            std::cerr << "blubbi-report: " << lev << " is no level file\n";
            return 2;
        }
        TLevelReport r;
        r.No = n;
        r.Title = TitleOf(fs::path(sources) / ("level" + Number3(n) + ".txt"));
        r.Hash = LevelHash(bytes);
        r.Level = *level;
        levels.push_back(std::move(r));
    }
    if (levels.empty()) {
        std::cerr << "blubbi-report: no levels in " << dataDir << "levels\n";
        return 2;
    }

    json earlier = json::array();
    if (!reusePath.empty()) {
        std::ifstream in(reusePath);
        earlier = json::parse(in, nullptr, false);
        if (!earlier.is_array()) {
            std::cerr << "blubbi-report: " << reusePath << " is no report\n";
            return 2;
        }
    }
    constexpr int kCadences[] = {4, 10};  // 100 and 250 ms between changes of the keys
    std::vector<std::function<void()>> jobs;
    for (TLevelReport& r : levels) {
        const size_t runs = noEffort ? 0 : size_t(effortSeeds) * std::size(kCadences);
        r.Effort = EarlierEffort(earlier, r.Hash);
        const bool reused = r.Effort.size() == runs;
        if (!reused) r.Effort.assign(runs, TProofRun{});
        for (size_t e = 0; !reused && e < r.Effort.size(); ++e)
            jobs.emplace_back([&, e] {
                TSearchOptions o = options;
                o.Cadence = kCadences[e % std::size(kCadences)];
                const uint64_t seed = 1 + e / std::size(kCadences);
                TPlanGame start(dataDir, seed, r.No);
                const auto keys = PlanLevel(start, dataDir, seed, o);
                if (keys) r.Effort[e] = PlayKeys(dataDir, r.No, seed, *keys);
            });
        jobs.emplace_back([&] {
            r.Fair = MeasureFairness(r.Level);
            r.Danger = MeasureDanger(dataDir, r.No, seeds);
            const fs::path proof = fs::path(proofs) / ("level" + Number3(r.No) + ".script");
            if (!fs::is_regular_file(proof)) return;
            r.HasProof = true;
            const std::vector<uint8_t> keys = ReadProofKeys(ReadFile(proof));
            r.Proof = PlayKeys(dataDir, r.No, 1, keys);
            for (int s = 2; s < 2 + seeds; ++s, ++r.RobustTried)
                r.Robust += PlayKeys(dataDir, r.No, uint64_t(s), keys).Cleared;
        });
    }
    RunAll(jobs, threads);

    json out = json::array();
    std::printf("%3s %-26s %5s %3s %3s %5s %5s %4s %6s %5s %5s %-9s %4s %6s %-10s %s\n", "lev", "title", "reach", "ovl",
                "nst", "hit2", "hit5", "clos", "effort", "/enem", "lives", "like", "sym", "start", "kinds",
                "robust first");
    std::vector<std::vector<bool>> layouts;
    std::vector<std::string> used;
    for (const TLevelReport& r : levels) {
        const std::vector<bool> layout = Layout(r.Level);
        double like = 0;
        int likeNo = 0;
        for (size_t k = 0; k < layouts.size(); ++k) {
            const double o = std::max(Overlap(layout, layouts[k]), Overlap(layout, Mirrored(layouts[k])));
            if (o > like) {
                like = o;
                likeNo = levels[k].No;
            }
        }
        layouts.push_back(layout);
        std::vector<std::string> first;
        for (const std::string& f : Features(r.Level))
            if (std::find(used.begin(), used.end(), f) == used.end()) {
                first.push_back(f);
                used.push_back(f);
            }
        const double reach = r.Fair.RestPlaces ? 100.0 * r.Fair.OutOfReach / r.Fair.RestPlaces : 0.0;
        const double effort = Median(r.Effort);
        const double perEnemy = r.Level.Enemies.empty() || effort < 0 ? -1 : effort / double(r.Level.Enemies.size());
        const int startCol = r.Level.StartX / kCell, startRow = (r.Level.StartY + kPlayerH + 1) / kCell;
        std::string firstText;
        for (const std::string& f : first) firstText += (firstText.empty() ? "" : ",") + f;
        std::printf(
            "%3d %-26.26s %4.1f%% %3d %3d %2d/%-2d %2d/%-2d %4d %6.0f %5.0f %5d %4.2f@%-4d %4.2f %3d,%-2d %-10s "
            "%2d/%-2d %s\n",
            r.No, r.Title.c_str(), reach, r.Fair.Overlapping, r.Fair.NearStart, r.Danger.HitWithin2s, r.Danger.Seeds,
            r.Danger.HitWithin5s, r.Danger.Seeds, r.Proof.CloseCalls, effort, perEnemy, r.Proof.Lives, like, likeNo,
            Overlap(layout, Mirrored(layout)), startCol, startRow, Kinds(r.Level).c_str(), r.Robust, r.RobustTried,
            firstText.c_str());
        json efforts = json::array();
        for (const TProofRun& e : r.Effort)
            efforts.push_back({{"cleared", e.Cleared}, {"lastPop", e.LastPop}, {"lives", e.Lives}});
        out.push_back({{"level", r.No},
                       {"title", r.Title},
                       {"hash", r.Hash},
                       {"enemies", r.Level.Enemies.size()},
                       {"restPlaces", r.Fair.RestPlaces},
                       {"outOfReach", r.Fair.OutOfReach},
                       {"overlapping", r.Fair.Overlapping},
                       {"nearStart", r.Fair.NearStart},
                       {"seeds", r.Danger.Seeds},
                       {"hitWithin2s", r.Danger.HitWithin2s},
                       {"hitWithin5s", r.Danger.HitWithin5s},
                       {"proof",
                        {{"found", r.HasProof},
                         {"cleared", r.Proof.Cleared},
                         {"lastPop", r.Proof.LastPop},
                         {"lives", r.Proof.Lives},
                         {"closeCalls", r.Proof.CloseCalls}}},
                       {"robust", r.Robust},
                       {"robustTried", r.RobustTried},
                       {"effortRuns", efforts},
                       {"effort", effort},
                       {"effortPerEnemy", perEnemy},
                       {"likeness", like},
                       {"likeLevel", likeNo},
                       {"symmetry", Overlap(layout, Mirrored(layout))},
                       {"startCell", {startCol, startRow}},
                       {"kinds", Kinds(r.Level)},
                       {"firstToUse", first}});
    }
    if (!jsonPath.empty()) {
        std::ofstream f(jsonPath);
        f << out.dump(1) << "\n";
        if (!f) {
            std::cerr << "blubbi-report: cannot write " << jsonPath << "\n";
            return 2;
        }
    }
#ifdef BLUBBI_REPORT_SHEET
    if (!sheetPath.empty() && !WriteSheet(levels, dataDir + "grafiken", sheetPath)) return 2;
#else
    if (!sheetPath.empty()) std::cerr << "blubbi-report: built without Qt, no contact sheet\n";
#endif
    return 0;
}
