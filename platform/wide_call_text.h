// UTF-16 text as the Windows wide calls take and give it. There wchar_t is a 16-bit unit holding
// the same code units as char16_t, so text crosses the call as it is and is never converted.
// Used by the *_win32 files only; the POSIX side has no wide calls.
#pragma once

#include <cwchar>

inline const wchar_t* ToWideCall(const char16_t* text) noexcept {
    return reinterpret_cast<const wchar_t*>(text);
}

inline wchar_t* ToWideCall(char16_t* text) noexcept {
    return reinterpret_cast<wchar_t*>(text);
}

inline const char16_t* FromWideCall(const wchar_t* text) noexcept {
    return reinterpret_cast<const char16_t*>(text);
}
