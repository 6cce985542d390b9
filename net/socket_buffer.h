// CSocketBuffer: one gather-write descriptor, a length and a pointer to that many bytes. Laid out
// like the Windows Sockets buffer descriptor (32-bit length, then the pointer) so the Windows
// build can hand an array of them to the system as it is.
#pragma once

#include <cstdint>

struct CSocketBuffer {
    std::uint32_t len;
    char* buf;
};
