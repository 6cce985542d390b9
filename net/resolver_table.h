// The process-wide resolver table: three rows, "getaddrinfo", "getnameinfo" and "freeaddrinfo",
// that start as the built-in resolver's entry points and are replaced once, all three together,
// by the system's when the one-time load finds all three. The two wrappers below fetch their
// row on first use and remember it; every result they return is a Windows Sockets number.
#pragma once

#include <cstddef>

struct addrinfo;

// Entry points of different types share one row type; each is called through its own type.
using ResolverEntry = void (*)();

struct CResolverRow {
    const char* name;
    ResolverEntry entry;
};

constexpr std::size_t kResolverRowCount = 3;

// The resolve wrapper: the table's "getaddrinfo" (loading the table on first use). Sets the
// thread's socket error to the result, also when it is 0.
int ResolveThroughTable(const char* host, const char* service, const addrinfo* hints,
                        addrinfo** result);
// The free wrapper: the table's "freeaddrinfo", the one that matches the resolve wrapper's.
void FreeThroughTable(addrinfo* list);

// A copy of one row as it stands (index below kResolverRowCount), without loading the table.
CResolverRow ResolverTableRow(std::size_t index);

// For tests only: kBuiltin puts the built-in rows back and marks the table loaded, so the
// process resolves with the built-in resolver; kSystem puts the built-in rows back and lets the
// next use load the system's again. Call it only while no resolved list is held.
enum class ResolverChoice { kBuiltin, kSystem };
void SelectResolverForTesting(ResolverChoice choice);
