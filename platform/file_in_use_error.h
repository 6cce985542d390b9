// The error number the file operations report for a file that another opener holds: the
// sharing violation of the Windows file calls, and on POSIX, where the in-use probe stands in
// for share modes, EBUSY.
#pragma once

#include <cerrno>
#include <cstdint>

#ifdef _WIN32
constexpr std::uint32_t kErrorFileInUse = 32;  // ERROR_SHARING_VIOLATION
#else
constexpr std::uint32_t kErrorFileInUse = EBUSY;
#endif
