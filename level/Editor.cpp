// The level editor: painting cells with the mouse, placing and removing enemies, file commands.
#include <cstring>

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
        if (!History.Open) History.Open.emplace();  // the press and the drag after it are one step
        if (CellAt(*this, x, y, col, row)) {
            SetCell(CellIndex(col, row), button == TMouseButton::mbLeft ? 1 : 0);
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
                TEditStep step;
                step.EnemyChange = TEditStep::TEnemies::Removed;
                step.EnemyIndex = index;
                step.Before.push_back(e);
                Enemies->Delete(index);
                ForgetEnemy(index);
                PushEditStep(std::move(step));
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
    TEditStep step;
    step.EnemyChange = TEditStep::TEnemies::Added;
    step.EnemyIndex = Enemies->Count - 1;
    step.After.push_back(*e);
    PushEditStep(std::move(step));
}

void TMainForm::PaintBox1MouseMove(int32_t x, int32_t y) {
    if (!CellDragActive) return;
    PlacePlayField(Platform.PaintBoxWidth(), Platform.PaintBoxHeight());
    int32_t col, row;
    if (!CellAt(*this, x, y, col, row)) return;
    SetCell(CellIndex(col, row), static_cast<uint8_t>(CellDragValue));
    PaintBox1Paint();
}

void TMainForm::PaintBox1MouseUp(TMouseButton, int32_t, int32_t) {
    CellDragActive = 0;
    CloseEditStep();
}

void TMainForm::Editormodus1Click() { EditorMode = !EditorMode; }

void TMainForm::SetInsertKind(int32_t kind) { InsertKind = kind; }

void TMainForm::NewBtnClick() {
    if (!MayDropLevel()) return;
    TEditStep step;
    for (int32_t col = 0; col < kCols; ++col)
        for (int32_t row = 0; row < kRows; ++row) {
            const uint8_t value = (col == 0 || col == kCols - 1 || row == 0 || row == kRows - 1) ? 1 : 0;
            step.SetCell(CellIndex(col, row), Grid[CellIndex(col, row)], value);
            Grid[CellIndex(col, row)] = value;
        }
    if (Enemies) {
        step.EnemyChange = TEditStep::TEnemies::Replaced;
        for (int32_t i = 0; i < Enemies->Count; ++i) step.Before.push_back((*Enemies)[i]);
        Enemies->Clear();
    }
    PushEditStep(std::move(step));
    // A new level is what was last loaded: untouched it is not changed work, and undoing back to
    // the one before brings that back as changed.
    History.MarkSaved();
    LevelName.clear();
    PaintBox1Paint();
}

void TMainForm::SetCell(size_t index, uint8_t value) {
    if (!History.Open) History.Open.emplace();
    History.Open->SetCell(index, Grid[index], value);
    Grid[index] = value;
    Platform.RecoveryDue();
}

void TMainForm::CloseEditStep() {
    if (!History.Open) return;
    TEditStep step = std::move(*History.Open);
    History.Open.reset();
    History.Push(std::move(step));
}

void TMainForm::PushEditStep(TEditStep step) {
    CloseEditStep();
    History.Push(std::move(step));
    Platform.RecoveryDue();
}

// Puts a record back at its place; the bubbles holding later records follow them up.
void TMainForm::InsertEnemy(int32_t index, const TEnemy& record) {
    if (!Enemies || index < 0 || index > Enemies->Count || !Enemies->Append()) return;
    auto* first = &(*Enemies)[0];
    std::memmove(first + index + 1, first + index, static_cast<size_t>(Enemies->Count - 1 - index) * sizeof(TEnemy));
    first[index] = record;
    Enemies->Unselect();
    if (!Bubbles) return;
    for (int32_t i = 0; i < Bubbles->Count; ++i) {
        TBubble& b = (*Bubbles)[i];
        if (b.HasEnemy && b.EnemyIndex >= index) ++b.EnemyIndex;
    }
}

void TMainForm::ApplyEditStep(const TEditStep& step, bool forward) {
    for (const auto& cell : step.Cells) Grid[cell.Index] = forward ? cell.After : cell.Before;
    const std::vector<TEnemy>& records = forward ? step.After : step.Before;
    using TChange = TEditStep::TEnemies;
    if (!Enemies) return;
    if (step.EnemyChange == (forward ? TChange::Added : TChange::Removed)) {
        InsertEnemy(step.EnemyIndex, records.front());
    } else if (step.EnemyChange == (forward ? TChange::Removed : TChange::Added)) {
        if (step.EnemyIndex < Enemies->Count) {
            Enemies->Delete(step.EnemyIndex);
            ForgetEnemy(step.EnemyIndex);
        }
    } else if (step.EnemyChange == TChange::Replaced) {
        Enemies->Clear();
        const auto count = static_cast<int32_t>(records.size());
        if (TEnemy* e = count > 0 ? Enemies->AppendMany(count) : nullptr) std::copy(records.begin(), records.end(), e);
        // The bubbles' enemies were of the list that is gone.
        if (Bubbles)
            for (int32_t i = 0; i < Bubbles->Count; ++i) (*Bubbles)[i].HasEnemy = 0;
    }
    // Like a placed enemy, the change shows with the next frame: a thousand undone steps cost no frame.
}

void TMainForm::Rckgngig1Click() {
    CloseEditStep();
    if (const TEditStep* step = History.Undo()) ApplyEditStep(*step, false);
    Platform.RecoveryDue();
}

void TMainForm::Wiederherstellen1Click() {
    CloseEditStep();
    if (const TEditStep* step = History.Redo()) ApplyEditStep(*step, true);
    Platform.RecoveryDue();
}

void TMainForm::OpenBtnClick() {
    if (!MayDropLevel()) return;
    std::string fileName;
    if (Platform.OpenLevelDialog(fileName) && OpenLevel(fileName)) Platform.LevelFileUsed(fileName);
}

void TMainForm::SaveBtnClick() {
    std::string fileName;
    if (Platform.SaveLevelDialog(fileName)) SaveLevel(fileName);
}

}  // namespace blubbi
