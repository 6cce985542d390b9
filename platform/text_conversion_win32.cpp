// 8-bit text on Windows is the calling thread's ANSI code page (CP_THREAD_ACP). Going to
// 8 bits, a character the code page cannot hold becomes the code page's default character,
// and an unpaired surrogate becomes "?" as on every platform; going to UTF-16, a byte
// sequence the code page does not define becomes the code page's default character, as the
// system's conversion gives it.
// Texts longer than an int can count are converted in pieces that never split a character.
#include <windows.h>

#include <climits>
#include <new>

#include "platform/hresult_exception.h"
#include "platform/text_conversion.h"
#include "platform/utf8_encoding.h"
#include "platform/wide_call_text.h"

namespace {

// Pieces stay well inside the int counts the system calls take.
constexpr std::size_t kPieceLimit = INT_MAX / 4;

// The length of the next piece of text that ends on a character boundary of the code page.
std::size_t NarrowPieceLength(std::string_view text) {
    if (text.size() <= kPieceLimit) {
        return text.size();
    }
    std::size_t length = 0;
    while (length < kPieceLimit) {
        length += IsDBCSLeadByteEx(CP_THREAD_ACP, static_cast<BYTE>(text[length])) ? 2 : 1;
    }
    return length;
}

int WidePieceLength(std::u16string_view text) {
    std::size_t length = text.size() <= kPieceLimit ? text.size() : kPieceLimit;
    if (length < text.size() && IsHighSurrogate(text[length - 1])) {
        --length;
    }
    return static_cast<int>(length);
}

// Decodes piece into out[at..] (room units left); returns the units the piece decodes to.
int DecodePiece(std::string_view piece, char16_t* out, int room) {
    if (piece.empty()) {
        return 0;
    }
    return MultiByteToWideChar(CP_THREAD_ACP, 0, piece.data(), static_cast<int>(piece.size()),
                               ToWideCall(out), room);
}

// Encodes a piece free of unpaired surrogates. No best-fit mapping: a character the code page
// lacks becomes the default character, never a look-alike such as a quote or a slash. A code
// page that takes no flags (UTF-8 as the ANSI code page) holds every character anyway.
int EncodePiece(std::u16string_view piece, char* out, int room) {
    if (piece.empty()) {
        return 0;
    }
    const auto encode = [&](DWORD flags) {
        return WideCharToMultiByte(CP_THREAD_ACP, flags, ToWideCall(piece.data()),
                                   static_cast<int>(piece.size()), out, room, nullptr, nullptr);
    };
    const int result = encode(WC_NO_BEST_FIT_CHARS);
    return result == 0 && GetLastError() == ERROR_INVALID_FLAGS ? encode(0) : result;
}

void AppendEncoded(std::u16string_view piece, std::string& out) {
    const int needed = EncodePiece(piece, nullptr, 0);
    if (needed <= 0) {
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(needed));
    out.resize(at + static_cast<std::size_t>(EncodePiece(piece, &out[at], needed)));
}

// The run of text up to the first unpaired surrogate (or the whole text).
std::size_t WellFormedPrefix(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            return i;
        }
    }
    return text.size();
}

}  // namespace

std::size_t NarrowToWideInto(std::string_view text, char16_t* out, std::size_t capacity) noexcept {
    std::size_t needed = 0;
    while (!text.empty()) {
        const std::size_t length = NarrowPieceLength(text);
        const std::string_view piece = text.substr(0, length);
        const int units = DecodePiece(piece, nullptr, 0);
        if (needed + static_cast<std::size_t>(units) <= capacity) {
            DecodePiece(piece, out + needed, units);
        } else if (needed < capacity) {
            // Only part of the piece fits: decode it whole elsewhere and copy what fits.
            std::u16string whole;
            try {
                whole.resize(static_cast<std::size_t>(units));
            } catch (const std::bad_alloc&) {
                return needed + static_cast<std::size_t>(units);
            }
            DecodePiece(piece, whole.data(), units);
            whole.copy(out + needed, capacity - needed);
        }
        needed += static_cast<std::size_t>(units);
        text.remove_prefix(length);
    }
    return needed;
}

std::u16string NarrowToWide(std::string_view text) try {
    std::u16string out;
    while (!text.empty()) {
        const std::size_t length = NarrowPieceLength(text);
        const std::string_view piece = text.substr(0, length);
        const int units = DecodePiece(piece, nullptr, 0);
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(units));
        DecodePiece(piece, out.data() + at, units);
        text.remove_prefix(length);
    }
    return out;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}

std::string WideToNarrow(std::u16string_view text) try {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t prefix = WellFormedPrefix(text);
        std::u16string_view good = text.substr(0, prefix);
        while (!good.empty()) {
            const int length = WidePieceLength(good);
            AppendEncoded(good.substr(0, static_cast<std::size_t>(length)), out);
            good.remove_prefix(static_cast<std::size_t>(length));
        }
        text.remove_prefix(prefix);
        if (!text.empty()) {
            out += '?';  // an unpaired surrogate: the default character
            text.remove_prefix(1);
        }
    }
    return out;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
