// CIpLiteral: an IPv4 or IPv6 address read from the text of a host, so that the proxy rules can
// compare a host with the address entries of a bypass list. Reading never resolves anything:
// a text that is not written as an address is a name, however it would resolve.
// - IPv4 is the strict dotted quad, four decimal parts 0..255 without leading zeros (the form
//   inet_pton takes): "127.1", "0x7f.0.0.1" and "127.0.0.01" are names.
// - IPv6 is the RFC 4291 text form: up to eight groups of 1..4 hex digits, one "::" at most,
//   and an optional dotted quad in place of the last two groups. No zone ("%eth0").
// ReadHost also takes an IPv6 address in the brackets of a URL's host.
#pragma once

#include <array>
#include <cstdint>

#include "platform/wide_text.h"

class CIpLiteral {
public:
    enum class Family { kIpv4, kIpv6 };

    // The address that text, without brackets, writes; false for any other text.
    static bool Read(WideView text, CIpLiteral& address);
    // The address of a URL's host as written: an IPv6 address bracketed or not, or IPv4.
    static bool ReadHost(WideView host, CIpLiteral& address);

    Family AddressFamily() const noexcept { return family_; }
    // 32 for IPv4, 128 for IPv6.
    std::uint32_t BitLength() const noexcept { return family_ == Family::kIpv4 ? 32 : 128; }
    // Same family, and the first bits bits are equal (bits at most BitLength()).
    bool SharesPrefix(const CIpLiteral& other, std::uint32_t bits) const noexcept;
    // The IPv4 address an IPv4-mapped IPv6 address (::ffff:a.b.c.d) stands for; false for any
    // other address.
    bool MappedIpv4(CIpLiteral& ipv4) const noexcept;

private:
    Family family_ = Family::kIpv4;
    std::array<std::uint8_t, 16> bytes_ = {};  // IPv4 in the first four
};
