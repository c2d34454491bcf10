// The level measures, asked of the game's own rules.
#include "tools/planner/LevelMeasures.h"

#include <cstdio>
#include <deque>
#include <sstream>
#include <unordered_set>

#include "game/Player.h"
#include "platform/replay/EventLines.h"
#include "tools/planner/PlanGame.h"

namespace blubbi::plan {

namespace {

// Player positions that can occur, kept in a window around the field wide enough for a wrap.
constexpr int kMapX0 = -128, kMapY0 = -512, kMapW = 768, kMapH = 1024;

struct TPlayerState {
    int32_t X, Y, VelY;
    uint8_t OnGround, FacingLeft;
};

// Every box the player can be in, walking, jumping and falling from the start, enemies left out;
// counted up as a table of sums so that "any box in this range" is four look-ups.
class TReach {
public:
    explicit TReach(const TLevelData& l) : Sum(size_t{kMapW + 1} * (kMapH + 1), 0) {
        std::vector<uint8_t> at(size_t{kMapW} * kMapH, 0);
        std::unordered_set<uint64_t> seen;
        std::deque<TPlayerState> queue;
        auto visit = [&](const TPlayerState& p) {
            const int64_t mx = int64_t{p.X} - kMapX0, my = int64_t{p.Y} - kMapY0;
            if (mx < 0 || mx >= kMapW || my < 0 || my >= kMapH) return;
            const uint64_t key = uint64_t(mx) | uint64_t(my) << 12 | uint64_t(p.VelY + 1000) << 24 |
                                 uint64_t(p.OnGround) << 36 | uint64_t(p.FacingLeft) << 37;
            if (!seen.insert(key).second) return;
            at[size_t(my) * kMapW + size_t(mx)] = 1;
            queue.push_back(p);
        };
        visit({l.StartX, l.StartY, 0, 0, 0});
        while (!queue.empty()) {
            const TPlayerState p = queue.front();
            queue.pop_front();
            for (int h = -1; h <= 1; ++h)
                for (int j = 0; j <= (p.OnGround ? 1 : 0); ++j) {
                    TPlayerState n = p;
                    PlayerWalk(l.Grid, n.X, n.Y, n.FacingLeft, h<0, h> 0);
                    PlayerJump(j == 1, n.OnGround != 0, n.VelY);
                    PlayerFall(l.Grid, n.X, n.Y, n.VelY, n.OnGround, false);
                    visit(n);
                }
        }
        for (int y = 0; y < kMapH; ++y)
            for (int x = 0; x < kMapW; ++x)
                Sum[Index(x + 1, y + 1)] =
                    at[size_t(y) * kMapW + size_t(x)] + Sum[Index(x, y + 1)] + Sum[Index(x + 1, y)] - Sum[Index(x, y)];
    }

