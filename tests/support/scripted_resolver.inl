// The code of CScriptedResolver, written against the system's getaddrinfo, freeaddrinfo,
// addrinfo and sockaddr_storage. Included only by scripted_resolver_posix.cpp and
// scripted_resolver_win32.cpp, after their system headers.
//
// A scripted answer is one block of this file's own (the records and their addresses), kept in
// a registry until its free; any list the registry does not hold came from the system and goes
// back to it. Each address of the script is turned into a socket address by the system's own
// numeric conversion (AI_NUMERICHOST), so IPv4 and IPv6 texts need no parsing here.
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "net/resolve/resolver_table.h"
#include "tests/support/scripted_resolver.h"

namespace {

struct CScriptedAnswer {
    std::vector<addrinfo> records;
    std::vector<sockaddr_storage> addresses;
};

struct CScript {
    std::string name;
    std::vector<CScriptedAddress> addresses;
};

std::mutex g_scriptMutex;
std::unique_ptr<CScript> g_script;
std::map<const addrinfo*, std::unique_ptr<CScriptedAnswer>> g_answers;

// The socket address of one numeric text and port, of either family, with the socket type and
// protocol the system gives it for the hints: 0, or the system's code of its refusal.
int ConvertAddress(const CScriptedAddress& scripted, const char* service, const addrinfo& hints,
                   addrinfo& record, sockaddr_storage& address) {
    const std::string ownPort = std::to_string(scripted.port);
    addrinfo numeric{};
    numeric.ai_flags = AI_NUMERICHOST;
    numeric.ai_socktype = hints.ai_socktype != 0 ? hints.ai_socktype : SOCK_STREAM;
    numeric.ai_protocol = hints.ai_protocol;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(
        scripted.address.c_str(), scripted.port != 0 ? ownPort.c_str() : service, &numeric, &found);
    if (result != 0) {
        return result;
    }
    record = addrinfo{};
    record.ai_family = found->ai_family;
    record.ai_socktype = found->ai_socktype;
    record.ai_protocol = found->ai_protocol;
    record.ai_addrlen = found->ai_addrlen;
    address = sockaddr_storage{};
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    return 0;
}

// Builds the answer of the scripted name: the system's refusal of the first address it cannot
// convert, "no such name" when no address is of the family asked for, else 0 with the list
// registered.
int AnswerScript(const CScript& script, const char* service, const addrinfo* hints,
                 addrinfo** result) {
    const addrinfo asked = hints != nullptr ? *hints : addrinfo{};
    auto answer = std::make_unique<CScriptedAnswer>();
    answer->records.reserve(script.addresses.size());
    answer->addresses.reserve(script.addresses.size());
    for (const CScriptedAddress& scripted : script.addresses) {
        addrinfo record{};
        sockaddr_storage address{};
        if (const int refused = ConvertAddress(scripted, service, asked, record, address)) {
            return refused;
        }
        if (asked.ai_family == 0 || asked.ai_family == record.ai_family) {
            answer->records.push_back(record);
            answer->addresses.push_back(address);
        }
    }
    if (answer->records.empty()) {
        return EAI_NONAME;
    }
    for (std::size_t each = 0; each < answer->records.size(); ++each) {
        addrinfo& record = answer->records[each];
        record.ai_addr = reinterpret_cast<sockaddr*>(&answer->addresses[each]);
        record.ai_next = each + 1 < answer->records.size() ? &answer->records[each + 1] : nullptr;
    }
    *result = answer->records.data();
    g_answers.emplace(*result, std::move(answer));
    return 0;
}

int ScriptedGetAddrInfo(const char* host, const char* service, const addrinfo* hints,
                        addrinfo** result) {
    {
        std::lock_guard<std::mutex> lock(g_scriptMutex);
        if (g_script != nullptr && host != nullptr && g_script->name == host && result != nullptr) {
            *result = nullptr;
            return AnswerScript(*g_script, service, hints, result);
        }
    }
    return getaddrinfo(host, service, hints, result);
}

void ScriptedFreeAddrInfo(addrinfo* list) {
    {
        std::lock_guard<std::mutex> lock(g_scriptMutex);
        if (g_answers.erase(list) != 0) {
            return;
        }
    }
    freeaddrinfo(list);
}

template <typename Function>
ResolverEntry AsRowEntry(Function* function) {
    return reinterpret_cast<ResolverEntry>(function);
}

}  // namespace

CScriptedResolver::CScriptedResolver(std::string name, std::vector<CScriptedAddress> addresses) {
    library_.Start();
    {
        std::lock_guard<std::mutex> lock(g_scriptMutex);
        g_script = std::make_unique<CScript>(CScript{std::move(name), std::move(addresses)});
    }
    const ResolverEntry entries[kResolverRowCount] = {AsRowEntry(&ScriptedGetAddrInfo),
                                                      AsRowEntry(&getnameinfo),
                                                      AsRowEntry(&ScriptedFreeAddrInfo)};
    InstallResolverForTesting(entries);
}

CScriptedResolver::~CScriptedResolver() {
    SelectResolverForTesting(ResolverChoice::kSystem);
    std::lock_guard<std::mutex> lock(g_scriptMutex);
    g_script.reset();
}
