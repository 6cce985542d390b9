// CExclusiveFile on Windows: CreateFileW for reading with share mode 0, so the open fails with
// a sharing violation while anyone else holds the file (this process's other handles
// included), and while this object holds it nobody else can open, move or delete it. Only disk
// files are kept: a device or pipe name could stall a read. A reparse point (a symbolic link or
// junction) is opened as itself and refused, so a file elsewhere is never read through it. Wine
// shows a Unix symbolic link as the plain file it points to and makes no reparse points, so
// there this refusal never comes into play. ReadFile is repeated past short transfers until
// the request is met or the file ends. The file is opened with delete access where the user
// has it, so Remove deletes it through this very handle: there is no moment between closing
// and deleting in which another run could open it.
#include <windows.h>

#include "platform/exclusive_file.h"
#include "platform/handle_io.h"
#include "platform/nameable_path.h"
#include "platform/wide_call_text.h"

namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Open failures that mean nothing of the file's own is at the name.
bool NamesNoRegularFile(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

HANDLE OpenAlone(const WideString& terminated, DWORD access) {
    return CreateFileW(ToWideCall(terminated.c_str()), access, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

CExclusiveFile::~CExclusiveFile() {
    Close();
}

bool CExclusiveFile::Fail() {
    lastError_ = GetLastError();
    return false;
}

bool CExclusiveFile::Open(WideView path) {
    Close();
    foundNoRegularFile_ = false;
    WideString terminated;
    if (!TerminatedPathOf(path, terminated)) {
        SetLastError(ERROR_INVALID_NAME);
        return Fail();
    }
    HANDLE handle = OpenAlone(terminated, GENERIC_READ | DELETE);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        handle = OpenAlone(terminated, GENERIC_READ);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        foundNoRegularFile_ = NamesNoRegularFile(GetLastError());
        return Fail();
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        foundNoRegularFile_ = true;
        SetLastError(ERROR_INVALID_PARAMETER);
    } else if (GetFileInformationByHandle(handle, &information)) {
        if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            path_ = std::move(terminated);
            return true;
        }
        foundNoRegularFile_ = true;
        SetLastError(ERROR_CANT_ACCESS_FILE);
    }
    Fail();
    Close();
    return false;
}

bool CExclusiveFile::Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (handle_ < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Fail();
    }
    return ReadFromHandle(handle_, buffer, capacity, bytesRead) || Fail();
}

bool CExclusiveFile::Rewind() {
    if (handle_ < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Fail();
    }
    LARGE_INTEGER start{};
    return SetFilePointerEx(AsHandle(handle_), start, nullptr, FILE_BEGIN) || Fail();
}

// Marked for deletion through the handle, the file goes when the handle closes. Without delete
// access on the handle, the name is deleted after the close, as any other file is.
bool CExclusiveFile::Remove() {
    if (handle_ < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return Fail();
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    const bool marked = SetFileInformationByHandle(AsHandle(handle_), FileDispositionInfo,
                                                   &disposition, sizeof disposition);
    if (!marked) {
        Fail();
    }
    Close();
    if (marked) {
        return true;
    }
    WideString terminated;
    return (TerminatedPathOf(path_, terminated) && DeleteFileW(ToWideCall(terminated.c_str()))) ||
           Fail();
}

void CExclusiveFile::Close() noexcept {
    if (handle_ >= 0) {
        CloseHandle(AsHandle(handle_));
        handle_ = -1;
    }
}
