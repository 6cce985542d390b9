// Fuzz target for the built-in resolver: arbitrary hints, host and service texts, answered by
// scripted name services derived from the input (no system lookups), so alias chains of any
// shape occur. Checks that every result is either a failure with no list or a well-formed list
// of IPv4 entries, and that the list is released cleanly.
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "net/resolve/builtin_resolver.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Names ending in a digit answer with that many addresses; every other name is an alias of
// itself without its first character, so chains shrink to the empty name.
std::int32_t DerivedHost(const char* name, CHostAnswer& answer) {
    const std::size_t length = std::strlen(name);
    if (length == 0) {
        return 11001;
    }
    answer.addressType = AF_INET;
    answer.addressLength = 4;
    const char last = name[length - 1];
    if (last >= '0' && last <= '9') {
        for (char i = '0'; i < last; ++i) {
            answer.addresses.emplace_back(4, i);
        }
    }
    answer.officialName = name + 1;
    return 0;
}

std::int32_t DerivedPort(const char* name, const char* protocol) {
    const std::size_t length = std::strlen(name);
    if (length % 3 == 0) {
        return -1;
    }
    return static_cast<std::int32_t>((length * 7 + std::strlen(protocol)) & 0xFFFF);
}

constexpr CResolverLookups kDerived = {&DerivedHost, &DerivedPort};

// Takes the next zero-terminated piece of the input; a piece that is just "~" is a null text.
const char* TakeText(const std::string& input, std::size_t& position, std::string& out) {
    const std::size_t end = input.find('\0', position);
    out = input.substr(position, end == std::string::npos ? std::string::npos : end - position);
    position = end == std::string::npos ? input.size() : end + 1;
    return out == "~" ? nullptr : out.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) {
        return 0;
    }
    addrinfo hints{};
    hints.ai_flags = static_cast<std::int8_t>(data[0]);
    hints.ai_family = static_cast<std::int8_t>(data[1]);
    hints.ai_socktype = static_cast<std::int8_t>(data[2]);
    hints.ai_protocol = static_cast<std::int8_t>(data[3]);
    const bool useHints = (data[4] & 1) != 0;
    const std::string input(reinterpret_cast<const char*>(data + 8), size - 8);
    std::size_t position = 0;
    std::string hostText;
    std::string serviceText;
    const char* host = TakeText(input, position, hostText);
    const char* service = TakeText(input, position, serviceText);

    addrinfo* list = nullptr;
    const int result =
        BuiltinResolveWith(kDerived, host, service, useHints ? &hints : nullptr, &list);
    Require((result == 0) == (list != nullptr));
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        Require(entry->ai_family == AF_INET && entry->ai_addrlen == sizeof(sockaddr_in));
        Require(entry->ai_addr != nullptr && entry->ai_addr->sa_family == AF_INET);
        Require(entry->ai_socktype >= 0 && entry->ai_socktype <= SOCK_RAW);
    }
    BuiltinFreeAddrInfo(list);
    return 0;
}
