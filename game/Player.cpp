// The player: key flags, walking, turning, spitting bubbles, jumping, vertical movement, drawing.
#include "game/Player.h"

#include "game/MainForm.h"

namespace blubbi {

namespace {
constexpr int32_t kWalkStep = 10;
constexpr int32_t kJumpSpeed = -21;
constexpr uint32_t kFireRepeatMs = 500;
constexpr int32_t kBubbleSpeed = 25;
constexpr int32_t kWalkFrames = 4;

// One walking step of up to 10 pixels, stopped by a wall; returns whether it went unblocked.
bool WalkStep(const TGrid& grid, int32_t& x, int32_t y, bool toLeft) {
    const int64_t wallTop = int64_t{y} + kWallTop, wallBottom = int64_t{y} + kPlayerH;
    // The column probed lies just beside the box on the side it walks to.
    const int64_t probe = toLeft ? -1 : kPlayerW + 1;
    const int64_t target = toLeft ? int64_t{x} - kWalkStep : int64_t{x} + kWalkStep;
    return !StepToward(x, target, [&](int32_t at) {
        const int64_t col = int64_t{at} + probe;
        return AnySolid(grid, col, col, wallTop, wallBottom);
    });
}
}  // namespace

bool PlayerWalk(const TGrid& grid, int32_t& x, int32_t y, uint8_t& facingLeft, bool left, bool right) {
    bool walked = false;
    if (left) {
        if (!facingLeft)
            facingLeft = 1;
        else
            walked = WalkStep(grid, x, y, true) || walked;
    }
    if (right) {
        if (facingLeft)
            facingLeft = 0;
        else
            walked = WalkStep(grid, x, y, false) || walked;
    }
    return walked;
}

bool PlayerJump(bool key, bool onGround, int32_t& velY) {
    if (!key || !onGround) return false;
    velY = kJumpSpeed;
    return true;
}

void PlayerFall(const TGrid& grid, int32_t x, int32_t& y, int32_t& velY, uint8_t& onGround, bool frozen) {
    velY = AddSaturated(velY, kGravity);  // also while hit: the frozen player gathers speed
    if (!frozen) {
        const TVerticalResult r =
            VerticalSteps(grid, y, velY, kPlayerH + 1, int64_t{x} + kFootLeft, int64_t{x} + kFootRight);
        y = r.Y;
        onGround = r.Stands ? 1 : 0;
    }
    // Out at the bottom, back in above the top edge of the same columns.
    if (FellOut(y, kPlayerH + 1)) {
        y = -(kPlayerH);
        velY = 0;
    }
    if (onGround && velY > 0) velY = 0;
}

void TMainForm::FormKeyDown(int32_t key) {
    if (key == VK_SPACE)
        KeyFire = 1;
    else if (key == VK_UP)
        KeyJump = 1;
    else if (key == VK_LEFT)
        KeyLeft = 1;
    else if (key == VK_RIGHT)
        KeyRight = 1;
}

void TMainForm::FormKeyUp(int32_t key) {
    if (key == VK_LEFT)
        KeyLeft = 0;
    else if (key == VK_RIGHT)
        KeyRight = 0;
    else if (key == VK_SPACE) {
        KeyFire = 0;
        LastFireTick = 0;  // each new press spits at once
    } else if (key == VK_UP)
        KeyJump = 0;
}

void TMainForm::InputPhase() {
    if (PlayerWalk(Grid, PlayerX, PlayerY, FacingLeft, KeyLeft != 0, KeyRight != 0)) Walking = 1;

    if (KeyFire && (LastFireTick == 0 || Now() - LastFireTick >= kFireRepeatMs)) {
        const uint32_t now = Now();
        if (TBubble* b = Bubbles ? Bubbles->Append() : nullptr) {
            b->HasEnemy = 0;
            b->SpawnTick = now;
            b->BurstStep = 0;
            // Right beside the box on the side it faces, never overlapping it.
            if (FacingLeft) {
                b->X = Clamp32(int64_t{PlayerX} - (kBubbleSize + 1));
                b->SpeedX = -kBubbleSpeed;
            } else {
                b->X = Clamp32(int64_t{PlayerX} + kPlayerW + 1);
                b->SpeedX = kBubbleSpeed;
            }
            b->Y = PlayerY;
            PlayCue(TCue::Blasen);
        }
        // Also after a failed append, so a held key does not ask for memory every frame.
        LastFireTick = now;
    }

    if (PlayerJump(KeyJump != 0, OnGround != 0, VelY)) PlayCue(TCue::Springen);

    if (Walking) {
        ++WalkFrame;
        if (WalkFrame >= kWalkFrames || WalkFrame < 0) WalkFrame = 0;
    }
}

void TMainForm::VerticalMovement() { PlayerFall(Grid, PlayerX, PlayerY, VelY, OnGround, HitTimer != 0); }

void TMainForm::DrawPlayer() {
    if (!BackBuffer) return;
    const int frame = (WalkFrame >= 0 && WalkFrame < kWalkFrames) ? WalkFrame : 0;
    BackBuffer->DrawSprite(Sheets[kSlotLaufe2], ToPicture(PlayFieldX, PlayerX), ToPicture(PlayFieldY, PlayerY),
                           FacingLeft != 0, frame, kWalkFrames, false);
}

}  // namespace blubbi
