// UTF-16 code units to code points and code points to UTF-8 bytes: the encoding rules that the
// 8-bit conversion and the URL escaping share. Both take an unpaired surrogate as a code point
// of its own value; what becomes of it is the caller's rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr bool IsHighSurrogate(std::uint32_t unit) noexcept {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(std::uint32_t unit) noexcept {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Calls put with each code point of text: a high surrogate followed by a low one gives their
// combined code point, any other unit its own value.
template <typename Put>
void ForEachCodePoint(std::u16string_view text, Put&& put) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t point = text[i];
        if (IsHighSurrogate(point) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00U);
        }
        put(point);
    }
}

// Calls put with each byte (as an unsigned value) of the UTF-8 form of point: one byte below
// 0x80, two below 0x800, three below 0x10000, four above.
template <typename Put>
void PutUtf8(std::uint32_t point, Put&& put) {
    if (point < 0x80) {
        put(point);
    } else if (point < 0x800) {
        put(0xC0 | (point >> 6));
        put(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        put(0xE0 | (point >> 12));
        put(0x80 | ((point >> 6) & 0x3F));
        put(0x80 | (point & 0x3F));
    } else {
        put(0xF0 | (point >> 18));
        put(0x80 | ((point >> 12) & 0x3F));
        put(0x80 | ((point >> 6) & 0x3F));
        put(0x80 | (point & 0x3F));
    }
}
