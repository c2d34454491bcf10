// The game's 8-bit character set (Latin-1) and the UTF-8 and Unicode text around it.
#pragma once
#include <string>
#include <string_view>

namespace blubbi {

// A typed character as the game keeps it: '?' for anything beyond the 8-bit set.
constexpr char Latin1Of(char32_t code) {
    return code <= 0xFF ? static_cast<char>(static_cast<unsigned char>(code)) : '?';
}

// UTF-8 text as 8-bit characters; a character beyond the set, or a broken sequence, becomes one '?'.
std::string Latin1FromUtf8(std::string_view utf8);

// 8-bit characters as UTF-8 text.
std::string Utf8FromLatin1(std::string_view latin1);

}  // namespace blubbi
