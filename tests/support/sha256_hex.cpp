// HexDigits: the part of Sha256Hex the platform halves share.
#include "tests/support/sha256_hex.h"

std::string HexDigits(const unsigned char* bytes, std::size_t count) {
    const char* digits = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < count; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}
