// The player: key flags, walking, turning, spitting bubbles, jumping, vertical movement, drawing.
#include "game/Geometry.h"

namespace blubbi {

namespace {
constexpr int32_t kWalkStep = 10;
constexpr int32_t kJumpSpeed = -21;
constexpr int32_t kGravity = 2;
constexpr uint32_t kFireRepeatMs = 500;
constexpr int32_t kBubbleSpeed = 25;
constexpr int32_t kWalkFrames = 4;
// Walls meet only the lower 24 rows of the box; the feet are the middle 29 columns.
constexpr int32_t kWallTop = 22;
constexpr int32_t kFootLeft = 6, kFootRight = 34;
constexpr int32_t kFallOutY = 372;  // (y + 46) div 19 > 21
}  // namespace

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
    const int64_t wallTop = int64_t{PlayerY} + kWallTop, wallBottom = int64_t{PlayerY} + kPlayerH;

    // Left before right: holding both turns the player twice a frame, so it ends facing right.
    if (KeyLeft) {
        if (!FacingLeft) {
            FacingLeft = 1;  // a turn takes the whole step
        } else {
            const bool blocked = StepToward(PlayerX, int64_t{PlayerX} - kWalkStep, [&](int32_t x) {
                return AnySolid(*this, int64_t{x} - 1, int64_t{x} - 1, wallTop, wallBottom);
            });
            if (!blocked) Walking = 1;
        }
    }
    if (KeyRight) {
        if (FacingLeft) {
            FacingLeft = 0;
        } else {
            const bool blocked = StepToward(PlayerX, int64_t{PlayerX} + kWalkStep, [&](int32_t x) {
                return AnySolid(*this, int64_t{x} + kPlayerW + 1, int64_t{x} + kPlayerW + 1, wallTop, wallBottom);
            });
            if (!blocked) Walking = 1;
        }
    }

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
            PlayCue("blasen");
        }
        // Also after a failed append, so a held key does not ask for memory every frame.
        LastFireTick = now;
    }

    // OnGround is what the previous frame's vertical movement left.
    if (KeyJump && OnGround) {
        VelY = kJumpSpeed;
        PlayCue("springen");
    }

    if (Walking) {
        ++WalkFrame;
        if (WalkFrame >= kWalkFrames || WalkFrame < 0) WalkFrame = 0;
    }
}

void TMainForm::VerticalMovement() {
    VelY = AddSaturated(VelY, kGravity);  // also while hit: the frozen player gathers speed
    if (HitTimer == 0) {
        const TVerticalResult r = VerticalSteps(*this, PlayerY, VelY, kPlayerH + 1, int64_t{PlayerX} + kFootLeft,
                                                int64_t{PlayerX} + kFootRight);
        PlayerY = r.Y;
        OnGround = r.Stands ? 1 : 0;
    }
    // Out at the bottom, back in above the top edge of the same columns.
    if (PlayerY >= kFallOutY) {
        PlayerY = -(kPlayerH);
        VelY = 0;
    }
    if (OnGround && VelY > 0) VelY = 0;
}

void TMainForm::DrawPlayer() {
    if (!BackBuffer) return;
    const int frame = (WalkFrame >= 0 && WalkFrame < kWalkFrames) ? WalkFrame : 0;
    BackBuffer->DrawSprite(Sheets[kSlotLaufe2], ToPicture(PlayFieldX, PlayerX), ToPicture(PlayFieldY, PlayerY),
                           FacingLeft != 0, frame, kWalkFrames, false);
}

}  // namespace blubbi
