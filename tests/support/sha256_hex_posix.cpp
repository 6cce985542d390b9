// Sha256Hex through OpenSSL's one-shot digest.
#include <openssl/sha.h>

#include "tests/support/sha256_hex.h"

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    return HexDigits(digest, sizeof(digest));
}
