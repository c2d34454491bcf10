// SHA-256 through OpenSSL's one-shot digest.
#include "server/Sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace blubbi::hiscore {

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr))
        throw std::runtime_error("SHA-256 failed");
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

}  // namespace blubbi::hiscore
