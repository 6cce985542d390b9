// CNonSocketHandle on Windows: a manual-reset event object.
#include <windows.h>

#include "tests/support/non_socket_handle.h"

CNonSocketHandle::CNonSocketHandle() {
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event != nullptr) {
        handle_ = reinterpret_cast<SocketHandle>(event);
    }
}

CNonSocketHandle::~CNonSocketHandle() {
    if (handle_ != kInvalidSocket) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

bool CNonSocketHandle::IsOpen() const {
    DWORD flags = 0;
    return GetHandleInformation(reinterpret_cast<HANDLE>(handle_), &flags) != 0;
}
