// The player: key flags, walking, spitting, jumping, vertical movement, drawing.
#include "game/MainForm.h"

namespace blubbi {

void TMainForm::FormKeyDown(int32_t) {}
void TMainForm::FormKeyUp(int32_t) {}
void TMainForm::InputPhase() {}
void TMainForm::VerticalMovement() {}
void TMainForm::DrawPlayer() {}

}  // namespace blubbi
