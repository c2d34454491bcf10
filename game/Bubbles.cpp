// The bubble phase: bursting and what sets it off (pass A); drawing, trapping and flying (pass B).
#include <array>
#include <cmath>

#include "game/EnemyKinds.h"
#include "game/Geometry.h"

namespace blubbi {

namespace {

constexpr int32_t kRadius = 19;            // the circle about the box's centre
constexpr int32_t kBurstDone = 10;         // BurstStep passing this removes the bubble
constexpr uint32_t kOrangeAfterMs = 9000;  // the last second shows in orange
constexpr uint32_t kLifeMs = 10000;
constexpr int32_t kBubblePoints = 1, kPopPoints = 10;
constexpr int32_t kItemOffset = 3;  // the item lies a little inside the bubble's corner
constexpr int32_t kRise = 4;
constexpr int32_t kSlowDown = 5;
constexpr TColor kPenYoung = RGB(255, 255, 0), kPenOld = RGB(255, 128, 0), kBrush = RGB(64, 64, 0);

struct TOffset {
    double Dx, Dy;
};

// 19 sin and 19 cos of every whole degree. Values that are exactly 0, 1/2 or 1 in
// arithmetic are made so here too, so a truncation never lands one pixel off because
// of the last bit of a library's sine.
const std::array<TOffset, 360>& CircleOffsets() {
    static const std::array<TOffset, 360> table = [] {
        std::array<TOffset, 360> t{};
        const auto exact = [](double v) {
            const double halves = std::round(v * 2.0) / 2.0;
            return std::fabs(v - halves) < 1e-12 ? halves : v;
        };
        for (size_t deg = 0; deg < t.size(); ++deg) {
            const double rad = static_cast<double>(deg) * 3.14159265358979323846 / 180.0;
            t[deg] = {kRadius * exact(std::sin(rad)), kRadius * exact(std::cos(rad))};
        }
        return t;
    }();
    return table;
}

TBox BubbleBox(const TBubble& b) { return {b.X, b.Y, kBubbleSize, kBubbleSize}; }

// Whether a point of the circle about the centre lies in a solid cell.
bool CircleTouchesBlock(const TGrid& grid, const TBubble& b) {
    // The circle lies inside the box: a box over free cells only can't touch anything.
    if (!AnySolid(grid, b.X, int64_t{b.X} + kBubbleSize, b.Y, int64_t{b.Y} + kBubbleSize)) return false;
    const double cx = static_cast<double>(b.X) + kRadius, cy = static_cast<double>(b.Y) + kRadius;
    for (const TOffset& o : CircleOffsets()) {
        const auto px = static_cast<int64_t>(std::trunc(cx + o.Dx));
        const auto py = static_cast<int64_t>(std::trunc(cy + o.Dy));
        if (SolidAt(grid, px, py)) return true;
    }
    return false;
}

void StartBurst(TMainForm& f, TBubble& b, bool byTouch) {
    // One flag for all bubbles, on purpose: the last bubble to start bursting decides how
    // every bubble still bursting ends.
    f.BurstByTouch = byTouch ? 1 : 0;
    b.BurstStep = 1;
}

// The enemy becomes an item where the bubble was.
void PopEnemy(TMainForm& f, const TBubble& b) {
    f.Score = AddSaturated(f.Score, kPopPoints);
    TEnemy& e = *f.Enemies->Select(b.EnemyIndex);
    e.Removed = 1;
    e.Trapped = 0;
    if (TItem* item = f.Items->Append()) {
        item->X = Clamp32(int64_t{b.X} + kItemOffset);
        item->Y = Clamp32(int64_t{b.Y} + kItemOffset);
        item->Frame = 0;
        item->SpeedY = 0;
        item->Collected = 0;
    }
    f.EndCheckPending = 1;
}

// The enemy goes free again, its box centred on the bubble's centre, with the direction,
// speed and counters it had when it was caught.
void ReleaseEnemy(TMainForm& f, const TBubble& b) {
    TEnemy& e = *f.Enemies->Select(b.EnemyIndex);
    e.Trapped = 0;
    e.X = Clamp32(int64_t{b.X} + kRadius - e.Width / 2);
    e.Y = Clamp32(int64_t{b.Y} + kRadius - e.Height / 2);
}

// Pass A, last bubble first, so deleting one moves only bubbles already handled.
void BurstPass(TMainForm& f) {
    for (int32_t i = f.Bubbles->Count - 1; i >= 0; --i) {
        TBubble& b = *f.Bubbles->Select(i);
        if (b.BurstStep > 0) {
            if (b.BurstStep == 1) f.PlayCue(TCue::Platzen);  // a frame after the burst began
            b.BurstStep += 2;
            if (b.BurstStep <= kBurstDone) continue;
            f.Score = AddSaturated(f.Score, kBubblePoints);
            if (b.HasEnemy) {
                if (f.BurstByTouch)
                    PopEnemy(f, b);
                else
                    ReleaseEnemy(f, b);
            }
            f.Bubbles->Delete(i);
            continue;
        }
        // A bubble with an enemy inside does not burst on blocks; they only stop it.
        if (!b.HasEnemy && CircleTouchesBlock(f.Grid, b)) {
            StartBurst(f, b, true);
            continue;
        }
        // The frozen player of a hit and the player in the editor burst bubbles too.
        if (Meet(BubbleBox(b), f.PlayerBox()))
            StartBurst(f, b, true);
        else if (f.Now() - b.SpawnTick >= kLifeMs)
            StartBurst(f, b, false);
    }
}

void DrawBubble(TMainForm& f, TBubble& b) {
    const TColor pen = f.Now() - b.SpawnTick < kOrangeAfterMs ? kPenYoung : kPenOld;
    bool hollow = false;
    if (b.HasEnemy && b.BurstStep == 0) {
        const TEnemy& e = *f.Enemies->Select(b.EnemyIndex);
        hollow = true;
        const TEnemyKind* look = KindOf(e.Kind);  // a kind no level should hold shows as nothing
        if (look && f.BackBuffer)
            f.BackBuffer->DrawSprite(
                f.Sheets[look->Slot], ToPicture(f.PlayFieldX, int64_t{b.X} + kRadius - e.Width / 2),
                ToPicture(f.PlayFieldY, int64_t{b.Y} + kRadius - e.Height / 2), false, 0, look->Frames, true);
    }
    if (b.BurstStep > 0) {
        // Drawn also without a picture: a seed must replay the same game either way.
        const int32_t v = 64 + f.Random(64);
        const int32_t jitter = f.Random(4);
        const int32_t r = b.BurstStep < 8 ? jitter + (kBurstDone - b.BurstStep) * kRadius / 10 : 25;
        if (f.BackBuffer) {
            const int cx = ToPicture(f.PlayFieldX, int64_t{b.X} + kRadius);
            const int cy = ToPicture(f.PlayFieldY, int64_t{b.Y} + kRadius);
            f.BackBuffer->Ellipse(cx - r, cy - r, cx + r, cy + r, pen,
                                  RGB(static_cast<uint32_t>(v), static_cast<uint32_t>(v), 0), false);
        }
        return;
    }
    if (!f.BackBuffer) return;
    const int sx = ToPicture(f.PlayFieldX, b.X), sy = ToPicture(f.PlayFieldY, b.Y);
    f.BackBuffer->Ellipse(sx, sy, sx + kBubbleSize, sy + kBubbleSize, pen, kBrush, hollow);
    // The highlight: the upper-left quarter of a small circle inside the bubble.
    f.BackBuffer->Arc(sx + 10, sy + 10, sx + 28, sy + 28, sx + 20, sy + 10, sx + 10, sy + 20, clWhite);
}

// The first free enemy the flying bubble meets goes inside; one enemy per bubble at most.
void Trap(TMainForm& f, TBubble& b) {
    f.Enemies->Rewind();
    while (f.Enemies->Next()) {
        TEnemy& e = *f.Enemies->Current();
        if (e.Removed || e.Trapped) continue;
        if (!Meet(BubbleBox(b), {e.X, e.Y, e.Width, e.Height})) continue;
        b.HasEnemy = 1;
        b.EnemyIndex = f.Enemies->Cursor - 1;
        e.Trapped = 1;
        return;
    }
}

// Up 4 a frame through free cells, stopping under a block.
void Rise(const TGrid& grid, TBubble& b) {
    const int64_t left = b.X, right = int64_t{b.X} + kBubbleSize;
    StepToward(b.Y, int64_t{b.Y} - kRise, [&](int32_t y) {
        const int64_t row = int64_t{y} - 1;
        return AnySolid(grid, left, right, row, row);
    });
}

// Flying sideways and slowing down by 5 a frame, blocked or not; at rest, a rare drift.
void MoveSideways(TMainForm& f, TBubble& b) {
    const bool right = (b.SpeedX > 0 && b.BurstStep == 0) || (b.SpeedX == 0 && f.Chance(50));
    const bool left = !right && ((b.SpeedX < 0 && b.BurstStep == 0) || (b.SpeedX == 0 && f.Chance(50)));
    const int64_t top = b.Y, bottom = int64_t{b.Y} + kBubbleSize;
    if (right) {
        StepToward(b.X, int64_t{b.X} + (b.SpeedX != 0 ? b.SpeedX : 1), [&](int32_t x) {
            const int64_t col = int64_t{x} + kBubbleSize + 1;
            return AnySolid(f.Grid, col, col, top, bottom);
        });
        b.SpeedX = std::max(b.SpeedX - kSlowDown, 0);
    } else if (left) {
        StepToward(b.X, int64_t{b.X} + (b.SpeedX != 0 ? b.SpeedX : -1), [&](int32_t x) {
            const int64_t col = int64_t{x} - 1;
            return AnySolid(f.Grid, col, col, top, bottom);
        });
        b.SpeedX = std::min(b.SpeedX + kSlowDown, 0);
    }
}

// Pass B, first bubble to last.
void FlyPass(TMainForm& f) {
    f.Bubbles->Rewind();
    while (f.Bubbles->Next()) {
        TBubble& b = *f.Bubbles->Current();
        DrawBubble(f, b);
        if (b.SpeedX != 0 && !b.HasEnemy && b.BurstStep == 0) Trap(f, b);
        if (b.SpeedX == 0 && b.BurstStep == 0) Rise(f.Grid, b);
        MoveSideways(f, b);
    }
}

}  // namespace

void TMainForm::BubblePhase() {
    if (!Enemies) return;  // made together with Bubbles at start-up
    // The editor may delete enemies or empty the list while bubbles hold them by index;
    // a bubble whose index no longer names a record counts as empty from then on.
    for (int32_t i = 0; i < Bubbles->Count; ++i) {
        TBubble& b = (*Bubbles)[i];
        if (b.HasEnemy && (b.EnemyIndex < 0 || b.EnemyIndex >= Enemies->Count)) b.HasEnemy = 0;
    }
    BurstPass(*this);
    FlyPass(*this);
}

}  // namespace blubbi
