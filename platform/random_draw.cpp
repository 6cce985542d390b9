// The linear congruential draw; unsigned arithmetic gives the mod 2^32 wrap.
#include "platform/random_draw.h"

int CRandomDraw::Next() {
    state_ = state_ * 214013U + 2531011U;
    return static_cast<int>((state_ >> 16) & 0x7FFFU);
}
