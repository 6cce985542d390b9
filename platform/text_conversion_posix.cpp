// 8-bit text on POSIX is UTF-8, the native file-name encoding. Invalid UTF-8 decodes to one
// U+FFFD per maximal invalid subsequence; an unpaired surrogate encodes as "?".
#include <cstdint>
#include <new>

#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"
#include "platform/utf8_encoding.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Calls put with each UTF-16 unit that text decodes to.
template <typename Put>
void DecodeUtf8(std::string_view text, Put&& put) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::int32_t point = DecodeUtf8Sequence(text, pos);
        PutUtf16(point < 0 ? kReplacement : static_cast<std::uint32_t>(point), put);
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
