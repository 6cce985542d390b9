// CRawSocket: the parts that are the same on every platform.
#include "tests/support/raw_socket.h"

CRawSocket::~CRawSocket() {
    Close();
}

SocketHandle CRawSocket::Release() {
    const SocketHandle released = socket_;
    socket_ = kInvalidSocket;
    return released;
}

SocketHandle CRawSocket::ClosedSocketNumber() {
    CRawSocket made;
    const SocketHandle number = made.Handle();
    made.Close();
    return number;
}
