// Base64 (RFC 4648, with padding) in plain C++, for builds without OpenSSL (the browser's).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace blubbi {

std::string PortableBase64(const uint8_t* data, size_t size);
// The bytes of whole groups of four, '=' only as the last one or two characters; nullopt otherwise.
std::optional<std::vector<uint8_t>> PortableFromBase64(std::string_view text);

}  // namespace blubbi
