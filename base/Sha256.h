// SHA-256 (OpenSSL's; base/Sha256Portable.h where there is none), given as lower-case hex: the hashes of replays,
// levels and the game's data.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace blubbi {

// Each build's own digest: OpenSSL's, or the portable one where there is no OpenSSL.
struct TSha256State;

// Bytes in lower-case hex, two digits each.
inline std::string HexDigits(const unsigned char* bytes, size_t size) {
    static constexpr std::string_view kHex = "0123456789abcdef";
    std::string out;
    out.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
    }
    return out;
}

// A hash fed piece by piece. OpenSSL's SHA-256 fails only when the library itself is broken (no
// memory, no provider); no user of a hash can go on then, so every failure throws std::runtime_error.
class TSha256 {
public:
    TSha256();
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }
    void Add(const void* data, size_t size);
    // The hash of everything added so far; the hash may be fed on afterwards.
    std::string Hex() const;

private:
    TSha256State* Context;
};

std::string Sha256Hex(std::string_view bytes);
std::string Sha256Hex(const void* data, size_t size);

}  // namespace blubbi
