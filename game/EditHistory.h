// The editor's changes to a level, step by step, so that each can be taken back and brought
// again, and whether the level differs from what was last loaded or saved.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "game/Records.h"

namespace blubbi {

struct TEditStep {
    struct TCell {
        size_t Index;
        uint8_t Before, After;
    };
    enum class TEnemies : uint8_t { Same, Added, Removed, Replaced };

    std::vector<TCell> Cells;  // each cell once, with its value before the step and after it
    TEnemies EnemyChange = TEnemies::Same;
    int32_t EnemyIndex = 0;  // the record added or removed
    // Added: After holds the record; Removed: Before does; Replaced: the whole lists.
    std::vector<TEnemy> Before, After;

    bool Empty() const { return Cells.empty() && EnemyChange == TEnemies::Same; }
    size_t Bytes() const;
    // Records a cell's change: its first value before the step is kept.
    void SetCell(size_t index, uint8_t before, uint8_t after);
};

class TEditHistory {
public:
    // Steps are dropped oldest first beyond both: far more than a session of painting makes,
    // and a bound however large the levels are.
    static constexpr size_t kMaxSteps = 10000;
    static constexpr size_t kMaxBytes = size_t{32} << 20;

    // A level was loaded: nothing to undo, and the level as it is counts as unchanged.
    void Clear();
    // A finished step; the steps that could have been redone are gone.
    void Push(TEditStep step);
    // A drag still open counts: undoing closes it first.
    bool CanUndo() const { return Done > 0 || Dragging(); }
    bool CanRedo() const { return Done < Steps.size(); }
    // The step to take back or bring again, the position moved; null when there is none.
    const TEditStep* Undo();
    const TEditStep* Redo();

    void MarkSaved() { SavedAt = Position(); }
    // The level as it is differs from every saved one (work brought back after a crash).
    void MarkUnsaved() { SavedAt.reset(); }
    // The level differs from the one last loaded or saved (undoing back to it makes it the same).
    bool Changed() const { return !SavedAt || *SavedAt != Position() || Dragging(); }

    // The drag in progress: cells painted between a press and its release are one step.
    std::optional<TEditStep> Open;

private:
    bool Dragging() const { return Open && !Open->Empty(); }
    uint64_t Position() const { return Dropped + Done; }
    std::deque<TEditStep> Steps;
    size_t Done = 0;       // steps in effect, from the front
    uint64_t Dropped = 0;  // steps let go at the front
    size_t Bytes = 0;
    std::optional<uint64_t> SavedAt = 0;  // none: the saved level cannot be reached any more
};

}  // namespace blubbi
