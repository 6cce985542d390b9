// The resolver table's platform half on Windows: the system resolver comes from the system
// folder's ws2_32 library, or from wship6 where ws2_32 lacks getaddrinfo (Windows before XP
// shipped it in that add-on only). It answers in Windows Sockets numbers already.
#include <windows.h>

#include <cstdio>

#include "net/resolve/resolver_table.h"

namespace {

// The system folder's path, and that path with a library name behind it.
constexpr std::size_t kFolderCapacity = 260;
constexpr std::size_t kLibraryPathCapacity = 268;

// The library folder\name if it loads and offers getaddrinfo, else null (released).
HMODULE LoadResolverLibrary(const char* folder, const char* name) {
    char path[kLibraryPathCapacity];
    const int length = std::snprintf(path, sizeof(path), "%s\\%s", folder, name);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof(path)) {
        return nullptr;
    }
    HMODULE library = LoadLibraryA(path);
    if (library != nullptr && GetProcAddress(library, kResolverRowNames[0]) == nullptr) {
        FreeLibrary(library);
        library = nullptr;
    }
    return library;
}

}  // namespace

void* OpenSystemResolverLibraryFrom(const char* folder) {
    HMODULE library = LoadResolverLibrary(folder, "ws2_32");
    return library != nullptr ? library : LoadResolverLibrary(folder, "wship6");
}

void* OpenSystemResolverLibrary() {
    char folder[kFolderCapacity];
    const UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder)) {
        return nullptr;
    }
    return OpenSystemResolverLibraryFrom(folder);
}

ResolverEntry FindSystemResolverEntry(void* library, const char* name) {
    return reinterpret_cast<ResolverEntry>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseSystemResolverLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

std::int32_t SystemResolverResult(int result, int) {
    return result;
}
