// The SHA-256 of some bytes as lower-case hex, through OpenSSL.
#pragma once
#include <string>
#include <string_view>

namespace blubbi::hiscore {

std::string Sha256Hex(std::string_view bytes);

}  // namespace blubbi::hiscore
