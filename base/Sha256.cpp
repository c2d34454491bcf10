// SHA-256 through OpenSSL's digest contexts.
#include "base/Sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace blubbi {

struct TSha256State {
    EVP_MD_CTX* Md;
};

namespace {

void Must(bool done) {
    if (!done) throw std::runtime_error("SHA-256 failed");
}

}  // namespace

TSha256::TSha256() : Context(new TSha256State{EVP_MD_CTX_new()}) {
    if (Context->Md != nullptr && EVP_DigestInit_ex(Context->Md, EVP_sha256(), nullptr) == 1) return;
    EVP_MD_CTX_free(Context->Md);
    delete Context;
    Must(false);
}

TSha256::~TSha256() {
    EVP_MD_CTX_free(Context->Md);
    delete Context;
}

void TSha256::Add(const void* data, size_t size) { Must(EVP_DigestUpdate(Context->Md, data, size) == 1); }

std::string TSha256::Hex() const {
    // A copy is finished, so the running hash can take more.
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool done =
        copy != nullptr && EVP_MD_CTX_copy_ex(copy, Context->Md) == 1 && EVP_DigestFinal_ex(copy, digest, &length) == 1;
    EVP_MD_CTX_free(copy);
    Must(done);
    return HexDigits(digest, length);
}

std::string Sha256Hex(const void* data, size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    Must(EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) == 1);
    return HexDigits(digest, length);
}

std::string Sha256Hex(std::string_view bytes) { return Sha256Hex(bytes.data(), bytes.size()); }

}  // namespace blubbi
