// Bubbles: bursting, trapping, rising and drifting.
#include "game/MainForm.h"

namespace blubbi {

void TMainForm::BubblePhase() {}

}  // namespace blubbi
