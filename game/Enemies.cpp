// The four enemy kinds: movement, drawing and the contact test.
#include "game/MainForm.h"

namespace blubbi {

void TMainForm::EnemyPhase() {}

}  // namespace blubbi
