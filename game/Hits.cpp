// Hits and lives: the hit sequence, respawn, protection and its blink.
#include "game/MainForm.h"

namespace blubbi {

bool TMainForm::PlayerPhase() { return true; }
bool TMainForm::Protected() { return false; }

}  // namespace blubbi
