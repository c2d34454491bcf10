// Replays travel gzip-compressed to the hiscore server: text of a long game packs to a tenth.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace blubbi {

// The bytes as one gzip member.
std::string Gzip(std::string_view bytes);
// Whether the bytes begin as gzip does (its two magic bytes).
bool IsGzip(std::string_view bytes);
// The unpacked bytes of one whole gzip member; nullopt when they are damaged, cut short, followed by
// anything, or unpack to more than maxBytes (which stops unpacking there).
std::optional<std::string> Gunzip(std::string_view packed, size_t maxBytes);

}  // namespace blubbi
