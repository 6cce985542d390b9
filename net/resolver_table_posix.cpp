// The resolver table on POSIX. The one-time load looks the three entry points up at run time in
// the running program and the libraries it was started with, the C library among them (dlsym);
// if any is missing, the library handle is closed and the built-in rows stay for the life of the
// process. A handle whose entry points are used is never closed. The system's getaddrinfo
// answers in EAI_* values, so the resolve wrapper translates them whenever the row it uses is
// not the built-in one.
#include <dlfcn.h>
#include <netdb.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "net/builtin_resolver.h"
#include "net/resolver_table.h"
#include "platform/socket_error.h"
#include "platform/socket_error_map.h"

namespace {

using ResolveEntry = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
using FreeEntry = void (*)(addrinfo*);

template <typename Function>
ResolverEntry AsRowEntry(Function* function) {
    return reinterpret_cast<ResolverEntry>(function);
}

const CResolverRow kBuiltinRows[kResolverRowCount] = {
    {"getaddrinfo", AsRowEntry(&BuiltinGetAddrInfo)},
    {"getnameinfo", AsRowEntry(&BuiltinGetNameInfo)},
    {"freeaddrinfo", AsRowEntry(&BuiltinFreeAddrInfo)},
};

// The table itself. The mutex makes the one-time load safe from any thread; the cached entry
// points are read without it once set.
std::mutex g_tableMutex;
CResolverRow g_rows[kResolverRowCount] = {kBuiltinRows[0], kBuiltinRows[1], kBuiltinRows[2]};
bool g_loaded = false;
std::atomic<ResolveEntry> g_cachedResolve{nullptr};
std::atomic<FreeEntry> g_cachedFree{nullptr};

void LoadSystemRows() {
    void* library = dlopen(nullptr, RTLD_NOW);
    if (library == nullptr) {
        return;
    }
    ResolverEntry found[kResolverRowCount] = {};
    for (std::size_t row = 0; row < kResolverRowCount; ++row) {
        found[row] = reinterpret_cast<ResolverEntry>(dlsym(library, g_rows[row].name));
        if (found[row] == nullptr) {
            dlclose(library);
            return;
        }
    }
    for (std::size_t row = 0; row < kResolverRowCount; ++row) {
        g_rows[row].entry = found[row];
    }
}

ResolverEntry FetchRow(std::size_t row) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    if (!g_loaded) {
        LoadSystemRows();
        g_loaded = true;
    }
    return g_rows[row].entry;
}

void ResetTable(bool loaded) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    for (std::size_t row = 0; row < kResolverRowCount; ++row) {
        g_rows[row] = kBuiltinRows[row];
    }
    g_loaded = loaded;
    g_cachedResolve = nullptr;
    g_cachedFree = nullptr;
}

}  // namespace

int ResolveThroughTable(const char* host, const char* service, const addrinfo* hints,
                        addrinfo** result) {
    ResolveEntry resolve = g_cachedResolve.load();
    if (resolve == nullptr) {
        resolve = reinterpret_cast<ResolveEntry>(FetchRow(0));
        g_cachedResolve = resolve;
    }
    int code = resolve(host, service, hints, result);
    if (resolve != &BuiltinGetAddrInfo) {
        code = SocketErrorFromAddrInfo(code, errno);
    }
    SetSocketError(code);
    return code;
}

void FreeThroughTable(addrinfo* list) {
    FreeEntry release = g_cachedFree.load();
    if (release == nullptr) {
        release = reinterpret_cast<FreeEntry>(FetchRow(2));
        g_cachedFree = release;
    }
    release(list);
}

CResolverRow ResolverTableRow(std::size_t index) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    return index < kResolverRowCount ? g_rows[index] : CResolverRow{nullptr, nullptr};
}

void SelectResolverForTesting(ResolverChoice choice) {
    ResetTable(choice == ResolverChoice::kBuiltin);
}
