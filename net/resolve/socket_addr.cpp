// CSocketAddr, the same on every platform. Host and service are converted whole to the 8-bit
// text of the platform (the thread's ANSI code page on Windows, UTF-8 on POSIX): a fixed
// 2-bytes-per-unit buffer would be too small for UTF-8, which needs up to 3 bytes for one
// UTF-16 unit.
#include "net/resolve/socket_addr.h"

#include <string>

#include "net/resolve/address_records.h"
#include "net/resolve/resolver_table.h"
#include "platform/hresult_exception.h"
#include "platform/socket_error.h"
#include "platform/text_conversion.h"
#include "platform/text_format.h"
#include "platform/wide_text.h"

namespace {

// A decimal int always fits: sign, ten digits and the terminator.
constexpr std::size_t kPortTextCapacity = 12;

// False for a null text or when memory runs out.
bool ToNarrow(const char16_t* text, std::string& narrow) {
    if (text == nullptr) {
        return false;
    }
    try {
        narrow = WideToNarrow(WideView(text));
        return true;
    } catch (const CHresultException&) {
        return false;
    }
}

}  // namespace

CSocketAddr::~CSocketAddr() {
    ReleaseList();
}

void CSocketAddr::ReleaseList() {
    if (list_ != nullptr) {
        FreeThroughTable(list_);
        list_ = nullptr;
    }
}

int CSocketAddr::Resolve(const char16_t* host, const char16_t* service, int flags, int family,
                         int socketType, int protocol) {
    ReleaseList();
    CAddressHints hints;
    hints.flags = flags;
    hints.family = family;
    hints.socketType = socketType;
    hints.protocol = protocol;
    std::string narrowHost;
    std::string narrowService;
    if (!ToNarrow(host, narrowHost) || !ToNarrow(service, narrowService)) {
        SetSocketError(kWsaNotEnoughMemory);
        return -1;
    }
    return ResolveThroughTable(narrowHost.c_str(), narrowService.c_str(), hints, &list_);
}

int CSocketAddr::ResolvePort(const char16_t* host, int port, int flags, int family, int socketType,
                             int protocol) {
    char16_t service[kPortTextCapacity];
    if (!FormatWideInto(service, kPortTextCapacity, u"%d", port)) {
        SetSocketError(kWsaNotEnoughMemory);
        return -1;
    }
    return Resolve(host, service, flags, family, socketType, protocol);
}

addrinfo* CSocketAddr::ResultAt(int index) const {
    if (index < 0) {
        return nullptr;
    }
    addrinfo* entry = list_;
    for (int position = 0; entry != nullptr && position < index; ++position) {
        entry = ViewAddressRecord(entry).next;
    }
    return entry;
}
