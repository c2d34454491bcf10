// SHA-256 in plain C++, for builds without OpenSSL (the browser's): the same digest, byte for byte.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace blubbi {

class TPortableSha256 {
public:
    TPortableSha256();
    void Add(const void* data, size_t size);
    // The digest of everything added so far; more may be added afterwards.
    std::array<uint8_t, 32> Digest() const;

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 8> H;
    std::array<uint8_t, 64> Pending{};
    size_t Filled = 0;
    uint64_t Length = 0;  // bytes added
};

}  // namespace blubbi
