// printf-style formatting into UTF-16 and into 8-bit text, limited to what the program's
// formats use: %s (text of the format's own width), %S (text of the other width, converted),
// %d and %u with an optional "0" flag and width (%02d), and %%. Arguments are typed, so a
// conversion that does not match its argument, a missing argument or an unknown conversion
// is a formatting failure instead of undefined behaviour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CFormatArg {
public:
    enum class Kind { kInteger, kNarrowText, kWideText };

    CFormatArg(int value) : kind_(Kind::kInteger), integer_(value) {}
    CFormatArg(unsigned value) : kind_(Kind::kInteger), integer_(value) {}
    CFormatArg(long value) : kind_(Kind::kInteger), integer_(value) {}
    CFormatArg(unsigned long value)
        : kind_(Kind::kInteger), integer_(static_cast<std::int64_t>(value)) {}
    CFormatArg(const char* text) : kind_(Kind::kNarrowText), narrow_(text) {}
    CFormatArg(const char16_t* text) : kind_(Kind::kWideText), wide_(text) {}
    CFormatArg(const std::string& text) : CFormatArg(text.c_str()) {}
    CFormatArg(const std::u16string& text) : CFormatArg(text.c_str()) {}

    Kind kind() const { return kind_; }
    std::int64_t integer() const { return integer_; }
    const char* narrow() const { return narrow_; }
    const char16_t* wide() const { return wide_; }

private:
    Kind kind_;
    std::int64_t integer_ = 0;
    const char* narrow_ = nullptr;
    const char16_t* wide_ = nullptr;
};

// Core formatters: append to out and return false on a formatting failure (a null text
// argument included). The output then holds what was written before the failure.
bool FormatWideArgs(std::u16string& out, const char16_t* format, const CFormatArg* args,
                    std::size_t count);
bool FormatNarrowArgs(std::string& out, const char* format, const CFormatArg* args,
                      std::size_t count);
// Writes into buffer (capacity units, terminator included) without touching the heap unless
// a %S argument needs converting. False on a failure or when the result does not fit.
bool FormatWideIntoArgs(char16_t* buffer, std::size_t capacity, const char16_t* format,
                        const CFormatArg* args, std::size_t count);

// Formats into a new string; a formatting failure raises CHresultException(E_INVALIDARG),
// exhausted memory CHresultException(E_OUTOFMEMORY).
template <typename... Args>
std::u16string FormatWide(const char16_t* format, const Args&... args);
template <typename... Args>
std::string FormatNarrow(const char* format, const Args&... args);

// Formats into a caller's buffer of `capacity` units, terminator included. False when the
// format fails or the result does not fit; the buffer then holds an empty text (if it has
// room for the terminator).
template <typename... Args>
bool FormatWideInto(char16_t* buffer, std::size_t capacity, const char16_t* format,
                    const Args&... args);

#include "platform/text_format.inl"
