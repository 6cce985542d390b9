// Translation of the POSIX error vocabularies (errno, getaddrinfo's EAI_* results and the host
// lookup's h_errno) into the Windows Sockets numbers the transport reports on every platform.
// Used by the POSIX side only: the Windows calls report these numbers themselves.
#pragma once

#include <cstdint>

// An errno value; kWsaSystemCallFailure for one without a Windows Sockets counterpart.
std::int32_t SocketErrorFromErrno(int error) noexcept;
// A getaddrinfo result (0 stays 0); savedErrno is errno as the call left it, for EAI_SYSTEM.
std::int32_t SocketErrorFromAddrInfo(int result, int savedErrno) noexcept;
// A gethostbyname failure as h_errno reports it.
std::int32_t SocketErrorFromHostLookup(int hostError) noexcept;
