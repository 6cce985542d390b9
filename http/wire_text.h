// Byte classes of the HTTP wire shared by the response readers.
#pragma once

#include <cstdint>

// The six white-space bytes: space, tab, LF, vertical tab, form feed and CR.
constexpr bool IsWireWhiteSpace(std::uint8_t byte) noexcept {
    return byte == ' ' || (byte >= 9 && byte <= 13);
}

constexpr bool IsDecimalDigit(std::uint8_t byte) noexcept {
    return byte >= '0' && byte <= '9';
}

// Value of a hexadecimal digit, or -1.
constexpr int HexDigitValue(std::uint8_t byte) noexcept {
    if (IsDecimalDigit(byte)) {
        return byte - '0';
    }
    if (byte >= 'a' && byte <= 'f') {
        return byte - 'a' + 10;
    }
    if (byte >= 'A' && byte <= 'F') {
        return byte - 'A' + 10;
    }
    return -1;
}
