// The enemy phase: how each of the four kinds moves and is drawn, and their touch on the player.
#include "game/EnemyKinds.h"
#include "game/Geometry.h"

namespace blubbi {

namespace {

// Walkers and the "Feder" are held inside the field's border column on either side.
constexpr int32_t kLeftLimit = 19, kRightLimit = 456;
// The "Geist" stays two cells inside the right and bottom edges, one inside the others.
constexpr int32_t kGeistLeft = 19, kGeistTop = 19, kGeistRight = 437, kGeistBottom = 342;
constexpr int32_t kGeistStep = 4;
constexpr int32_t kFederStep = 4, kFederBounce = -20;

// Directions: the "Feder" uses 0 right / 1 left, every other kind 0 left / 1 none / 2 right.
constexpr int32_t kFederRight = 0, kFederLeft = 1;
constexpr int32_t kLeft = 0, kRight = 2;
constexpr int32_t kUp = 0, kDown = 2;

// The two walkers differ only in these numbers.
struct TWalker {
    int32_t Step;             // pixels per frame
    int32_t JumpSpeed;        // upward speed of any jump
    int32_t JumpChance;       // a random jump when Chance(JumpChance) fires
    int32_t JumpsBeforeTurn;  // jumps at blocked steps before it turns back
    bool ChangeClearsJumps;   // a random change of direction also forgets the jumps
};
constexpr TWalker kBlauesMaennelRules{3, -19, 75, 2, false};
constexpr TWalker kRotesMonsterRules{2, -20, 50, 4, true};

// The frame to show for the animation counter; a counter brought in from a file outside
// its cycle starts the cycle again rather than naming a frame the sheet does not have.
int AnimFrame(TEnemy& e, const TEnemyKind& look) {
    if (e.AnimCounter < 0 || e.AnimCounter >= look.AnimCycle) e.AnimCounter = 0;
    return static_cast<int>(e.AnimCounter / 5);
}

void Animate(TEnemy& e, const TEnemyKind& look) {
    if (++e.AnimCounter >= look.AnimCycle) e.AnimCounter = 0;
}

void Draw(TMainForm& f, const TEnemy& e, const TEnemyKind& look, bool mirrored, int frame) {
    if (!f.BackBuffer) return;
    f.BackBuffer->DrawSprite(f.Sheets[look.Slot], ToPicture(f.PlayFieldX, e.X), ToPicture(f.PlayFieldY, e.Y), mirrored,
                             frame, look.Frames, false);
}

// An enemy as it stands, with no step: the "Feder" in its resting frame, the others in the
// frame of their animation counter, mirrored unless they face left.
void DrawAsItStands(TMainForm& f, TEnemy& e, const TEnemyKind& look) {
    if (e.Kind == kFeder)
        Draw(f, e, look, false, 0);
    else
        Draw(f, e, look, e.DirX != 0, AnimFrame(e, look));
}

// Gravity and the pixel steps; returns whether it stands. Up it goes through blocks, on purpose.
bool VerticalStep(const TGrid& grid, TEnemy& e, const TEnemyKind& look) {
    e.SpeedY = AddSaturated(e.SpeedY, kGravity);
    const TVerticalResult r = VerticalSteps(grid, e.Y, e.SpeedY, int64_t{e.Height} + 1, int64_t{e.X} + look.FootInset,
                                            int64_t{e.X} + e.Width - look.FootInset);
    e.Y = r.Y;
    if (FellOut(e.Y, int64_t{e.Height} + 1)) {
        e.Y = Clamp32(-int64_t{e.Height});  // back in above the top edge
        e.SpeedY = 0;
    }
    if (r.Stands && e.SpeedY > 0) e.SpeedY = 0;
    return r.Stands;
}

// Only the lower half of the box meets walls. Returns whether the step ended blocked.
bool SidewaysStep(const TGrid& grid, TEnemy& e, int32_t s, bool right) {
    const int64_t top = int64_t{e.Y} + e.Height / 2, bottom = int64_t{e.Y} + e.Height;
    if (right) {
        const int64_t width = e.Width;
        return StepToward(e.X, int64_t{e.X} + s, [&](int32_t x) {
            const int64_t col = int64_t{x} + width + 1;
            return AnySolid(grid, col, col, top, bottom);
        });
    }
    return StepToward(e.X, int64_t{e.X} - s, [&](int32_t x) {
        const int64_t col = int64_t{x} - 1;
        return AnySolid(grid, col, col, top, bottom);
    });
}

// Returns whether a new direction was picked.
bool RandomChange(TMainForm& f, TEnemy& e) {
    if (e.Timer > 0) {
        --e.Timer;
        return false;
    }
    if (!f.Chance(10)) return false;
    e.DirX = f.Random(3);
    e.Timer = 50 + f.Random(50);
    return true;
}

// Holds X inside [left, right - Width]; returns -1 when pushed back from the left, +1 from the right.
int HoldInside(TEnemy& e, int32_t left, int32_t right) {
    int pushed = 0;
    if (e.X < left) {
        e.X = left;
        pushed = -1;
    }
    if (int64_t{e.X} > int64_t{right} - e.Width) {
        e.X = Clamp32(int64_t{right} - e.Width);
        pushed = 1;
    }
    return pushed;
}

void MoveFeder(TMainForm& f, TEnemy& e, const TEnemyKind& look) {
    if (f.EditorMode) {
        DrawAsItStands(f, e, look);
        return;
    }
    const int pushed = HoldInside(e, kLeftLimit, kRightLimit);
    if (pushed < 0) e.DirX = kFederRight;
    if (pushed > 0) e.DirX = kFederLeft;
    const bool right = e.DirX == kFederRight;
    if (SidewaysStep(f.Grid, e, kFederStep, right)) e.DirX = right ? kFederLeft : kFederRight;
    // It bounces off every landing, including one met on the way up.
    const bool bounce = VerticalStep(f.Grid, e, look);
    if (bounce) {
        e.SpeedY = kFederBounce;
        f.PlayCue(TCue::Feder);
    }
    Draw(f, e, look, false, bounce ? 1 : 0);
}

// Two independent draws once its timer has run out: one may turn it sideways, the other up or down.
void GeistTurns(TMainForm& f, TEnemy& e) {
    if (e.Timer > 0) {
        --e.Timer;
        return;
    }
    if (f.Chance(10)) {
        e.DirX = f.Random(3);
        e.Timer = 50 + f.Random(50);
    }
    if (f.Chance(10)) {
        e.Aux = f.Random(3);
        e.Timer = 50 + f.Random(50);
    }
}

// It flies through blocks and is held only by its area, in this order.
void GeistFlies(TEnemy& e) {
    int64_t x = e.X, y = e.Y;
    if (e.DirX == kLeft) x -= kGeistStep;
    if (e.DirX == kRight) x += kGeistStep;
    if (e.Aux == kUp) y -= kGeistStep;
    if (e.Aux == kDown) y += kGeistStep;
    if (x < kGeistLeft) {
        x = kGeistLeft;
        e.DirX = kRight;
    }
    if (y < kGeistTop) {
        y = kGeistTop;
        e.Aux = kDown;
    }
    if (x > int64_t{kGeistRight} - e.Width) {
        x = int64_t{kGeistRight} - e.Width;
        e.DirX = kLeft;
    }
    if (y > int64_t{kGeistBottom} - e.Height) {
        y = int64_t{kGeistBottom} - e.Height;
        e.Aux = kUp;
    }
    e.X = Clamp32(x);
    e.Y = Clamp32(y);
}

void MoveGeist(TMainForm& f, TEnemy& e, const TEnemyKind& look) {
    if (!f.EditorMode) {
        GeistTurns(f, e);
        GeistFlies(e);
    }
    DrawAsItStands(f, e, look);
    Animate(e, look);
}

// A walker stopped by a wall jumps, or turns back once it has jumped often enough. The jump
// count carries from one obstacle to the next; only a turn clears it.
void MeetWall(TEnemy& e, const TWalker& rules, bool standing) {
    if (e.Aux >= rules.JumpsBeforeTurn) {
        e.Aux = 0;
        e.DirX = e.DirX == kLeft ? kRight : kLeft;
    } else if (standing) {
        e.SpeedY = rules.JumpSpeed;
        ++e.Aux;
    }
}

void MoveWalker(TMainForm& f, TEnemy& e, const TEnemyKind& look, const TWalker& rules) {
    // Falls in the editor too, so an enemy placed in the air drops onto the blocks.
    const bool standing = VerticalStep(f.Grid, e, look);
    if (!f.EditorMode) {
        if (RandomChange(f, e) && rules.ChangeClearsJumps) e.Aux = 0;
        if (f.Chance(rules.JumpChance) && standing) e.SpeedY = rules.JumpSpeed;
        const int pushed = HoldInside(e, kLeftLimit, kRightLimit);
        if (pushed < 0) e.DirX = kRight;
        if (pushed > 0) e.DirX = kLeft;
        if ((e.DirX == kLeft || e.DirX == kRight) && SidewaysStep(f.Grid, e, rules.Step, e.DirX == kRight))
            MeetWall(e, rules, standing);
    }
    DrawAsItStands(f, e, look);
    Animate(e, look);
}

// One hit per frame: once HitTimer is set, later enemies of the frame pass harmlessly.
void ContactTest(TMainForm& f, const TEnemy& e) {
    if (f.HitTimer != 0) return;
    if (!Meet({e.X, e.Y, e.Width, e.Height}, f.PlayerBox())) return;
    if (f.Protected() || f.EditorMode) return;
    f.HitTimer = 1;
    f.PlayCue(TCue::Getroffen);
}

}  // namespace

void TMainForm::EnemyPhase() {
    Enemies->Rewind();
    while (Enemies->Next()) {
        TEnemy& e = *Enemies->Current();
        if (e.Trapped || e.Removed) continue;
        // A kind no level should hold stands invisible where it is, but it still hurts.
        if (const TEnemyKind* look = KindOf(e.Kind)) {
            switch (e.Kind) {
                case kFeder: MoveFeder(*this, e, *look); break;
                case kGeist: MoveGeist(*this, e, *look); break;
                case kBlauesMaennel: MoveWalker(*this, e, *look, kBlauesMaennelRules); break;
                case kRotesMonster: MoveWalker(*this, e, *look, kRotesMonsterRules); break;
            }
        }
        ContactTest(*this, e);
    }
}

void TMainForm::DrawEnemies() {
    Enemies->Rewind();
    while (Enemies->Next()) {
        TEnemy& e = *Enemies->Current();
        if (e.Trapped || e.Removed) continue;
        if (const TEnemyKind* look = KindOf(e.Kind)) DrawAsItStands(*this, e, *look);
    }
}

}  // namespace blubbi
