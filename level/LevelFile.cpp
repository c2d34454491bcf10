// Level files: reading and safely writing the .lev layout.
#include "game/MainForm.h"

namespace blubbi {

void TMainForm::OpenLevel(const std::string&) {}
bool TMainForm::SaveLevel(const std::string&) { return false; }

}  // namespace blubbi
