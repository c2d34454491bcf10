// The browser build's own SHA-256 and Base64 give what OpenSSL gives, for every length around the
// block and group edges, fed whole and in pieces.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>

#include "base/Base64Portable.h"
#include "base/Sha256.h"
#include "base/Sha256Portable.h"

namespace blubbi {
namespace {

std::string Hex(const std::array<uint8_t, 32>& digest) { return HexDigits(digest.data(), digest.size()); }

TEST(PortableDigests, AgreeWithOpenSsl) {
    std::mt19937 random(7);
    std::vector<size_t> sizes;
    for (size_t n = 0; n <= 200; ++n) sizes.push_back(n);
    sizes.insert(sizes.end(), {1000, 4095, 4096, 100001});
    for (const size_t size : sizes) {
        std::vector<uint8_t> bytes(size);
        for (auto& b : bytes) b = static_cast<uint8_t>(random());
        TPortableSha256 whole, pieces;
        whole.Add(bytes.data(), size);
        for (size_t at = 0; at < size;) {
            const size_t take = std::min<size_t>(size - at, random() % 70);
            pieces.Add(bytes.data() + at, take);
            at += take;
        }
        const std::string expected = Sha256Hex(bytes.data(), size);
        EXPECT_EQ(Hex(whole.Digest()), expected) << size;
        EXPECT_EQ(Hex(pieces.Digest()), expected) << size;

        std::string openssl(4 * ((size + 2) / 3) + 1, '\0');
        openssl.resize(static_cast<size_t>(
            EVP_EncodeBlock(reinterpret_cast<unsigned char*>(openssl.data()), bytes.data(), static_cast<int>(size))));
        const std::string coded = PortableBase64(bytes.data(), size);
        EXPECT_EQ(coded, openssl) << size;
        if (size > 0) {
            EXPECT_EQ(PortableFromBase64(coded), bytes) << size;
        }
    }
    for (const char* bad : {"A===", "=AAA", "AA=A", "AAA", "AAAA=AAA", "AA*A"})
        EXPECT_FALSE(PortableFromBase64(bad)) << bad;
}

}  // namespace
}  // namespace blubbi
