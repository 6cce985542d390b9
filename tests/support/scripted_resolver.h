// CScriptedResolver: while the object lives, the process-wide resolver table answers one host
// name with addresses of the test's choosing, in the test's order, and every other name as the
// system resolver does. For tests of what a connect does with a name of several addresses (a
// refused one, one that never answers, IPv6 before IPv4) without touching the machine's hosts
// file. One object at a time, made and destroyed while no resolved list is held; the
// destructor lets the next resolution load the system resolver again.
//
// Each address is a numeric text ("127.0.0.3", "::1") and comes with the port asked for, or
// with its own where the entry names one: the listeners of one test cannot all share a port.
// An answer leaves out the addresses of a family other than the one asked for. The code is
// scripted_resolver.inl, compiled by scripted_resolver_posix.cpp and _win32.cpp against their
// own system headers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/socket/socket_library_init.h"

struct CScriptedAddress {
    std::string address;
    std::uint16_t port = 0;  // 0: the port asked for
};

class CScriptedResolver {
public:
    CScriptedResolver(std::string name, std::vector<CScriptedAddress> addresses);
    ~CScriptedResolver();
    CScriptedResolver(const CScriptedResolver&) = delete;
    CScriptedResolver& operator=(const CScriptedResolver&) = delete;

private:
    // Started for the object's lifetime: the answers are made by the system's numeric
    // conversion, which on Windows needs the socket library.
    CSocketLibraryInit library_;
};
