// The resolver table: the rows, the one-time load, the two cached entry points and the testing
// hooks. The mutex makes the one-time load safe from any thread; the cached entry points are
// read without it once set.
#include "net/resolve/resolver_table.h"

#include <atomic>
#include <cerrno>
#include <mutex>

#include "net/resolve/address_records.h"
#include "platform/socket_error.h"

namespace {

using FreeEntry = void (*)(addrinfo*);

template <typename Function>
ResolverEntry AsRowEntry(Function* function) {
    return reinterpret_cast<ResolverEntry>(function);
}

const CResolverRow kBuiltinRows[kResolverRowCount] = {
    {kResolverRowNames[0], AsRowEntry(&BuiltinGetAddrInfo)},
    {kResolverRowNames[1], AsRowEntry(&BuiltinGetNameInfo)},
    {kResolverRowNames[2], AsRowEntry(&BuiltinFreeAddrInfo)},
};

std::mutex g_tableMutex;
CResolverRow g_rows[kResolverRowCount] = {kBuiltinRows[0], kBuiltinRows[1], kBuiltinRows[2]};
bool g_loaded = false;
std::atomic<ResolveFunction> g_cachedResolve{nullptr};
std::atomic<FreeEntry> g_cachedFree{nullptr};

ResolverEntry FetchRow(std::size_t row) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    if (!g_loaded) {
        ResolverEntry found[kResolverRowCount] = {};
        if (TakeSystemResolverEntries(OpenSystemResolverLibrary(), found)) {
            for (std::size_t each = 0; each < kResolverRowCount; ++each) {
                g_rows[each].entry = found[each];
            }
        }
        g_loaded = true;
    }
    return g_rows[row].entry;
}

// Puts entries into the rows (their names stay); loaded false lets the next use load the
// system's entry points over them.
void SetRows(const ResolverEntry (&entries)[kResolverRowCount], bool loaded) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    for (std::size_t row = 0; row < kResolverRowCount; ++row) {
        g_rows[row].entry = entries[row];
    }
    g_loaded = loaded;
    g_cachedResolve = nullptr;
    g_cachedFree = nullptr;
}

}  // namespace

bool TakeSystemResolverEntries(void* library, ResolverEntry (&found)[kResolverRowCount]) {
    if (library == nullptr) {
        return false;
    }
    ResolverEntry entries[kResolverRowCount] = {};
    for (std::size_t row = 0; row < kResolverRowCount; ++row) {
        entries[row] = FindSystemResolverEntry(library, kResolverRowNames[row]);
        if (entries[row] == nullptr) {
            CloseSystemResolverLibrary(library);
            return false;
        }
    }
    for (std::size_t row = 0; row < kResolverRowCount; ++row) {
        found[row] = entries[row];
    }
    return true;
}

int ResolveThroughTable(const char* host, const char* service, const CAddressHints& hints,
                        addrinfo** result) {
    ResolveFunction resolve = g_cachedResolve.load();
    if (resolve == nullptr) {
        resolve = reinterpret_cast<ResolveFunction>(FetchRow(0));
        g_cachedResolve = resolve;
    }
    int code = ResolveWithHints(resolve, host, service, hints, result);
    if (resolve != &BuiltinGetAddrInfo) {
        code = SystemResolverResult(code, errno);
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
    const ResolverEntry builtin[kResolverRowCount] = {kBuiltinRows[0].entry, kBuiltinRows[1].entry,
                                                      kBuiltinRows[2].entry};
    SetRows(builtin, choice == ResolverChoice::kBuiltin);
}

void InstallResolverForTesting(const ResolverEntry (&entries)[kResolverRowCount]) {
    SetRows(entries, true);
}
