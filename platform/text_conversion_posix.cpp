// 8-bit text on POSIX is UTF-8, the native file-name encoding. Invalid UTF-8 decodes to one
// U+FFFD per maximal invalid subsequence; an unpaired surrogate encodes as "?".
#include <cstdint>
#include <new>

#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"
#include "platform/utf8_encoding.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes one sequence at text[pos]; returns the code point, or -1 for an invalid start,
// and advances pos past what was consumed (at least one byte).
std::int32_t DecodeOne(std::string_view text, std::size_t& pos) {
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
        if (i == 0 ? (byte < low || byte > high) : !IsContinuation(byte)) {
            return -1;
        }
        point = (point << 6) | (byte & 0x3F);
        ++pos;
    }
    return static_cast<std::int32_t>(point);
}

// Calls put with each UTF-16 unit that text decodes to.
template <typename Put>
void DecodeUtf8(std::string_view text, Put&& put) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::int32_t point = DecodeOne(text, pos);
        if (point < 0) {
            put(kReplacement);
        } else if (point >= 0x10000) {
            const auto offset = static_cast<std::uint32_t>(point) - 0x10000;
            put(static_cast<char16_t>(0xD800 | (offset >> 10)));
            put(static_cast<char16_t>(0xDC00 | (offset & 0x3FF)));
        } else {
            put(static_cast<char16_t>(point));
        }
    }
}

}  // namespace

std::size_t NarrowToWideInto(std::string_view text, char16_t* out, std::size_t capacity) noexcept {
    std::size_t needed = 0;
    DecodeUtf8(text, [&](char16_t unit) {
        if (needed < capacity) {
            out[needed] = unit;
        }
        ++needed;
    });
    return needed;
}

std::u16string NarrowToWide(std::string_view text) try {
    std::u16string out;
    out.reserve(text.size());
    DecodeUtf8(text, [&](char16_t unit) { out += unit; });
    return out;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}

std::string WideToNarrow(std::u16string_view text) try {
    std::string out;
    out.reserve(text.size());
    const auto append = [&out](std::uint32_t byte) { out += static_cast<char>(byte); };
    ForEachCodePoint(text, [&](std::uint32_t point) {
        if (IsHighSurrogate(point) || IsLowSurrogate(point)) {
            out += '?';  // unpaired: the default character
        } else {
            PutUtf8(point, append);
        }
    });
    return out;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
