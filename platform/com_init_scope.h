// CComInitScope: COM initialised on the calling thread, as a single-threaded apartment, for as
// long as the object lives. A thread that already runs COM in another apartment mode keeps it:
// the scope is then usable but leaves that initialisation alone, so the end of the scope never
// uninitialises COM that someone else started. Windows only; nothing else has COM.
#pragma once

#include <cstdint>

class CComInitScope {
public:
    CComInitScope() noexcept;
    ~CComInitScope();
    CComInitScope(const CComInitScope&) = delete;
    CComInitScope& operator=(const CComInitScope&) = delete;

    // Whether COM calls may be made on the thread while the scope lives.
    bool Usable() const noexcept { return usable_ != 0; }

private:
    std::uint32_t usable_ = 0;
    std::uint32_t mustUninitialise_ = 0;
};
