// Wide text helpers shared by every layer.
#include "platform/wide_text.h"

#include "platform/hresult_exception.h"

std::size_t WideLength(const char16_t* text) noexcept {
    std::size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

WideView WideViewOf(const char16_t* text) {
    ThrowIfNull(text);
    return WideView(text, WideLength(text));
}

namespace {

template <typename View>
bool EqualsFolded(View a, View b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool EqualsIgnoringAsciiCase(WideView a, WideView b) noexcept {
    return EqualsFolded(a, b);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    return EqualsFolded(a, b);
}
