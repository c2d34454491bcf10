// SHA-256 without OpenSSL, for the browser build: the same interface over the portable digest.
#include "base/Sha256.h"

#include "base/Sha256Portable.h"

namespace blubbi {

struct TSha256State {
    TPortableSha256 Digest;
};

TSha256::TSha256() : Context(new TSha256State) {}
TSha256::~TSha256() { delete Context; }
void TSha256::Add(const void* data, size_t size) { Context->Digest.Add(data, size); }

std::string TSha256::Hex() const {
    const auto digest = Context->Digest.Digest();
    return HexDigits(digest.data(), digest.size());
}

std::string Sha256Hex(const void* data, size_t size) {
    TPortableSha256 hash;
    hash.Add(data, size);
    const auto digest = hash.Digest();
    return HexDigits(digest.data(), digest.size());
}

std::string Sha256Hex(std::string_view bytes) { return Sha256Hex(bytes.data(), bytes.size()); }

}  // namespace blubbi
