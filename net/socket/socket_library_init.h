// CSocketLibraryInit: the process-wide start and clean-up of the socket library. There is one
// instance in static storage (SocketLibrary()); it is constant-initialised, so it exists before
// any other start-up code runs. It starts when the first socket object asks, stays started until
// process exit, and is cleaned up then only if it started. A failed start keeps the platform's
// error code as the state and is tried again by the next Start. Not synchronised: sockets are
// made from one thread.
#pragma once

#include <cstdint>

// The platform's start-up (0 or an error code) and clean-up calls.
std::int32_t StartSocketPlatform(std::uint16_t version);
void CleanupSocketPlatform();

class CSocketLibraryInit {
public:
    using StartupFunction = std::int32_t (*)(std::uint16_t version);
    using CleanupFunction = void (*)();

    // Requested library version 2.0, as a version word (major in the low byte).
    static constexpr std::uint16_t kRequestedVersion = 0x0002;
    // The state before any start attempt: not started.
    static constexpr std::int32_t kNotStarted = 10014;

    constexpr CSocketLibraryInit() noexcept
        : CSocketLibraryInit(&StartSocketPlatform, &CleanupSocketPlatform) {}
    // Tests hand in their own calls to watch how often each runs.
    constexpr CSocketLibraryInit(StartupFunction startup, CleanupFunction cleanup) noexcept
        : startup_(startup), cleanup_(cleanup) {}
    ~CSocketLibraryInit();
    CSocketLibraryInit(const CSocketLibraryInit&) = delete;
    CSocketLibraryInit& operator=(const CSocketLibraryInit&) = delete;

    bool Start();
    bool IsStarted() const { return state_ == 0; }
    std::int32_t State() const { return state_; }

private:
    StartupFunction startup_;
    CleanupFunction cleanup_;
    std::int32_t state_ = kNotStarted;
};

// The one process-wide instance.
CSocketLibraryInit& SocketLibrary();
