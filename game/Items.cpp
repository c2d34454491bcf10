// Items: falling, animation, collecting for points.
#include "game/MainForm.h"

namespace blubbi {

void TMainForm::ItemPhase() {}

}  // namespace blubbi
