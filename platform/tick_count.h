// Milliseconds since an arbitrary fixed point (system start), in 32 bits: it wraps about
// every 49.7 days. Used only to seed the pseudo-random draw.
#pragma once

#include <cstdint>

std::uint32_t TickCount();
