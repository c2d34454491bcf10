// Frame composition: background, grid, status texts, lives row and the level-start slide.
#include <string>

#include "game/MainForm.h"

namespace blubbi {

namespace {
constexpr TColor kBackground = RGB(128, 0, 0);
constexpr int32_t kLifeSpacing = 22, kLifeRow = 361;
}  // namespace

void TMainForm::NewBackBuffer() {
    const int32_t width = Platform.PaintBoxWidth(), height = Platform.PaintBoxHeight();
    BackBuffer = Platform.NewPicture(width, height);
    // Dark red with a one-pixel black edge; a field as large as the box covers the edge.
    BackBuffer->Rectangle(0, 0, width, height, clBlack, kBackground);
    PlacePlayField(width, height);
}

void TMainForm::PlacePlayField(int32_t boxWidth, int32_t boxHeight) {
    // Truncating division: a box smaller than the field cuts the field at both edges.
    PlayFieldX = (boxWidth - kFieldWidth) / 2;
    PlayFieldY = (boxHeight - kFieldHeight) / 2;
}

void TMainForm::DrawGrid() {
    if (!BackBuffer) return;
    const TDib& block = Sheets[kSlotStein1];
    for (int32_t col = 0; col < kCols; ++col) {
        for (int32_t row = 0; row < kRows; ++row) {
            const int32_t x = PlayFieldX + col * kCell, y = PlayFieldY + row * kCell;
            if (Grid[CellIndex(col, row)] == 1) {
                BackBuffer->StretchDrawDib(x, y, kCell, kCell, block, 0, 0, block.Width, block.Height);
            } else {
                // Any other value is drawn as free, whatever the movement rules make of it.
                BackBuffer->Rectangle(x, y, x + kCell, y + kCell, clBlack, clBlack);
            }
        }
    }
}

void TMainForm::DrawStatus(bool withLevelNo) {
    if (!BackBuffer) return;
    // White text with a black copy down-right and another up-left, so it reads on any block.
    const struct {
        int32_t X;
        const char* Label;
        int32_t Value;
        bool Shown;
    } texts[] = {{8, "Level: ", LevelNo, withLevelNo}, {108, "Punkte: ", Score, true}};
    for (const auto& t : texts) {
        if (!t.Shown) continue;
        const std::string text = t.Label + std::to_string(t.Value);
        BackBuffer->TextOut(PlayFieldX + t.X + 3, PlayFieldY + 3, text, clBlack);
        BackBuffer->TextOut(PlayFieldX + t.X, PlayFieldY + 0, text, clBlack);
        BackBuffer->TextOut(PlayFieldX + t.X + 1, PlayFieldY + 1, text, clWhite);
    }
    const int64_t width = BackBuffer->Width();
    for (int32_t i = 0; i < Lives; ++i) {
        const int64_t x = int64_t{PlayFieldX} + int64_t{i} * kLifeSpacing;
        if (x >= width) break;  // the rest would land beyond the right edge
        BackBuffer->DrawSprite(Sheets[kSlotLeben], static_cast<int>(x), PlayFieldY + kLifeRow, false, 0, 1, false);
    }
}

void TMainForm::ComposeLoadedLevel(bool withLevelNo) {
    if (!Sheets[kSlotStein1].Bits) return;  // as in a frame: no block sheet, no picture
    NewBackBuffer();
    DrawGrid();
    if (Enemies) DrawEnemies();
    DrawPlayer();
    DrawStatus(withLevelNo);
}

void TMainForm::PresentPicture() {
    if (TransitionCounter > 0) {
        // The new level's picture rises from below, pushing the last one out at the top.
        if (BackBuffer) {
            const int32_t width = BackBuffer->Width(), height = BackBuffer->Height();
            const int32_t shift = static_cast<int32_t>(int64_t{height} * TransitionCounter / 100);
            Platform.Present(*BackBuffer, 0, shift);
            if (PrevPicture) {
                Platform.Present(*PrevPicture, 0,
                                 static_cast<int32_t>(int64_t{height} * (TransitionCounter - 100) / 100));
            } else {
                Platform.PaintBoxRectangle(0, 0, width, shift, clBlack);
            }
        }
        // Counted down even without a picture, so the game cannot stay frozen in a slide.
        TransitionCounter -= 2;
        if (TransitionCounter <= 0) {
            TransitionCounter = 0;
            BackBuffer.reset();
        }
        return;
    }
    if (!BackBuffer) return;
    Platform.Present(*BackBuffer, 0, 0);
    PrevPicture = std::move(BackBuffer);
}

}  // namespace blubbi
