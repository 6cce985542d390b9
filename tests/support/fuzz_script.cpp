// Fuzz input to scripted reads: a small xorshift generator, seeded from the input, cuts the
// peer's bytes so that every boundary the input can name is reachable.
#include "tests/support/fuzz_script.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr std::size_t kPrefix = 4;

class CCutter {
public:
    explicit CCutter(std::uint8_t seed) : state_(0x9E3779B9u ^ (seed * 0x01000193u)) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

private:
    std::uint32_t state_;
};

}  // namespace

FuzzPlan PlanFuzzConnection(const std::uint8_t* data, std::size_t size,
                            CScriptedConnection& connection) {
    if (size < kPrefix) {
        return FuzzPlan{0, 0, std::string()};
    }
    FuzzPlan plan{data[0], static_cast<std::uint32_t>(data[1] | (data[2] << 8)),
                  std::string(reinterpret_cast<const char*>(data + kPrefix), size - kPrefix)};
    const std::uint8_t split = data[3];
    const std::size_t largest = split % 4 == 0 ? 1 : split % 4 == 1 ? 16 : 4096;
    CCutter cutter(split);
    for (std::size_t at = 0; at < plan.peerBytes.size();) {
        if ((split & 0x80) != 0 && cutter.Next() % 8 == 0) {
            connection.EmptyReads(1);
        }
        const std::size_t piece =
            std::min<std::size_t>(1 + cutter.Next() % largest, plan.peerBytes.size() - at);
        connection.Reply(std::string_view(plan.peerBytes).substr(at, piece));
        at += piece;
    }
    return plan;
}

void RequireFuzzProperty(bool holds) {
    if (!holds) {
        std::abort();
    }
}
