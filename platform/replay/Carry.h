// The values one game carries into the next ("Neues Spiel" keeps the switches, the held keys, the
// generator ...), written as a replay's carry line: NAME=VALUE words, numbers in decimal, texts in hex.
#pragma once
#include <string>
#include <string_view>

#include "game/MainForm.h"

namespace blubbi {

std::string CarryText(const TMainForm& game);
// Puts the carried values into a game set up from the program's start. Every carried field must be
// named once, with a value its type holds; false with the reason otherwise, the game then unchanged.
bool ApplyCarry(TMainForm& game, std::string_view text, std::string& error);

}  // namespace blubbi
