// Fuzz target for the URL record and escaping: arbitrary UTF-16 text into Parse then Compose,
// and into EscapeUrlText with an arbitrary capacity. Checks that a parsed URL always composes
// into ComposedLength + 1 units and never writes more, and that escaping stays in its buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "net/url/parsed_url.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckParseAndCompose(const char16_t* text) {
    CParsedUrl url;
    if (!url.Parse(text)) {
        return;
    }
    const std::uint32_t length = url.ComposedLength();
    // Exactly the needed size on the heap, so a write past it is caught.
    std::unique_ptr<char16_t[]> buffer(new char16_t[length + 1]);
    std::uint32_t capacity = length + 1;
    Require(url.Compose(buffer.get(), &capacity));
    Require(capacity == length);
    std::size_t written = 0;
    while (buffer[written] != 0) {
        ++written;
    }
    Require(written <= length);
    std::uint32_t tooSmall = length;
    Require(!url.Compose(buffer.get(), &tooSmall) && tooSmall == length + 1);
}

void CheckEscape(const char16_t* text, std::uint32_t capacity) {
    std::unique_ptr<char16_t[]> output(new char16_t[capacity == 0 ? 1 : capacity]);
    if (EscapeUrlText(text, output.get(), capacity)) {
        CParsedUrl url;
        url.Parse(output.get());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::uint32_t capacity = (static_cast<std::uint32_t>(data[0]) << 8 | data[1]) % 5000;
    data += 2;
    size -= 2;
    std::vector<char16_t> text(size / 2 + 1, 0);
    std::memcpy(text.data(), data, (size / 2) * 2);
    CheckParseAndCompose(text.data());
    CheckEscape(text.data(), capacity);
    return 0;
}
