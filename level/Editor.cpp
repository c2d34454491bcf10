// The level editor: painting cells with the mouse, placing and removing enemies, file commands.
#include "game/EnemyKinds.h"

namespace blubbi {

// The cell under a paint-box point, or false when the point lies outside the field.
static bool CellAt(const TMainForm& f, int32_t x, int32_t y, int32_t& col, int32_t& row) {
    const int64_t dx = int64_t(x) - f.PlayFieldX, dy = int64_t(y) - f.PlayFieldY;
    if (dx < 0 || dy < 0 || dx >= kFieldWidth || dy >= kFieldHeight) return false;
    col = static_cast<int32_t>(dx / kCell);
    row = static_cast<int32_t>(dy / kCell);
    return true;
}

// Bubbles hold their enemy by its place in the list. After a deletion the later records sit
// one place lower, so the bubbles follow them; a bubble whose own enemy went is empty from
// now on, and no other enemy is left trapped without a bubble.
void TMainForm::ForgetEnemy(int32_t index) {
    if (!Bubbles) return;
    for (int32_t i = 0; i < Bubbles->Count; ++i) {
        TBubble& b = (*Bubbles)[i];
        if (!b.HasEnemy) continue;
        if (b.EnemyIndex == index)
            b.HasEnemy = 0;
        else if (b.EnemyIndex > index)
            --b.EnemyIndex;
    }
}

void TMainForm::PaintBox1MouseDown(TMouseButton button, int32_t x, int32_t y) {
    if (!EditorMode) return;
    PlacePlayField(Platform.PaintBoxWidth(), Platform.PaintBoxHeight());
    if (InsertKind <= 0) {
        int32_t col, row;
        if (CellAt(*this, x, y, col, row)) {
            Grid[CellIndex(col, row)] = button == TMouseButton::mbLeft ? 1 : 0;
            CellDragValue = Grid[CellIndex(col, row)];
            PaintBox1Paint();
        }
        // A press beside the field still starts a drag.
        CellDragActive = 1;
        return;
    }
    if (!Enemies) return;
    if (button != TMouseButton::mbLeft) {
        Enemies->Rewind();
        while (Enemies->Next()) {
            const TEnemy& e = *Enemies->Current();
            const int64_t left = int64_t(e.X) + PlayFieldX, top = int64_t(e.Y) + PlayFieldY;
            if (left <= x && x <= left + e.Width && top <= y && y <= top + e.Height) {
                const int32_t index = Enemies->Cursor - 1;
                Enemies->Delete(index);
                ForgetEnemy(index);
                break;
            }
        }
        return;
    }
    const TEnemyKind* kind = KindOf(InsertKind - 1);
    if (!kind) return;
    TEnemy* e = Enemies->Append();
    if (!e) return;
    e->Trapped = 0;
    e->Removed = 0;
    e->Kind = InsertKind - 1;
    e->X = static_cast<int32_t>(int64_t(x) - PlayFieldX);
    e->Y = static_cast<int32_t>(int64_t(y) - PlayFieldY);
    e->AnimCounter = 0;
    e->Width = kind->Width;
    e->Height = kind->Height;
}

void TMainForm::PaintBox1MouseMove(int32_t x, int32_t y) {
    if (!CellDragActive) return;
    PlacePlayField(Platform.PaintBoxWidth(), Platform.PaintBoxHeight());
    int32_t col, row;
    if (!CellAt(*this, x, y, col, row)) return;
    Grid[CellIndex(col, row)] = static_cast<uint8_t>(CellDragValue);
    PaintBox1Paint();
}

void TMainForm::PaintBox1MouseUp(TMouseButton, int32_t, int32_t) { CellDragActive = 0; }

void TMainForm::Editormodus1Click() { EditorMode = !EditorMode; }

void TMainForm::SetInsertKind(int32_t kind) { InsertKind = kind; }

void TMainForm::NewBtnClick() {
    for (int32_t col = 0; col < kCols; ++col)
        for (int32_t row = 0; row < kRows; ++row)
            Grid[CellIndex(col, row)] = (col == 0 || col == kCols - 1 || row == 0 || row == kRows - 1) ? 1 : 0;
    if (Enemies) Enemies->Clear();
    PaintBox1Paint();
}

void TMainForm::OpenBtnClick() {
    std::string fileName;
    if (Platform.OpenLevelDialog(fileName)) OpenLevel(fileName);
}

void TMainForm::SaveBtnClick() {
    std::string fileName;
    if (Platform.SaveLevelDialog(fileName)) SaveLevel(fileName);
}

}  // namespace blubbi
