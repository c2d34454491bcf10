// The game state as one JSON object, as blubbi-sim's dump command writes it.
#pragma once
#include <string>
#include <vector>

#include "game/MainForm.h"

namespace blubbi::sim {

// `sent` and `dialogs` are what happened since the previous dump.
std::string DumpState(const TMainForm& game, uint32_t tick, const std::vector<std::string>& sent,
                      const std::vector<std::string>& dialogs);

}  // namespace blubbi::sim
