// Sha256Hex: the SHA-256 of some bytes as 64 lower-case hexadecimal digits, the form in which
// tests/support/tls_test_server.py reports what it received. The platform's own
// implementation does the hashing (OpenSSL on POSIX, CryptoAPI on Windows).
#pragma once

#include <cstddef>
#include <string>

std::string Sha256Hex(const std::string& bytes);

// The digest's bytes as hexadecimal digits (shared by both platform halves).
std::string HexDigits(const unsigned char* bytes, std::size_t count);
