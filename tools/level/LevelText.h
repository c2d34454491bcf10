// The readable text form of a .lev file and the raw file as a whole, both lossless.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "level/LevelCodec.h"

namespace blubbi::leveltool {

// Everything a .lev file holds, down to the bytes the game ignores, so that files round-trip exactly.
struct TLevelFile {
    TLevelData Level;
    int32_t EmptyCount = 0;     // the stored count when there are no records: zero or negative
    std::vector<uint8_t> Tail;  // bytes after the layout
};

std::optional<TLevelFile> SplitLevelFile(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> JoinLevelFile(const TLevelFile& file);

std::string LevelToText(const TLevelFile& file);

struct TTextResult {
    std::optional<TLevelFile> File;
    std::string Error;  // "line N: ..." when File is empty
};
TTextResult LevelFromText(std::string_view text);

}  // namespace blubbi::leveltool
