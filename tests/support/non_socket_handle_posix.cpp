// CNonSocketHandle on POSIX: the read end of a pipe.
#include "tests/support/non_socket_handle.h"

#include <fcntl.h>
#include <unistd.h>

CNonSocketHandle::CNonSocketHandle() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) == 0) {
        handle_ = static_cast<SocketHandle>(ends[0]);
        partner_ = static_cast<SocketHandle>(ends[1]);
    }
}

CNonSocketHandle::~CNonSocketHandle() {
    if (handle_ != kInvalidSocket) {
        close(static_cast<int>(handle_));
        close(static_cast<int>(partner_));
    }
}

bool CNonSocketHandle::IsOpen() const {
    return fcntl(static_cast<int>(handle_), F_GETFD) != -1;
}
