// Readers for the /proc texts of descriptors and mounts. The kernel writes these texts, yet a
// reader must not trust their shape: a field may be missing on an older kernel, and a path in
// mountinfo may hold any byte but "/" and the zero, escaped or not.
#include "platform/proc_text.h"

#include <algorithm>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal number of the whole text; false for anything else or a value beyond 64 bits.
bool ReadDecimal(std::string_view text, std::uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

// The next field of a blank-separated line; empty once the line is used up.
std::string_view NextField(std::string_view& line) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const std::size_t end = line.find(' ');
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return field;
}

// mountinfo escapes a blank, tab, line end and backslash as a backslash and three octal
// digits; a backslash followed by anything else stands for itself.
std::string Unescaped(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto octal = [&](std::size_t at, char highest) {
            return at < text.size() && text[at] >= '0' && text[at] <= highest;
        };
        if (text[i] == '\\' && octal(i + 1, '3') && octal(i + 2, '7') && octal(i + 3, '7')) {
            plain += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                       (text[i + 3] - '0'));
            i += 3;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

CDescriptorInfo ReadDescriptorInfo(std::string_view text) {
    CDescriptorInfo info;
    for (;;) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            break;
        }
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const std::string_view key = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
        if (key == "ino") {
            info.hasInode = ReadDecimal(value, info.inode);
        } else if (key == "mnt_id") {
            info.hasMountId = ReadDecimal(value, info.mountId);
        }
    }
    return info;
}

bool ReadMountRecord(std::string_view line, CMountRecord& record) {
    const std::string_view mountId = NextField(line);
    NextField(line);  // the parent mount's id
    const std::string_view device = NextField(line);
    const std::string_view root = NextField(line);
    const std::string_view mountPoint = NextField(line);
    const std::size_t colon = device.find(':');
    std::uint64_t major = 0;
    std::uint64_t minor = 0;
    if (mountPoint.empty() || colon == std::string_view::npos ||
        !ReadDecimal(mountId, record.mountId) || !ReadDecimal(device.substr(0, colon), major) ||
        !ReadDecimal(device.substr(colon + 1), minor) || major > UINT32_MAX || minor > UINT32_MAX) {
        return false;
    }
    record.device = major << 32 | minor;
    record.root = Unescaped(root);
    record.mountPoint = Unescaped(mountPoint);
    return true;
}

std::string_view LastComponent(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool LinkMayNameFile(std::string_view linkText, const std::vector<std::string>& names,
                     bool anyPath) {
    constexpr std::string_view kDeleted = " (deleted)";
    if (linkText.empty() || linkText.front() != '/') {
        return false;
    }
    if (anyPath || (linkText.size() >= kDeleted.size() &&
                    linkText.substr(linkText.size() - kDeleted.size()) == kDeleted)) {
        return true;
    }
    const std::string_view last = LastComponent(linkText);
    if (last.empty()) {
        return true;
    }
    for (const std::string& name : names) {
        if (SameIgnoringAsciiCase(last, name)) {
            return true;
        }
    }
    return false;
}
