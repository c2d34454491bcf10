// Hits and lives: the hit sequence, respawn at the start position, protection and its blink.
#include "game/MainForm.h"

namespace blubbi {

namespace {
constexpr int32_t kRespawnAt = 20;   // HitTimer value at which the player comes back
constexpr int32_t kBlinkUntil = 15;  // drawn in the odd frames before this, then hidden
constexpr uint32_t kProtectionMs = 2000;
}  // namespace

// Measured as elapsed time, so the tick counter wrapping round does not end it early.
bool TMainForm::Protected() { return LastHitTick != 0 && Now() - LastHitTick <= kProtectionMs; }

bool TMainForm::PlayerPhase() {
    if (HitTimer > 0) {
        ++HitTimer;
        if (HitTimer >= kRespawnAt) {
            HitTimer = 0;
            PlayerX = StartX;
            PlayerY = StartY;
            --Lives;
            LastHitTick = Now();
            // VelY is kept on purpose: a player hit in mid-air comes back still falling.
            if (Lives == 0) {
                GameOverNow();
                return false;
            }
        }
        if (HitTimer % 2 == 1 && HitTimer < kBlinkUntil) DrawPlayer();
        return true;
    }
    if (!Protected()) {
        DrawPlayer();
    } else {
        // Wraps instead of overflowing; only its lowest bit matters.
        BlinkCounter = static_cast<int32_t>(static_cast<uint32_t>(BlinkCounter) + 1u);
        if (BlinkCounter & 1) DrawPlayer();
    }
    return true;
}

}  // namespace blubbi
