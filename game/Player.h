// The player's moves on a bare grid: each frame of the game runs them, and so may anything that plays a level through.
#pragma once
#include <cstdint>

#include "game/Geometry.h"

namespace blubbi {

// Walking and turning for the held arrow keys, left before right: holding both turns the
// player twice a frame, so it ends facing right. A turn takes the whole step. Returns
// whether a step went unblocked.
bool PlayerWalk(const TGrid& grid, int32_t& x, int32_t y, uint8_t& facingLeft, bool left, bool right);

// A jump starts only from the ground the previous frame's vertical movement left; returns whether it did.
bool PlayerJump(bool key, bool onGround, int32_t& velY);

// Gravity, the vertical pixel steps and falling out at the bottom. A frozen (hit) player
// only gathers speed.
void PlayerFall(const TGrid& grid, int32_t x, int32_t& y, int32_t& velY, uint8_t& onGround, bool frozen);

}  // namespace blubbi
