// The editor's undo history.
#include "game/EditHistory.h"

#include <algorithm>

namespace blubbi {

size_t TEditStep::Bytes() const {
    return sizeof(TEditStep) + Cells.capacity() * sizeof(TCell) +
           (Before.capacity() + After.capacity()) * sizeof(TEnemy);
}

void TEditStep::SetCell(size_t index, uint8_t before, uint8_t after) {
    const auto same = std::find_if(Cells.begin(), Cells.end(), [index](const TCell& c) { return c.Index == index; });
    if (same != Cells.end())
        same->After = after;
    else if (before != after)
        Cells.push_back({index, before, after});
}

void TEditHistory::Clear() {
    Steps.clear();
    Open.reset();
    Done = 0;
    Dropped = 0;
    Bytes = 0;
    SavedAt = 0;
}

void TEditHistory::Push(TEditStep step) {
    // A cell painted and painted back within one drag changed nothing.
    std::erase_if(step.Cells, [](const TEditStep::TCell& c) { return c.Before == c.After; });
    if (step.Empty()) return;
    while (Steps.size() > Done) {
        Bytes -= Steps.back().Bytes();
        Steps.pop_back();
    }
    if (SavedAt && *SavedAt > Position()) SavedAt.reset();
    Bytes += step.Bytes();
    Steps.push_back(std::move(step));
    ++Done;
    while (Steps.size() > 1 && (Steps.size() > kMaxSteps || Bytes > kMaxBytes)) {
        Bytes -= Steps.front().Bytes();
        Steps.pop_front();
        --Done;
        ++Dropped;
    }
    if (SavedAt && *SavedAt < Dropped) SavedAt.reset();
}

const TEditStep* TEditHistory::Undo() {
    if (Done == 0) return nullptr;
    return &Steps[--Done];
}

const TEditStep* TEditHistory::Redo() {
    if (!CanRedo()) return nullptr;
    return &Steps[Done++];
}

}  // namespace blubbi
