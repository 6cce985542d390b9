// Lossless file names on POSIX: a byte that starts no valid UTF-8 sequence becomes
// U+DC00 + byte, and such a unit becomes its byte again. The decoding restarts at the next
// byte after each escaped one, so every byte of an invalid run is kept on its own.
#include <cstdint>
#include <new>
#include <utility>

#include "platform/file_name_text.h"
#include "platform/hresult_exception.h"
#include "platform/utf8_encoding.h"

namespace {

constexpr std::uint32_t kEscapeBase = 0xDC00;

constexpr bool IsEscapedByte(std::uint32_t point) noexcept {
    return point >= kEscapeBase + 0x80 && point <= kEscapeBase + 0xFF;
}

}  // namespace

std::u16string FileNameToWide(std::string_view name) try {
    std::u16string wide;
    wide.reserve(name.size());
    const auto append = [&wide](char16_t unit) { wide += unit; };
    std::size_t pos = 0;
    while (pos < name.size()) {
        const std::size_t start = pos;
        const std::int32_t point = DecodeUtf8Sequence(name, pos);
        if (point < 0) {
            pos = start + 1;
            append(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(name[start])));
        } else {
            PutUtf16(static_cast<std::uint32_t>(point), append);
        }
    }
    return wide;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}

bool FileNameToNarrow(std::u16string_view name, std::string& narrow) try {
    std::string out;
    out.reserve(name.size());
    bool spelled = true;
    const auto append = [&out](std::uint32_t byte) { out += static_cast<char>(byte); };
    ForEachCodePoint(name, [&](std::uint32_t point) {
        if (IsEscapedByte(point)) {
            append(point - kEscapeBase);
        } else if (IsHighSurrogate(point) || IsLowSurrogate(point)) {
            spelled = false;
        } else {
            PutUtf8(point, append);
        }
    });
    if (spelled) {
        narrow = std::move(out);
    }
    return spelled;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
