// CRandomDraw: the pseudo-random generator of the Windows C library, on every platform, so a
// seed gives the same draws everywhere: state = state * 214013 + 2531011 (mod 2^32), each
// draw (state >> 16) & 0x7FFF, uniform in 0..32767.
#pragma once

#include <cstdint>

class CRandomDraw {
public:
    static constexpr int kMaximum = 0x7FFF;

    explicit CRandomDraw(std::uint32_t seed) : state_(seed) {}
    int Next();

private:
    std::uint32_t state_;
};
