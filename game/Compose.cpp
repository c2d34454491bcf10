// Frame composition: background, grid, status texts, lives row and the slide.
#include "game/MainForm.h"

namespace blubbi {

void TMainForm::NewBackBuffer() {}
void TMainForm::DrawGrid() {}
void TMainForm::DrawStatus() {}
void TMainForm::PresentPicture() {}

}  // namespace blubbi
