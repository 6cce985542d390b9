// What the file objects (CExclusiveFile, CScratchFile) do alike with the open handle they own (a
// descriptor on POSIX, a HANDLE on Windows): reading until the request is met or the file ends
// (past short transfers: signals, the system's per-call cap), so a caller gets fewer bytes than
// it asked for only at the end of the file; the file's size; and, on POSIX, where a name can be
// moved from under an open file, whether a name still names it.
#pragma once

#include <cstdint>
#include <string>

// Reads up to capacity bytes; bytesRead 0 with true means the end of the file. On failure the
// platform's last error (errno, GetLastError) says why; bytesRead holds what came before it.
bool ReadFromHandle(std::intptr_t handle, void* buffer, std::uint32_t capacity,
                    std::uint32_t& bytesRead);

// The size in bytes of the open file; on failure the platform's last error says why.
bool SizeOfHandle(std::intptr_t handle, std::uint64_t& size);

#ifndef _WIN32
// Whether the file at nativePath (the name itself, a link not followed) is the open file. False,
// with errno ENOENT, when the name is gone or names another file.
bool HandleIsNamed(std::intptr_t handle, const std::string& nativePath);
#endif
