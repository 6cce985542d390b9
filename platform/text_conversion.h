// The one pair of conversions between 8-bit text and UTF-16. The 8-bit side is the thread's
// ANSI code page on Windows and UTF-8 on POSIX. Text the target cannot hold becomes the
// default character: "?" for an unpaired surrogate going to 8 bits, and for an invalid 8-bit
// sequence going to UTF-16 U+FFFD on POSIX, the code page's own default character on Windows
// (U+30FB in code page 932). Exhausted memory raises CHresultException(E_OUTOFMEMORY).
#pragma once

#include <string>
#include <string_view>

#include <cstddef>

std::u16string NarrowToWide(std::string_view text);
std::string WideToNarrow(std::u16string_view text);

// NarrowToWide into a caller's buffer without touching the heap: writes at most capacity
// units and returns the number of units the whole text needs (no terminator is written).
std::size_t NarrowToWideInto(std::string_view text, char16_t* out, std::size_t capacity) noexcept;
