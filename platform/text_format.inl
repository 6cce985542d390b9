// Template glue of text_format.h: packs the typed arguments and calls the core formatters.
#pragma once

#include <new>

#include "platform/hresult_exception.h"

template <typename... Args>
std::u16string FormatWide(const char16_t* format, const Args&... args) try {
    const CFormatArg packed[] = {CFormatArg(args)..., CFormatArg(0)};
    std::u16string out;
    if (!FormatWideArgs(out, format, packed, sizeof...(Args))) {
        throw CHresultException(E_INVALIDARG);
    }
    return out;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}

template <typename... Args>
std::string FormatNarrow(const char* format, const Args&... args) try {
    const CFormatArg packed[] = {CFormatArg(args)..., CFormatArg(0)};
    std::string out;
    if (!FormatNarrowArgs(out, format, packed, sizeof...(Args))) {
        throw CHresultException(E_INVALIDARG);
    }
    return out;
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}

template <typename... Args>
bool FormatWideInto(char16_t* buffer, std::size_t capacity, const char16_t* format,
                    const Args&... args) {
    const CFormatArg packed[] = {CFormatArg(args)..., CFormatArg(0)};
    return FormatWideIntoArgs(buffer, capacity, format, packed, sizeof...(Args));
}
