// EscapeUrlText: the caller's UTF-16 URL text to its escaped form. The text goes to UTF-8
// (unpaired surrogates keep their own three-byte form), bytes before the first "?" or "#" that
// are neither "%" nor safe become "%xx", and the result comes back as UTF-16. Work buffers live
// on the stack up to 2084 bytes and on the heap only beyond.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <string_view>

#include "net/url/parsed_url.h"
#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"
#include "platform/utf8_encoding.h"
#include "platform/wide_text.h"

namespace {

constexpr std::size_t kStackBytes = 2084;

// A byte buffer on the stack when it is small enough, on the heap otherwise.
class CWorkBuffer {
public:
    bool Allocate(std::size_t size) {
        if (size <= kStackBytes) {
            data_ = stack_;
            return true;
        }
        heap_.reset(new (std::nothrow) char[size]);
        data_ = heap_.get();
        return data_ != nullptr;
    }
    char* Data() { return data_; }

private:
    char stack_[kStackBytes];
    std::unique_ptr<char[]> heap_;
    char* data_ = nullptr;
};

// Calls put with each UTF-8 byte of text; an unpaired surrogate is encoded as its own value.
template <typename Put>
void EncodeUtf8(WideView text, Put&& put) {
    ForEachCodePoint(text, [&](std::uint32_t point) { PutUtf8(point, put); });
}

bool IsSafeByte(unsigned char byte) {
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9')) {
        return true;
    }
    return std::string_view("!'()*-./:_~").find(static_cast<char>(byte)) != std::string_view::npos;
}

// Escapes utf8 into out (capacity bytes). The count goes on past the capacity so that the
// needed size is known; bytes are written only while they fit. Returns the count.
std::size_t EscapeBytes(const char* utf8, std::size_t size, char* out, std::size_t capacity,
                        bool& fits) {
    static const char kHex[] = "0123456789abcdef";
    std::size_t count = 0;
    bool inQuery = false;
    fits = true;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (count == capacity) {
            fits = false;
        }
        inQuery = inQuery || byte == '?' || byte == '#';
        if (inQuery || byte == '%' || IsSafeByte(byte)) {
            if (fits) {
                out[count] = static_cast<char>(byte);
            }
            count += 1;
            continue;
        }
        if (count + 3 >= capacity) {  // an escape needs the count below capacity - 3
            fits = false;
        }
        if (fits) {
            out[count] = '%';
            out[count + 1] = kHex[byte >> 4];
            out[count + 2] = kHex[byte & 0x0F];
        }
        count += 3;
    }
    return count;
}

bool EscapeInto(WideView text, char16_t* output, std::uint32_t capacity) {
    std::size_t utf8Size = 0;
    EncodeUtf8(text, [&](std::uint32_t) { ++utf8Size; });
    // The escaped form never needs more than three bytes per input byte and its terminator,
    // so a huge capacity does not size the work buffer.
    const std::size_t room = std::min<std::size_t>(capacity, 3 * utf8Size + 1);
    CWorkBuffer utf8;
    CWorkBuffer escaped;
    if (!utf8.Allocate(utf8Size) || !escaped.Allocate(room)) {
        return false;
    }
    std::size_t at = 0;
    EncodeUtf8(text, [&](std::uint32_t byte) { utf8.Data()[at++] = static_cast<char>(byte); });
    bool fits = false;
    const std::size_t count = EscapeBytes(utf8.Data(), utf8Size, escaped.Data(), room, fits);
    if (!fits || count + 1 > capacity) {
        return false;
    }
    const std::size_t units =
        NarrowToWideInto(std::string_view(escaped.Data(), count), output, capacity);
    if (units + 1 > capacity) {
        return false;
    }
    output[units] = 0;
    return true;
}

}  // namespace

bool EscapeUrlText(const char16_t* text, char16_t* output, std::uint32_t capacity) {
    ThrowIfNull(text);
    ThrowIfNull(output);
    if (capacity == 0) {
        return false;  // not even the terminator fits
    }
    return EscapeInto(WideViewOf(text), output, capacity);
}
