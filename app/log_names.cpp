// Log names: formatting, the rotated-name pattern, and the identifier a name carries, read as
// the C library's wide-string-to-integer conversion reads it.
#include "app/log_names.h"

#include <algorithm>
#include <limits>

#include "platform/text_format.h"

namespace {

constexpr WideView kPrefix = u"OmbrixLog";
constexpr std::size_t kSweepPrefixLength = 10;  // "OmbrixLog."

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool IsWhiteSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool EndsWith(WideView text, WideView end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Where the identifier field of a rotated log name begins; npos for any other name.
std::size_t RotatedIdentifierStart(WideView name) {
    if (name.substr(0, kPrefix.size()) != kPrefix) {
        return WideView::npos;
    }
    std::size_t at = kPrefix.size();
    while (at < name.size() && IsDigit(name[at])) {
        ++at;
    }
    if (at == kPrefix.size() || at >= name.size() || name[at] != u'.') {
        return WideView::npos;
    }
    const WideView rest = name.substr(at + 1);
    for (const char16_t* kind : {u".Streamer.log", u".Runner.log"}) {
        const WideView end(kind);
        if (rest.size() > end.size() && EndsWith(rest, end)) {
            return at + 1;
        }
    }
    return WideView::npos;
}

// The decimal number at the start of text, saturating like the C library's conversion, so a
// long digit run never wraps round to the identifier of some running process.
std::uint32_t LeadingNumber(WideView text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsWhiteSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    const std::int64_t limit = negative ? -std::int64_t{std::numeric_limits<std::int32_t>::min()}
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        value = std::min(limit, value * 10 + (text[pos] - u'0'));
    }
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(negative ? -value : value));
}

}  // namespace

WideString CurrentLogName(const char16_t* kind, const WideString& logId) {
    return FormatWide(u"OmbrixLog.%s.%s.log", logId, kind);
}

WideString RotatedLogName(int number, const char16_t* kind, const WideString& logId) {
    return FormatWide(u"OmbrixLog%02d.%s.%s.log", number, logId, kind);
}

bool IsRotatedLogName(WideView name) {
    return RotatedIdentifierStart(name) != WideView::npos;
}

bool IsLeftOverArchiveName(WideView name) {
    return EndsWith(name, u".zip");
}

std::uint32_t ProcessIdOfLogName(WideView name) {
    const std::size_t rotated = RotatedIdentifierStart(name);
    const std::size_t start =
        rotated != WideView::npos ? rotated : std::min(name.size(), kSweepPrefixLength);
    return LeadingNumber(name.substr(start));
}
