// CIpLiteral: the strict readers of the two address forms and the prefix comparison.
#include "net/proxy/ip_literal.h"

namespace {

bool ReadDottedQuad(WideView text, std::uint8_t* out) noexcept {
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != u'.') {
                return false;
            }
            ++pos;
        }
        const std::size_t start = pos;
        std::uint32_t value = 0;
        while (pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9' && pos - start < 3) {
            value = value * 10 + (text[pos] - u'0');
            ++pos;
        }
        const std::size_t digits = pos - start;
        // A leading zero would be read as octal by other readers: refusing it keeps every
        // reader of the same text on the same address.
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == u'0')) {
            return false;
        }
        out[part] = static_cast<std::uint8_t>(value);
    }
    return pos == text.size();
}

// The groups of one side of "::" (or of a whole address without one), appended to groups; a
// dotted quad may stand for the last two groups where the side ends the address.
bool ReadGroups(WideView side, bool endsAddress, std::uint16_t* groups, int& count) noexcept {
    if (side.empty()) {
        return true;
    }
    // Every turn takes a group or ends the reading, and there are eight groups at most.
    for (std::size_t pos = 0;;) {
        const std::size_t colon = side.find(u':', pos);
        const WideView piece =
            side.substr(pos, colon == WideView::npos ? WideView::npos : colon - pos);
        if (colon == WideView::npos && endsAddress && piece.find(u'.') != WideView::npos) {
            std::uint8_t quad[4];
            if (count > 6 || !ReadDottedQuad(piece, quad)) {
                return false;
            }
            groups[count++] = static_cast<std::uint16_t>(quad[0] << 8 | quad[1]);
            groups[count++] = static_cast<std::uint16_t>(quad[2] << 8 | quad[3]);
            return true;
        }
        if (piece.empty() || piece.size() > 4 || count == 8) {
            return false;
        }
        std::uint16_t value = 0;
        for (const char16_t c : piece) {
            const int digit = AsciiHexValue(c);
            if (digit < 0) {
                return false;
            }
            value = static_cast<std::uint16_t>(value * 16 + digit);
        }
        groups[count++] = value;
        if (colon == WideView::npos) {
            return true;
        }
        pos = colon + 1;
    }
}

bool ReadIpv6(WideView text, std::uint8_t* out) noexcept {
    std::uint16_t head[8] = {}, tail[8] = {};
    int headCount = 0, tailCount = 0;
    const std::size_t gap = text.find(u"::");
    if (gap == WideView::npos) {
        if (!ReadGroups(text, true, head, headCount) || headCount != 8) {
            return false;
        }
    } else if (text.find(u"::", gap + 1) != WideView::npos ||
               !ReadGroups(text.substr(0, gap), false, head, headCount) ||
               !ReadGroups(text.substr(gap + 2), true, tail, tailCount) ||
               headCount + tailCount > 7) {
        return false;
    }
    std::uint16_t all[8] = {};
    for (int i = 0; i < headCount; ++i) {
        all[i] = head[i];
    }
    for (int i = 0; i < tailCount; ++i) {
        all[8 - tailCount + i] = tail[i];
    }
    for (int i = 0; i < 8; ++i) {
        out[2 * i] = static_cast<std::uint8_t>(all[i] >> 8);
        out[2 * i + 1] = static_cast<std::uint8_t>(all[i] & 0xFF);
    }
    return true;
}

}  // namespace

bool CIpLiteral::Read(WideView text, CIpLiteral& address) {
    CIpLiteral read;
    if (ReadDottedQuad(text, read.bytes_.data())) {
        read.family_ = Family::kIpv4;
    } else if (ReadIpv6(text, read.bytes_.data())) {
        read.family_ = Family::kIpv6;
    } else {
        return false;
    }
    address = read;
    return true;
}

bool CIpLiteral::ReadHost(WideView host, CIpLiteral& address) {
    if (host.size() >= 2 && host.front() == u'[' && host.back() == u']') {
        CIpLiteral read;
        if (!Read(host.substr(1, host.size() - 2), read) || read.family_ != Family::kIpv6) {
            return false;
        }
        address = read;
        return true;
    }
    return Read(host, address);
}

bool CIpLiteral::SharesPrefix(const CIpLiteral& other, std::uint32_t bits) const noexcept {
    if (family_ != other.family_ || bits > BitLength()) {
        return false;
    }
    std::uint32_t i = 0;
    for (; bits >= 8; bits -= 8, ++i) {
        if (bytes_[i] != other.bytes_[i]) {
            return false;
        }
    }
    const std::uint8_t mask = static_cast<std::uint8_t>(0xFF00u >> bits);
    return bits == 0 || (bytes_[i] & mask) == (other.bytes_[i] & mask);
}

bool CIpLiteral::MappedIpv4(CIpLiteral& ipv4) const noexcept {
    if (family_ != Family::kIpv6) {
        return false;
    }
    for (int i = 0; i < 10; ++i) {
        if (bytes_[i] != 0) {
            return false;
        }
    }
    if (bytes_[10] != 0xFF || bytes_[11] != 0xFF) {
        return false;
    }
    ipv4 = CIpLiteral();
    for (int i = 0; i < 4; ++i) {
        ipv4.bytes_[i] = bytes_[12 + i];
    }
    return true;
}