    // Some reachable player box meets the box x..x+w, y..y+h.
    bool Touches(int64_t x, int64_t y, int64_t w, int64_t h) const {
        const int64_t x1 = Clip(x - kPlayerW - kMapX0, kMapW), x2 = Clip(x + w + 1 - kMapX0, kMapW);
        const int64_t y1 = Clip(y - kPlayerH - kMapY0, kMapH), y2 = Clip(y + h + 1 - kMapY0, kMapH);
        return Sum[Index(x2, y2)] - Sum[Index(x1, y2)] - Sum[Index(x2, y1)] + Sum[Index(x1, y1)] > 0;
    }

private:
    static int64_t Clip(int64_t v, int64_t hi) { return std::clamp<int64_t>(v, 0, hi); }
    static size_t Index(int64_t x, int64_t y) { return size_t(y) * (kMapW + 1) + size_t(x); }
    std::vector<int32_t> Sum;
};

}  // namespace

TFairness MeasureFairness(const TLevelData& level) {
    TFairness f;
    const TReach reach(level);
    // A rising bubble stops where the pixel row above its box meets a block (the bubbles' own
    // probe); every pixel column of the field where its box fits is one place.
    for (int64_t x = kCell; x + kBubbleSize < kFieldWidth - kCell; ++x)
        for (int64_t y = kCell; y + kBubbleSize < kFieldHeight; ++y) {
            if (AnySolid(level.Grid, x, x + kBubbleSize, y, y + kBubbleSize)) continue;
            if (!AnySolid(level.Grid, x, x + kBubbleSize, y - 1, y - 1)) continue;
            ++f.RestPlaces;
            if (!reach.Touches(x, y, kBubbleSize, kBubbleSize)) ++f.OutOfReach;
        }
    const TBox start = PlayerBoxAt(level.StartX, level.StartY);
    const TBox near{start.X - kNearStart, start.Y - kNearStart, start.W + 2 * kNearStart, start.H + 2 * kNearStart};
    for (size_t i = 0; i < level.Enemies.size(); ++i) {
        const TEnemy& e = level.Enemies[i];
        const TBox box{e.X, e.Y, e.Width, e.Height};
        if (Meet(box, near)) ++f.NearStart;
        for (size_t j = i + 1; j < level.Enemies.size(); ++j) {
            const TEnemy& o = level.Enemies[j];
            if (Meet(box, TBox{o.X, o.Y, o.Width, o.Height})) ++f.Overlapping;
        }
    }
    return f;
}

TDanger MeasureDanger(const std::string& dir, int32_t levelNo, int seeds) {
    constexpr int kFramesPerSecond = 1000 / kFrameIntervalMs;
    TDanger d;
    d.Seeds = seeds;
    for (int s = 1; s <= seeds; ++s) {
        TPlanGame g(dir, static_cast<uint64_t>(s), levelNo);
        while (g.Game.TransitionCounter != 0) g.Step(0);
        for (int f = 1; f <= 5 * kFramesPerSecond; ++f) {
            g.Step(0);
            if (g.Game.HitTimer != 0) {
                ++d.HitWithin5s;
                if (f <= 2 * kFramesPerSecond) ++d.HitWithin2s;
                break;
            }
        }
    }
    return d;
}

std::vector<bool> Layout(const TLevelData& level) {
    std::vector<bool> out;
    for (int c = 1; c < kCols - 1; ++c)
        for (int r = 1; r < kRows; ++r) out.push_back(Solid(level.Grid, c, r));
    return out;
}

std::vector<bool> Mirrored(const std::vector<bool>& a) {
    constexpr size_t kInnerRows = kRows - 1, kInnerCols = kCols - 2;
    std::vector<bool> out(a.size());
    for (size_t c = 0; c < kInnerCols; ++c)
        for (size_t r = 0; r < kInnerRows; ++r) out[(kInnerCols - 1 - c) * kInnerRows + r] = a[c * kInnerRows + r];
    return out;
}

double Overlap(const std::vector<bool>& a, const std::vector<bool>& b) {
    int both = 0, either = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        both += a[i] && b[i];
        either += a[i] || b[i];
    }
    return either == 0 ? 1.0 : double(both) / either;
}

std::string LevelHash(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (const char c : bytes) h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return out;
}

std::vector<uint8_t> ReadProofKeys(const std::string& scriptText) {
    std::vector<uint8_t> keys;
    uint8_t held = 0;
    std::istringstream in(scriptText);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::string error;
        const std::optional<TEventLine> parsed = ParseEventLine(line, error);
        if (!parsed) continue;  // lines the planner never writes
        const TEventLine& e = *parsed;
        if (e.Event.Kind == TEventKind::Tick) {
            keys.insert(keys.end(), static_cast<size_t>(e.Repeat), held);
            continue;
        }
        for (int k = 0; k < kKeyCount; ++k) {
            if (e.Event.A != kKeyCodes[k]) continue;
            if (e.Event.Kind == TEventKind::KeyDown) held |= uint8_t(1 << k);
            if (e.Event.Kind == TEventKind::KeyUp) held &= uint8_t(~(1 << k));
        }
    }
    return keys;
}

TProofRun PlayKeys(const std::string& dir, int32_t levelNo, uint64_t seed, const std::vector<uint8_t>& keys) {
    TProofRun run;
    TPlanGame g(dir, seed, levelNo);
    int removed = 0, slide = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (g.Game.TransitionCounter != 0) slide = static_cast<int>(i) + 1;
        g.Step(keys[i]);
        if (g.Game.LevelNo != levelNo || g.Platform.Wins > 0) {
            run.Cleared = true;
            break;
        }
        if (g.Platform.GameOvers > 0) break;
        int now = 0;
        bool close = false;
        const TBox p = g.Game.PlayerBox();
        const TBox near{p.X - kCloseGap, p.Y - kCloseGap, p.W + 2 * kCloseGap, p.H + 2 * kCloseGap};
        for (int32_t k = 0; k < g.Game.Enemies->Count; ++k) {
            const TEnemy& e = (*g.Game.Enemies)[k];
            now += e.Removed;
            if (!e.Removed && !e.Trapped && Meet(TBox{e.X, e.Y, e.Width, e.Height}, near)) close = true;
        }
        if (now > removed) run.LastPop = static_cast<int>(i) + 1 - slide;
        removed = now;
        if (close && g.Game.HitTimer == 0) ++run.CloseCalls;
    }
    run.Lives = g.Game.Lives;
    return run;
}

}  // namespace blubbi::plan
