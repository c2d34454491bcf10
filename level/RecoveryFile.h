// The file that keeps editor work against a crash: a few text lines (the level's name and when it
// was kept), a blank line, then the level exactly as its .lev file would hold it.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "game/Platform.h"

namespace blubbi {

std::vector<uint8_t> EncodeRecovery(const TRecovery& kept);
// nullopt for a file that is not one; the level part is not checked here.
std::optional<TRecovery> DecodeRecovery(const std::vector<uint8_t>& bytes);

}  // namespace blubbi
