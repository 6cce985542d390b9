// CExchangeGuard: the response ceiling, the low-speed limit over one-second slots, and the
// response time, which starts when the last byte of the request went out.
#include "app/exchange_guard.h"

#include <limits>

namespace {

bool ReportSent(std::uint32_t count, std::uintptr_t guard) {
    return reinterpret_cast<CExchangeGuard*>(guard)->OnSent(count);
}

bool ReportRead(std::uint32_t count, std::uintptr_t guard) {
    return reinterpret_cast<CExchangeGuard*>(guard)->OnRead(count);
}

std::uint32_t ReportTimeLeft(std::uintptr_t guard) {
    return reinterpret_cast<CExchangeGuard*>(guard)->TimeLeft();
}

}  // namespace

CExchangeGuard::CExchangeGuard(NowFunction now) : now_(now), start_(now()), lastSent_(start_) {}

void CExchangeGuard::Attach(CRequestSettings& settings) {
    const auto self = reinterpret_cast<std::uintptr_t>(this);
    settings.sendProgress = &ReportSent;
    settings.sendProgressValue = self;
    settings.readProgress = &ReportRead;
    settings.readProgressValue = self;
    settings.timeLeft = &ReportTimeLeft;
    settings.timeLeftValue = self;
}

bool CExchangeGuard::OnSent(std::uint32_t count) {
    const Clock::time_point now = now_();
    if (responding_) {
        return now < responseDeadline_ && Moved(0, now);
    }
    lastSent_ = now;
    return Moved(count, now);
}

bool CExchangeGuard::OnRead(std::uint32_t count) {
    const Clock::time_point now = now_();
    if (!responding_) {
        responding_ = true;
        responseDeadline_ = lastSent_ + kResponseTime;
    }
    received_ += count;
    return received_ <= kMaxResponseBytes && now < responseDeadline_ && Moved(count, now);
}

std::uint32_t CExchangeGuard::TimeLeft() {
    if (!responding_) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(responseDeadline_ - now_());
    return left.count() > 0 ? static_cast<std::uint32_t>(left.count()) : 0;
}

// Adds count to the slot of the current second; once the first kLowSpeedTime is over, the
// slots hold the last kLowSpeedTime and their sum is what that time moved.
bool CExchangeGuard::Moved(std::uint32_t count, Clock::time_point now) {
    const auto elapsed = now - start_;
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
