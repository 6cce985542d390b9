// The tick count on Windows: GetTickCount, milliseconds since system start in 32 bits.
#include <windows.h>

#include "platform/tick_count.h"

std::uint32_t TickCount() {
    return GetTickCount();
}
