// The process-wide resolver table: three rows, "getaddrinfo", "getnameinfo" and "freeaddrinfo",
// that start as the built-in resolver's entry points and are replaced once, all three together,
// by the system's when the one-time load finds all three. The two wrappers below fetch their
// row on first use and remember it; every result they return is a Windows Sockets number.
// The table and the wrappers are resolver_table.cpp; the load and the reading of the system
// resolver's results are the platform halves (resolver_table_posix.cpp, _win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/resolve/builtin_resolver.h"

struct addrinfo;

// Entry points of different types share one row type; each is called through its own type.
using ResolverEntry = void (*)();

struct CResolverRow {
    const char* name;
    ResolverEntry entry;
};

constexpr std::size_t kResolverRowCount = 3;
constexpr const char* kResolverRowNames[kResolverRowCount] = {"getaddrinfo", "getnameinfo",
                                                              "freeaddrinfo"};

// The resolve wrapper: the table's "getaddrinfo" (loading the table on first use), with a hint
// record holding the four values. Sets the thread's socket error to the result, also when it
// is 0.
int ResolveThroughTable(const char* host, const char* service, const CAddressHints& hints,
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
// For tests only: puts entries (a getaddrinfo, getnameinfo and freeaddrinfo, in the rows'
// order) into the rows and marks the table loaded, so that every resolution of the process
// goes through them until SelectResolverForTesting; their results are read as the system
// resolver's. Lets a test answer a name with addresses of its choosing without touching the
// machine's hosts file. Call it only while no resolved list is held.
void InstallResolverForTesting(const ResolverEntry (&entries)[kResolverRowCount]);

// The system's three entry points, in the rows' order, from library (a library handle, or null
// for none) into found, and true; when any is missing, the library is closed and found left
// as it was. A library whose entry points are taken stays open for the life of the process.
bool TakeSystemResolverEntries(void* library, ResolverEntry (&found)[kResolverRowCount]);

// The platform half: the library that offers the system resolver, or null; one entry point of
// it; closing it; the Windows Sockets number of a result of the system's getaddrinfo (savedErrno
// is errno as the call left it).
void* OpenSystemResolverLibrary();
ResolverEntry FindSystemResolverEntry(void* library, const char* name);
void CloseSystemResolverLibrary(void* library);
std::int32_t SystemResolverResult(int result, int savedErrno);

#ifdef _WIN32
// OpenSystemResolverLibrary from folder (the system folder there): "ws2_32", else "wship6",
// each only if it offers getaddrinfo. Open to tests, which point it at other folders.
void* OpenSystemResolverLibraryFrom(const char* folder);
#endif
