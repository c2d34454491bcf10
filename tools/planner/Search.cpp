// The planner's search.
#include "tools/planner/Search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <unordered_map>

namespace blubbi::plan {

namespace {

// A run of held keys: the keys of its first frame, then the keys held for the rest of it.
struct TRun {
    uint8_t First, Hold;
    uint8_t At(int frame) const { return frame == 0 ? First : Hold; }
};

constexpr uint8_t L = kKeyLeft, R = kKeyRight, U = kKeyUp, F = kKeySpace;

// What one run can do: stand, walk, jump, and spit to either side (a press of space together
// with an arrow turns first and spits to that side in the same frame).
constexpr TRun kRuns[] = {
    {0, 0},     {L, L},     {R, R},     {U, U},     {U | L, U | L},     {U | R, U | R},
    {F, 0},     {L | F, 0}, {R | F, 0}, {U | F, U}, {U | L | F, U | L}, {U | R | F, U | R},
    {L | F, L}, {R | F, R},
};
constexpr int kRunCount = static_cast<int>(std::size(kRuns));

struct TNode {
    int Parent;  // -1 for the start
    int Run;     // index into kRuns, -1 for the start
};

struct TCandidate {
    double Progress;  // popped and held enemies, lives, items
    double Value;     // the progress less the way still to go
    uint64_t Key;     // games with the same key are alike; one of them is enough
    uint32_t Place;   // where the player is, coarsely
    int Parent;       // index into the beam
    int Run;
};

bool Finished(const TPlanGame& g, int32_t level, int wins) {
    return g.Game.LevelNo != level || g.Platform.Wins != wins;
}

double Distance(double ax, double ay, double bx, double by) { return std::hypot(ax - bx, ay - by); }

// How near the end of the level a game is: popped enemies count most, then enemies held in
// bubbles, then lives, then being close to the next thing to do.
TCandidate Judge(const TPlanGame& pg, const TSearchOptions& options) {
    const TMainForm& g = pg.Game;
    int removed = 0, trapped = 0, collected = 0;
    for (int32_t i = 0; i < g.Enemies->Count; ++i) {
        const TEnemy& e = (*g.Enemies)[i];
        if (e.Removed)
            ++removed;
        else if (e.Trapped)
            ++trapped;
    }
    for (int32_t i = 0; i < g.Items->Count; ++i) collected += (*g.Items)[i].Collected;
    const double px = g.PlayerX + 20.0, py = g.PlayerY + 23.0;
    const int lives = g.Lives - (g.HitTimer > 0 ? 1 : 0);
    TCandidate c{};
    // A life is worth less than a pop, so that a game which keeps its lives has played better,
    // not merely more timidly.
    c.Progress = 100000.0 * removed + 20000.0 * trapped + 60000.0 * lives + 200.0 * collected;

    double nearest = std::numeric_limits<double>::infinity();
    if (trapped > 0) {
        for (int32_t i = 0; i < g.Bubbles->Count; ++i) {
            const TBubble& b = (*g.Bubbles)[i];
            if (b.HasEnemy && b.BurstStep == 0) nearest = std::min(nearest, Distance(px, py, b.X + 19.0, b.Y + 19.0));
        }
    } else {
        for (int32_t i = 0; i < g.Enemies->Count; ++i) {
            const TEnemy& e = (*g.Enemies)[i];
            if (e.Removed || e.Trapped) continue;
            // A bubble leaves at the player's top edge: line up with the enemy, a little apart.
            const double dy = std::abs((e.Y + e.Height / 2.0) - (g.PlayerY + 19.0));
            const double dx = std::abs((e.X + e.Width / 2.0) - px);
            nearest = std::min(nearest, 2.0 * dy + std::abs(dx - 70.0));
        }
        if (!std::isfinite(nearest)) {
            // Everything is popped: pick up what lies about while the next level is on its way.
            for (int32_t i = 0; i < g.Items->Count; ++i) {
                const TItem& it = (*g.Items)[i];
                if (!it.Collected) nearest = std::min(nearest, Distance(px, py, it.X + 17.0, it.Y + 17.0));
            }
        }
    }
    c.Value = c.Progress;
    if (std::isfinite(nearest)) c.Value -= 10.0 * nearest;
    // Bubbles that hold nothing only make the script longer.
    for (int32_t i = 0; i < g.Bubbles->Count; ++i) {
        const TBubble& b = (*g.Bubbles)[i];
        if (!b.HasEnemy && b.BurstStep == 0) c.Value -= options.BubbleCost;
    }

    uint64_t k = static_cast<uint32_t>(g.PlayerX + 1000) / 4;
    k = k * 4096 + static_cast<uint32_t>(g.PlayerY + 1000) / 4;
    k = k * 2 + g.FacingLeft;
    k = k * 2 + g.OnGround;
    k = k * 64 + static_cast<uint32_t>(removed & 63);
    k = k * 64 + static_cast<uint32_t>(trapped & 63);
    k = k * 4 + static_cast<uint32_t>(std::clamp(lives, 0, 3));
    c.Key = k;
    c.Place = (static_cast<uint32_t>(g.PlayerX + 1000) / 20) * 1024 + static_cast<uint32_t>(g.PlayerY + 1000) / 20;
    return c;
}

}  // namespace

std::optional<std::vector<uint8_t>> PlanLevel(const TPlanGame& start, const std::string& dir, uint64_t seed,
                                              const TSearchOptions& options) {
    const int32_t level = start.Game.LevelNo;
    const int segment = std::max(1, options.Cadence);
    const int wins = start.Platform.Wins;
    auto make = [&] { return std::make_unique<TPlanGame>(dir, seed, start.Game.StartLevelNo); };

    std::vector<uint8_t> prefix;  // frames before the search: the slide, in which keys do nothing
    auto first = make();
    first->CopyFrom(start);
    while (first->Game.TransitionCounter != 0 && !Finished(*first, level, wins)) {
        first->Step(0);
        prefix.push_back(0);
    }

    std::vector<TNode> nodes{{-1, -1}};
    std::vector<std::unique_ptr<TPlanGame>> beam, next, spare;
    std::vector<int> beamNode{0}, nextNode;
    beam.push_back(std::move(first));
    auto scratch = make();

    auto keysOf = [&](int node) {
        std::vector<int> runs;
        for (int n = node; nodes[static_cast<size_t>(n)].Run >= 0; n = nodes[static_cast<size_t>(n)].Parent)
            runs.push_back(nodes[static_cast<size_t>(n)].Run);
        std::vector<uint8_t> keys = prefix;
        for (auto it = runs.rbegin(); it != runs.rend(); ++it)
            for (int i = 0; i < segment; ++i) keys.push_back(kRuns[*it].At(i));
        return keys;
    };

    for (int frame = static_cast<int>(prefix.size()); frame < options.MaxFrames; frame += segment) {
        std::vector<TCandidate> candidates;
        // The first game to finish ends the search: the fewest frames, then the most points.
        int bestDone = -1, bestDoneRun = -1, bestDoneFrames = segment + 1, bestDoneScore = -1;
        for (size_t b = 0; b < beam.size(); ++b) {
            for (int r = 0; r < kRunCount; ++r) {
                scratch->CopyFrom(*beam[b]);
                int used = 0;
                for (; used < segment && !Finished(*scratch, level, wins); ++used) scratch->Step(kRuns[r].At(used));
                if (scratch->Platform.GameOvers > 0) continue;
                if (Finished(*scratch, level, wins)) {
                    if (used < bestDoneFrames || (used == bestDoneFrames && scratch->Game.Score > bestDoneScore)) {
                        bestDone = static_cast<int>(b);
                        bestDoneRun = r;
                        bestDoneFrames = used;
                        bestDoneScore = scratch->Game.Score;
                    }
                    continue;
                }
                TCandidate c = Judge(*scratch, options);
                c.Parent = static_cast<int>(b);
                c.Run = r;
                candidates.push_back(c);
            }
        }
        if (bestDone >= 0) {
            std::vector<uint8_t> keys = keysOf(beamNode[static_cast<size_t>(bestDone)]);
            for (int i = 0; i < bestDoneFrames; ++i) keys.push_back(kRuns[bestDoneRun].At(i));
            return keys;
        }
        if (candidates.empty()) return std::nullopt;
        // The best games go on, and beside them the most advanced game of every place the
        // player has reached, so that a dead end does not take the whole beam.
        std::sort(candidates.begin(), candidates.end(),
                  [](const TCandidate& a, const TCandidate& b) { return a.Value > b.Value; });
        std::vector<const TCandidate*> chosen;
        std::unordered_map<uint64_t, bool> seen;
        for (const TCandidate& c : candidates) {
            if (static_cast<int>(chosen.size()) >= options.Beam) break;
            if (seen.emplace(c.Key, true).second) chosen.push_back(&c);
        }
        std::unordered_map<uint32_t, const TCandidate*> places;
        for (const TCandidate& c : candidates) {
            const TCandidate*& best = places[c.Place];
            if (!best || c.Progress > best->Progress) best = &c;  // sorted: the first of equals has the best value
        }
        std::vector<const TCandidate*> spread;
        for (const auto& [place, c] : places) spread.push_back(c);
        std::sort(spread.begin(), spread.end(), [](const TCandidate* a, const TCandidate* b) {
            if (a->Progress != b->Progress) return a->Progress > b->Progress;
            return a->Value != b->Value ? a->Value > b->Value : a->Key < b->Key;
        });
        int added = 0;
        for (const TCandidate* c : spread) {
            if (added >= options.Spread) break;
            if (seen.emplace(c->Key, true).second) {
                chosen.push_back(c);
                ++added;
            }
        }

        // Games of the last beam but one are used again.
        for (auto& g : next)
            if (g) spare.push_back(std::move(g));
        next.clear();
        nextNode.clear();
        for (const TCandidate* c : chosen) {
            std::unique_ptr<TPlanGame> g;
            if (spare.empty()) {
                g = make();
            } else {
                g = std::move(spare.back());
                spare.pop_back();
            }
            g->CopyFrom(*beam[static_cast<size_t>(c->Parent)]);
            for (int i = 0; i < segment; ++i) g->Step(kRuns[c->Run].At(i));
            nodes.push_back({beamNode[static_cast<size_t>(c->Parent)], c->Run});
            next.push_back(std::move(g));
            nextNode.push_back(static_cast<int>(nodes.size()) - 1);
        }
        if (options.Verbose && (frame / segment) % 25 == 0) {
            const TMainForm& g = next[0]->Game;
            std::fprintf(stderr, "frame %d: best %.0f, player %d,%d, lives %d, points %d, kept %zu;", frame,
                         candidates[0].Value, g.PlayerX, g.PlayerY, g.Lives, g.Score, next.size());
            for (int32_t i = 0; i < g.Enemies->Count; ++i) {
                const TEnemy& e = (*g.Enemies)[i];
                if (!e.Removed) std::fprintf(stderr, " kind %d at %d,%d%s", e.Kind, e.X, e.Y, e.Trapped ? " held" : "");
            }
            std::fprintf(stderr, "\n");
        }
        std::swap(beam, next);
        std::swap(beamNode, nextNode);
    }
    return std::nullopt;
}

}  // namespace blubbi::plan
