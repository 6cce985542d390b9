// SocketHandle: a system socket as the transport holds it. Wide enough for a Windows socket; a
// POSIX descriptor is stored in it as is, so the invalid socket is all ones on both.
#pragma once

#include <cstdint>

using SocketHandle = std::uintptr_t;

constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};
