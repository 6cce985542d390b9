// CScratchFile on Windows: CreateFileW with CREATE_NEW and no sharing, marked to be deleted when
// its handle closes, so the file goes with the object, or with the process if it is killed.
// The path reaches the system as UTF-16, as for every other file.
#include <windows.h>

#include "platform/handle_io.h"
#include "platform/nameable_path.h"
#include "platform/scratch_file.h"
#include "platform/wide_call_text.h"

namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

CScratchFile::~CScratchFile() {
    Remove();
}

bool CScratchFile::Fail() {
    lastError_ = GetLastError();
    return false;
}

bool CScratchFile::Create(WideView path) {
    Remove();
    WideString terminated;
    if (!TerminatedPathOf(path, terminated)) {
        SetLastError(ERROR_INVALID_NAME);
        return Fail();
    }
    const HANDLE handle = CreateFileW(
        ToWideCall(terminated.c_str()), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return Fail();
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool CScratchFile::Write(const void* bytes, std::uint32_t count) {
    if (handle_ < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Fail();
    }
    const auto* next = static_cast<const unsigned char*>(bytes);
    for (std::uint32_t left = count; left != 0;) {
        DWORD wrote = 0;
        if (!WriteFile(AsHandle(handle_), next, left, &wrote, nullptr)) {
            return Fail();
        }
        if (wrote == 0) {
            SetLastError(ERROR_DISK_FULL);
            return Fail();
        }
        next += wrote;
        left -= wrote;
    }
    return true;
}

bool CScratchFile::Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (handle_ < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Fail();
    }
    return ReadFromHandle(handle_, buffer, capacity, bytesRead) || Fail();
}

bool CScratchFile::SetPosition(std::uint64_t position) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(position);
    if (handle_ < 0 || to.QuadPart < 0) {
        SetLastError(handle_ < 0 ? ERROR_INVALID_HANDLE : ERROR_NEGATIVE_SEEK);
        return Fail();
    }
    return SetFilePointerEx(AsHandle(handle_), to, nullptr, FILE_BEGIN) || Fail();
}

bool CScratchFile::Position(std::uint64_t& position) {
    LARGE_INTEGER at{};
    if (handle_ < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Fail();
    }
    if (!SetFilePointerEx(AsHandle(handle_), LARGE_INTEGER{}, &at, FILE_CURRENT)) {
        return Fail();
    }
    position = static_cast<std::uint64_t>(at.QuadPart);
    return true;
}

bool CScratchFile::Size(std::uint64_t& size) {
    LARGE_INTEGER bytes{};
    if (handle_ < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Fail();
    }
    if (!GetFileSizeEx(AsHandle(handle_), &bytes)) {
        return Fail();
    }
    size = static_cast<std::uint64_t>(bytes.QuadPart);
    return true;
}

void CScratchFile::Remove() noexcept {
    if (handle_ >= 0) {
        CloseHandle(AsHandle(handle_));
        handle_ = -1;
    }
}
