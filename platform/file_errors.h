// The error numbers the file operations report in their own vocabulary (GetLastError values on
// Windows, errno values on POSIX) for the conditions the program names: a file another opener
// holds (the sharing violation of the Windows file calls; on POSIX, where the in-use probe
// stands in for share modes, EBUSY), a file the user may not read, and a file too large to be
// loaded whole.
#pragma once

#include <cerrno>
#include <cstdint>

#ifdef _WIN32
constexpr std::uint32_t kErrorAccessDenied = 5;     // ERROR_ACCESS_DENIED
constexpr std::uint32_t kErrorFileInUse = 32;       // ERROR_SHARING_VIOLATION
constexpr std::uint32_t kErrorFileTooLarge = 223;   // ERROR_FILE_TOO_LARGE
#else
constexpr std::uint32_t kErrorAccessDenied = EACCES;
constexpr std::uint32_t kErrorFileInUse = EBUSY;
constexpr std::uint32_t kErrorFileTooLarge = EFBIG;
#endif
