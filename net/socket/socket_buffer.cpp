// CheckSocketBuffers: the argument check every sender of CSocketBuffer arrays makes first.
#include "net/socket/socket_buffer.h"

#include "platform/socket_error.h"

std::int32_t CheckSocketBuffers(const CSocketBuffer* buffers, std::uint32_t count) noexcept {
    if (buffers == nullptr) {
        return count == 0 ? 0 : kWsaFault;
    }
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (buffers[i].buf == nullptr && buffers[i].len != 0) {
            return kWsaFault;
        }
        total += buffers[i].len;
    }
    return total > UINT32_MAX ? kWsaInvalidArgument : 0;
}
