// CSocketBuffer: one gather-write descriptor, a length and a pointer to that many bytes. Laid out
// like the Windows Sockets buffer descriptor (32-bit length, then the pointer) so the Windows
// build can hand an array of them to the system as it is; and the check every sender makes of
// such an array.
#pragma once

#include <cstdint>

struct CSocketBuffer {
    std::uint32_t len;
    char* buf;
};

// 0 when the descriptors can be sent: each describes real bytes, and a 32-bit count can hold
// their total. Otherwise the Windows Sockets error for the sender's last-error field: 10014
// for a descriptor without bytes behind it, 10022 for a total beyond 32 bits.
std::int32_t CheckSocketBuffers(const CSocketBuffer* buffers, std::uint32_t count) noexcept;
