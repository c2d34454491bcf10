// The whole game state as bytes and back: the generator, every field and the record lists.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/MainForm.h"

namespace blubbi {

// Everything a frame can read or change, little-endian, starting with a format number.
// Pictures, sheets and the program folder are not state: they come from the data folder.
std::vector<uint8_t> SaveState(const TMainForm& game);

// Puts saved bytes into a created game (FormCreate has run). False, with the game as it
// was, when the bytes are not a whole state of this format. The one-shot timers are set
// through the platform as the state says.
bool LoadState(TMainForm& game, const uint8_t* data, size_t size);

// Puts a whole record into the game; the pause and the one-shot timers reach the platform as the
// game's own switching would, each timer keeping the tick it was started at.
void PutRecord(TMainForm& game, TGameRecord record);

}  // namespace blubbi
