// CExchangeGuard: the response ceiling and the low-speed limit over one-second slots.
#include "app/exchange_guard.h"

namespace {

bool ReportSent(std::uint32_t count, std::uintptr_t guard) {
    return reinterpret_cast<CExchangeGuard*>(guard)->OnSent(count);
}

bool ReportRead(std::uint32_t count, std::uintptr_t guard) {
    return reinterpret_cast<CExchangeGuard*>(guard)->OnRead(count);
}

}  // namespace

CExchangeGuard::CExchangeGuard(NowFunction now) : now_(now), start_(now()) {}

void CExchangeGuard::Attach(CRequestSettings& settings) {
    const auto self = reinterpret_cast<std::uintptr_t>(this);
    settings.sendProgress = &ReportSent;
    settings.sendProgressValue = self;
    settings.readProgress = &ReportRead;
    settings.readProgressValue = self;
}

bool CExchangeGuard::OnSent(std::uint32_t count) {
    return Moved(count);
}

bool CExchangeGuard::OnRead(std::uint32_t count) {
    received_ += count;
    return received_ <= kMaxResponseBytes && Moved(count);
}

// Adds count to the slot of the current second; once the first kLowSpeedTime is over, the
// slots hold the last kLowSpeedTime and their sum is what that time moved.
bool CExchangeGuard::Moved(std::uint32_t count) {
    const auto elapsed = now_() - start_;
    const std::int64_t second = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    AdvanceTo(second);
    perSecond_[static_cast<std::size_t>(second) % kSeconds] += count;
    if (elapsed < kLowSpeedTime) {
        return true;
    }
    std::uint64_t moved = 0;
    for (const std::uint64_t bytes : perSecond_) {
        moved += bytes;
    }
    return moved >= kLowSpeedBytes;
}

// Empties the slots of the seconds between the last report and this one.
void CExchangeGuard::AdvanceTo(std::int64_t second) {
    if (second <= lastSecond_) {
        return;
    }
    const std::int64_t passed = second - lastSecond_;
    for (std::int64_t step = 1; step <= passed && step <= static_cast<std::int64_t>(kSeconds);
         ++step) {
        perSecond_[static_cast<std::size_t>(lastSecond_ + step) % kSeconds] = 0;
    }
    lastSecond_ = second;
}
