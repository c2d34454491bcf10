// The level editor: mouse painting of cells, placing and removing enemies, file commands.
#include "game/MainForm.h"

namespace blubbi {

void TMainForm::PaintBox1MouseDown(TMouseButton, int32_t, int32_t) {}
void TMainForm::PaintBox1MouseMove(int32_t, int32_t) {}
void TMainForm::PaintBox1MouseUp(TMouseButton, int32_t, int32_t) {}
void TMainForm::Editormodus1Click() {}
void TMainForm::NewBtnClick() {}
void TMainForm::OpenBtnClick() {}
void TMainForm::SaveBtnClick() {}
void TMainForm::SetInsertKind(int32_t) {}

}  // namespace blubbi
