// Items left by popped enemies: their animation, their fall onto block tops, and collecting them.
#include "game/MainForm.h"

namespace blubbi {

namespace {
constexpr int32_t kItemFrames = 10;
constexpr int32_t kItemPoints = 20;
constexpr int32_t kFootWidth = 32;  // the footing is columns X .. X + 32
}  // namespace

void TMainForm::ItemPhase() {
    Items->Rewind();
    while (Items->Next()) {
        TItem& item = *Items->Current();
        if (item.Collected) continue;

        // Drawn where it was before this frame's fall.
        if (item.Frame < 0 || item.Frame >= kItemFrames) item.Frame = 0;
        if (BackBuffer)
            BackBuffer->DrawSpriteRow(Sheets[kSlotItem], ToPicture(PlayFieldX, item.X), ToPicture(PlayFieldY, item.Y),
                                      kItemFrames, item.Frame);
        if (++item.Frame == kItemFrames) item.Frame = 0;

        item.SpeedY = AddSaturated(item.SpeedY, kGravity);
        const TVerticalResult fall =
            VerticalSteps(Grid, item.Y, item.SpeedY, kItemSize + 1, item.X, int64_t{item.X} + kFootWidth);
        item.Y = fall.Y;
        // An item over a column without a block top falls round and round for ever.
        if (FellOut(item.Y, kItemSize + 1)) {
            item.Y = -(kItemSize + 1);
            item.SpeedY = 0;
        }
        if (!fall.Stands) continue;  // a falling item can't be taken
        item.SpeedY = 0;

        // Collecting asks nothing of the player's state: frozen by a hit or in the editor it collects too.
        if (Meet(PlayerBox(), {item.X, item.Y, kItemSize, kItemSize})) {
            item.Collected = 1;
            Score = AddSaturated(Score, kItemPoints);
            PlayCue(TCue::Sammeln);
        }
    }
}

}  // namespace blubbi
