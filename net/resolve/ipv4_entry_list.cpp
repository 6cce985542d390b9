// CIpv4EntryList: datagram twins, the canonical name and the dotted text of an address.
#include "net/resolve/ipv4_entry_list.h"

namespace {

// The socket type of the twins (SOCK_DGRAM on every system).
constexpr int kDatagramSocket = 2;

}  // namespace

void CIpv4EntryList::AddDatagramTwins(std::uint16_t datagramPort) {
    std::vector<CIpv4Entry> alternated;
    alternated.reserve(entries_.size() * 2);
    for (const CIpv4Entry& entry : entries_) {
        alternated.push_back(entry);
        CIpv4Entry twin = entry;
        twin.socketType = kDatagramSocket;
        twin.port = datagramPort;
        alternated.push_back(twin);
    }
    entries_.swap(alternated);
}

void CIpv4EntryList::SetCanonicalName(const std::string& name) {
    canonicalName_ = name;
    hasCanonicalName_ = true;
}

std::string DottedIpv4(const CIpv4Address& address) {
    std::string text;
    for (const std::uint8_t part : address) {
        if (!text.empty()) {
            text += '.';
        }
        text += std::to_string(part);
    }
    return text;
}
