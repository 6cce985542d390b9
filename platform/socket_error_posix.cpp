// The thread's socket error on POSIX: a thread_local that plays the part of the Windows Sockets
// per-thread error, and the tables that translate errno, EAI_* and h_errno values into it.
#include <netdb.h>

#include <cerrno>

#include "platform/socket_error.h"
#include "platform/socket_error_map.h"

namespace {

thread_local std::int32_t t_socketError = 0;

struct CErrorPair {
    int posix;
    std::int32_t windows;
};

constexpr CErrorPair kErrnoTable[] = {
    {ENOMEM, kWsaNotEnoughMemory},
    {EINTR, kWsaInterrupted},
    {EBADF, kWsaBadHandle},
    {EACCES, kWsaAccessDenied},
    {EPERM, kWsaAccessDenied},
    {EFAULT, kWsaFault},
    {EINVAL, kWsaInvalidArgument},
    {EMFILE, kWsaTooManyOpenSockets},
    {ENFILE, kWsaTooManyOpenSockets},
    {EAGAIN, kWsaWouldBlock},
    {EWOULDBLOCK, kWsaWouldBlock},
    {EINPROGRESS, kWsaInProgress},
    {EALREADY, kWsaAlready},
    {ENOTSOCK, kWsaNotSocket},
    {EDESTADDRREQ, kWsaDestinationRequired},
    {EMSGSIZE, kWsaMessageSize},
    {EPROTOTYPE, kWsaProtocolType},
    {ENOPROTOOPT, kWsaNoProtocolOption},
    {EPROTONOSUPPORT, kWsaProtocolNotSupported},
    {ESOCKTNOSUPPORT, kWsaSocketTypeNotSupported},
    {EOPNOTSUPP, kWsaOperationNotSupported},
    {EPFNOSUPPORT, kWsaProtocolFamilyNotSupported},
    {EAFNOSUPPORT, kWsaAddressFamilyNotSupported},
    {EADDRINUSE, kWsaAddressInUse},
    {EADDRNOTAVAIL, kWsaAddressNotAvailable},
    {ENETDOWN, kWsaNetworkDown},
    {ENETUNREACH, kWsaNetworkUnreachable},
    {ENETRESET, kWsaNetworkReset},
    {ECONNABORTED, kWsaConnectionAborted},
    {ECONNRESET, kWsaConnectionReset},
    // A send after the peer reset the connection; Windows reports the reset itself.
    {EPIPE, kWsaConnectionReset},
    {ENOBUFS, kWsaNoBufferSpace},
    {EISCONN, kWsaIsConnected},
    {ENOTCONN, kWsaNotConnected},
    {ESHUTDOWN, kWsaShutdown},
    {ETIMEDOUT, kWsaTimedOut},
    {ECONNREFUSED, kWsaConnectionRefused},
    {ENAMETOOLONG, kWsaNameTooLong},
    {EHOSTDOWN, kWsaHostDown},
    {EHOSTUNREACH, kWsaHostUnreachable},
};

}  // namespace

std::int32_t GetSocketError() noexcept {
    return t_socketError;
}

void SetSocketError(std::int32_t code) noexcept {
    t_socketError = code;
}

std::int32_t SocketErrorFromErrno(int error) noexcept {
    for (const auto& pair : kErrnoTable) {
        if (pair.posix == error) {
            return pair.windows;
        }
    }
    return kWsaSystemCallFailure;
}

std::int32_t SocketErrorFromAddrInfo(int result, int savedErrno) noexcept {
    switch (result) {
        case 0:
            return 0;
        case EAI_NONAME:
            return kWsaHostNotFound;
        case EAI_AGAIN:
            return kWsaTryAgain;
        case EAI_FAIL:
            return kWsaNoRecovery;
        case EAI_MEMORY:
            return kWsaNotEnoughMemory;
        case EAI_SERVICE:
            return kWsaTypeNotFound;
        case EAI_FAMILY:
            return kWsaAddressFamilyNotSupported;
        case EAI_SOCKTYPE:
            return kWsaSocketTypeNotSupported;
        case EAI_BADFLAGS:
            return kWsaInvalidArgument;
        case EAI_OVERFLOW:
            return kWsaFault;
        case EAI_SYSTEM:
            return SocketErrorFromErrno(savedErrno);
#ifdef EAI_NODATA
        case EAI_NODATA:
            return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return kWsaNoData;
#endif
        default:
            return kWsaNoRecovery;
    }
}

std::int32_t SocketErrorFromHostLookup(int hostError) noexcept {
    switch (hostError) {
        case TRY_AGAIN:
            return kWsaTryAgain;
        case NO_RECOVERY:
            return kWsaNoRecovery;
        case NO_DATA:
            return kWsaNoData;
        default:
            return kWsaHostNotFound;
    }
}
