// Sha256Hex through CryptoAPI: a verify-only context of the AES provider (the one that knows
// SHA-256), one hash object, fed in pieces that fit its 32-bit length. Handles are released
// on every path; a failure gives an empty text, which matches no digest.
#include <windows.h>

#include <wincrypt.h>

#include <algorithm>

#include "tests/support/sha256_hex.h"

namespace {

class CHashContext {
public:
    CHashContext() {
        if (CryptAcquireContextW(&provider_, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
            !CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_)) {
            hash_ = 0;
        }
    }
    ~CHashContext() {
        if (hash_) {
            CryptDestroyHash(hash_);
        }
        if (provider_) {
            CryptReleaseContext(provider_, 0);
        }
    }
    CHashContext(const CHashContext&) = delete;
    CHashContext& operator=(const CHashContext&) = delete;

    HCRYPTHASH Hash() const { return hash_; }

private:
    HCRYPTPROV provider_ = 0;
    HCRYPTHASH hash_ = 0;
};

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    CHashContext context;
    if (!context.Hash()) {
        return {};
    }
    constexpr std::size_t kPiece = 1 << 20;
    for (std::size_t done = 0; done < bytes.size(); done += kPiece) {
        const std::size_t size = std::min(kPiece, bytes.size() - done);
        if (!CryptHashData(context.Hash(), reinterpret_cast<const BYTE*>(bytes.data() + done),
                           static_cast<DWORD>(size), 0)) {
            return {};
        }
    }
    unsigned char digest[32];
    DWORD size = sizeof(digest);
    if (!CryptGetHashParam(context.Hash(), HP_HASHVAL, digest, &size, 0) || size != 32) {
        return {};
    }
    return HexDigits(digest, size);
}
