// CExchangeGuard: what one upload's exchange with the receiver may cost, enforced through the
// HTTP client's send and read progress callbacks and its time-left callback. The log sender
// never looks at the response, and it talks to whatever answers at its address (a broken proxy,
// a captive portal, a tarpit), so no peer may keep it reading for days or make it hold
// gigabytes:
// - at most kMaxResponseBytes of response, head and body together, are taken in;
// - once kLowSpeedTime has passed since the exchange began, an exchange that moved fewer than
//   kLowSpeedBytes in the last kLowSpeedTime is abandoned, as curl's --speed-limit/--speed-time
//   do. Bytes count when they cross for the first time: the request going out, the response
//   coming in. A request sent again after a redirect repeats what the receiver already had, so
//   it never makes a stalled exchange look alive. A body going out above that rate is never
//   cut, however long the upload takes;
// - once the request has gone out whole (the client reads only then), everything that follows,
//   interim responses, redirects and the requests they repeat, and the final response, is over
//   within kResponseTime, or the exchange is abandoned: no wait outlasts that moment.
// A callback that answers false, or no time left, makes the request fail; the client then
// closes the connection.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

#include "http/request_settings.h"

class CExchangeGuard {
public:
    using Clock = std::chrono::steady_clock;
    using NowFunction = Clock::time_point (*)();

    // A receiver's answer to an upload is a status line and a few headers: a megabyte is far
    // beyond any real one and still small on any machine.
    static constexpr std::uint64_t kMaxResponseBytes = 1024 * 1024;
    // 16 KiB in 30 s, about 550 bytes a second: slower than any working link, the pace of a
    // peer that trickles bytes to hold the connection open.
    static constexpr std::chrono::seconds kLowSpeedTime{30};
    static constexpr std::uint64_t kLowSpeedBytes = 16 * 1024;
    // A receiver answers an upload it has taken in at once; a minute covers a slow server and
    // a redirect or two, and cuts one that drips its answer just above the low-speed rate.
    static constexpr std::chrono::seconds kResponseTime{60};

    // The exchange begins now; tests hand in their own clock.
    explicit CExchangeGuard(NowFunction now = &Clock::now);

    // Points the settings' progress and time-left callbacks at this guard, which must outlive
    // the request.
    void Attach(CRequestSettings& settings);

    // What the callbacks report; false abandons the exchange.
    bool OnSent(std::uint32_t count);
    bool OnRead(std::uint32_t count);
    // Milliseconds the exchange may still wait: no bound while the request goes out the first
    // time (the low-speed rule watches it), then what is left of kResponseTime.
    std::uint32_t TimeLeft();

private:
    // The bytes of each second of the last kLowSpeedTime, by second since the start.
    static constexpr std::size_t kSeconds = static_cast<std::size_t>(kLowSpeedTime.count());

    bool Moved(std::uint32_t count, Clock::time_point now);
    void AdvanceTo(std::int64_t second);

    NowFunction now_;
    Clock::time_point start_;
    Clock::time_point lastSent_;
    // Set by the first response byte: the request has gone out whole, the response time runs.
    bool responding_ = false;
    Clock::time_point responseDeadline_;
    std::uint64_t received_ = 0;
    std::array<std::uint64_t, kSeconds> perSecond_{};
    std::int64_t lastSecond_ = 0;
};
