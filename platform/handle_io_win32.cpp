// The handle helpers on Windows: ReadFile repeated after short transfers, and GetFileSizeEx.
#include <windows.h>

#include "platform/handle_io.h"

bool ReadFromHandle(std::intptr_t handle, void* buffer, std::uint32_t capacity,
                    std::uint32_t& bytesRead) {
    bytesRead = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (bytesRead < capacity) {
        DWORD got = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle), bytes + bytesRead, capacity - bytesRead,
                      &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            break;
        }
        bytesRead += got;
    }
    return true;
}

bool SizeOfHandle(std::intptr_t handle, std::uint64_t& size) {
    LARGE_INTEGER bytes{};
    if (!GetFileSizeEx(reinterpret_cast<HANDLE>(handle), &bytes)) {
        return false;
    }
    size = static_cast<std::uint64_t>(bytes.QuadPart);
    return true;
}
