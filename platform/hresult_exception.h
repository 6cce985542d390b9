// CHresultException: the one exception type of the program. It carries a 32-bit HRESULT:
// E_OUTOFMEMORY for exhausted memory, E_INVALIDARG for an invalid argument to a string
// operation and E_FAIL for a null text where one is required.
#pragma once

#include <cstdint>
#include <exception>

using HResult = std::int32_t;

constexpr HResult kHresultOk = 0;
#ifndef E_OUTOFMEMORY
constexpr HResult E_OUTOFMEMORY = static_cast<HResult>(0x8007000EU);
#endif
#ifndef E_INVALIDARG
constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057U);
#endif
#ifndef E_FAIL
constexpr HResult E_FAIL = static_cast<HResult>(0x80004005U);
#endif

// Platform error number as an HRESULT: 0x80070000 or'ed with the low 16 bits of the error.
constexpr HResult HresultFromError(std::uint32_t error) {
    return error == 0 ? kHresultOk : static_cast<HResult>(0x80070000U | (error & 0xFFFFU));
}

class CHresultException : public std::exception {
public:
    explicit CHresultException(HResult code) noexcept : code_(code) {}
    HResult Code() const noexcept { return code_; }
    const char* what() const noexcept override;

private:
    HResult code_;
};

// Raises E_FAIL when a required text is missing.
template <typename T>
inline void ThrowIfNull(const T* text) {
    if (text == nullptr) {
        throw CHresultException(E_FAIL);
    }
}
