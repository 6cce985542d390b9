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

constexpr bool IsUtf8Continuation(unsigned char byte) noexcept {
    return (byte & 0xC0) == 0x80;
}

// Decodes one UTF-8 sequence at text[pos] (pos inside text): returns its code point, or -1
// for a byte that starts no valid sequence or a sequence cut short, and advances pos past what
// was consumed (at least one byte). Overlong forms, encoded surrogates and values above
// U+10FFFF are invalid.
inline std::int32_t DecodeUtf8Sequence(std::string_view text, std::size_t& pos) noexcept {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    std::uint32_t point = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, point = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, point = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (int i = 0; i < extra; ++i) {
        if (pos >= text.size()) {
            return -1;
        }
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (i == 0 ? (byte < low || byte > high) : !IsUtf8Continuation(byte)) {
            return -1;
        }
        point = (point << 6) | (byte & 0x3F);
        ++pos;
    }
    return static_cast<std::int32_t>(point);
}

// Calls put with each UTF-16 unit of point: a surrogate pair above U+FFFF, else one unit.
template <typename Put>
void PutUtf16(std::uint32_t point, Put&& put) {
    if (point >= 0x10000) {
        const std::uint32_t offset = point - 0x10000;
        put(static_cast<char16_t>(0xD800 | (offset >> 10)));
        put(static_cast<char16_t>(0xDC00 | (offset & 0x3FF)));
    } else {
        put(static_cast<char16_t>(point));
    }
}
