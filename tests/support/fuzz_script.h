// Turns fuzz input into a scripted connection: the first bytes choose the request flags, the
// read block size and how the rest is split into reads (whole, one byte per read, small or
// large pieces, with empty reads in between); the rest is what the peer sends. The targets
// that play such a connection check their properties with RequireFuzzProperty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tests/support/scripted_socket.h"

struct FuzzPlan {
    std::uint32_t flags;
    std::uint32_t readBlockSize;
    std::string peerBytes;
};

// Reads the four-byte prefix (flags, block size low and high byte, split choice) and plays
// the remaining bytes into connection. Inputs shorter than the prefix give an empty plan.
FuzzPlan PlanFuzzConnection(const std::uint8_t* data, std::size_t size,
                            CScriptedConnection& connection);

// Aborts, which the fuzzer reports as a finding with the input, when a property fails.
void RequireFuzzProperty(bool holds);
