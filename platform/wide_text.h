// Wide text: UTF-16 in char16_t on every platform, and the small helpers on it that the
// rest of the program shares (length of a terminated text, A-Z case folding, hex digits).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

using WideString = std::u16string;
using WideView = std::u16string_view;

// Number of code units before the terminating zero.
std::size_t WideLength(const char16_t* text) noexcept;

// A terminated text as a view; a null text raises CHresultException with E_FAIL.
WideView WideViewOf(const char16_t* text);

// Folds A-Z to a-z and leaves every other unit alone.
constexpr char16_t AsciiLower(char16_t c) noexcept {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}
constexpr char AsciiLower(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value of a hexadecimal digit 0-9, a-f, A-F; -1 for any other unit.
constexpr int AsciiHexValue(char16_t c) noexcept {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    const char16_t lower = AsciiLower(c);
    return (lower >= u'a' && lower <= u'f') ? lower - u'a' + 10 : -1;
}

// Equality without regard to the case of A-Z.
bool EqualsIgnoringAsciiCase(WideView a, WideView b) noexcept;
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept;
