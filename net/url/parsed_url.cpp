// CParsedUrl record: the scheme table, construction, the component setters with their
// capacities, and composing URL text back from the components.
#include "net/url/parsed_url.h"

#include "platform/hresult_exception.h"
#include "platform/text_format.h"
#include "platform/wide_text.h"

namespace {

struct SchemeRow {
    const char16_t* name;
    std::uint32_t length;
    std::uint16_t defaultPort;
};

constexpr SchemeRow kSchemeTable[] = {
    {u"ftp", 3, 21}, {u"gopher", 6, 70}, {u"http", 4, 80},  {u"https", 5, 443},
    {u"file", 4, 0}, {u"news", 4, 0},    {u"mailto", 6, 0}, {u"socks", 5, 1080},
};
constexpr std::int32_t kSchemeCount = sizeof(kSchemeTable) / sizeof(kSchemeTable[0]);

// Stores length units of text and the terminator; false, changing nothing, when the text
// exceeds the field's capacity.
bool StoreField(char16_t* field, std::uint32_t& fieldLength, std::uint32_t capacity,
                const char16_t* text, std::uint32_t length) noexcept {
    if (length > capacity) {
        return false;
    }
    for (std::uint32_t i = 0; i < length; ++i) {
        field[i] = text[i];
    }
    field[length] = 0;
    fieldLength = length;
    return true;
}

std::uint32_t CheckedLength(const char16_t* text) {
    ThrowIfNull(text);
    return static_cast<std::uint32_t>(WideLength(text));
}

// ":<port>" as Compose writes it; false if it cannot be formatted into its 7-unit field.
bool PortText(std::uint16_t port, char16_t (&text)[7]) noexcept {
    try {
        return FormatWideInto(text, 7, u":%d", static_cast<int>(port));
    } catch (...) {
        return false;
    }
}

}  // namespace

std::uint16_t UrlDefaultPort(std::int32_t kind) noexcept {
    return (kind >= 0 && kind < kSchemeCount) ? kSchemeTable[kind].defaultPort : 0;
}

CParsedUrl::CParsedUrl() noexcept {
    Reset();
    SelectScheme(SchemeHttp);
}

void CParsedUrl::Reset() noexcept {
    port = 0;
    schemeKind = SchemeUnknown;
    schemeLength = hostLength = userLength = passwordLength = pathLength = queryLength = 0;
    schemeText[0] = host[0] = user[0] = password[0] = path[0] = query[0] = 0;
}

bool CParsedUrl::SelectScheme(std::int32_t kind) noexcept {
    if (kind < 0 || kind >= kSchemeCount) {
        return false;
    }
    const SchemeRow& row = kSchemeTable[kind];
    schemeKind = static_cast<UrlSchemeKind>(kind);
    StoreField(schemeText, schemeLength, kMaxSchemeLength, row.name, row.length);
    port = row.defaultPort;
    return true;
}

bool CParsedUrl::SetSchemeText(const char16_t* text) {
    const std::uint32_t length = CheckedLength(text);
    const WideView name(text, length);
    for (std::int32_t kind = 0; kind < kSchemeCount; ++kind) {
        const SchemeRow& row = kSchemeTable[kind];
        if (EqualsIgnoringAsciiCase(name, WideView(row.name, row.length))) {
            schemeKind = static_cast<UrlSchemeKind>(kind);
            port = row.defaultPort;
            return StoreField(schemeText, schemeLength, kMaxSchemeLength, text, row.length);
        }
    }
    // An unknown scheme marks the record unknown even when its name is too long to keep; the
    // stored length stays in step with the stored text so composing never reads past it.
    schemeKind = SchemeUnknown;
    if (length > kMaxSchemeLength) {
        return false;
    }
    port = 0;
    return StoreField(schemeText, schemeLength, kMaxSchemeLength, text, length);
}

bool CParsedUrl::SetHost(const char16_t* text) {
    return StoreField(host, hostLength, kMaxHostLength, text, CheckedLength(text));
}

bool CParsedUrl::SetPort(std::uint16_t value) noexcept {
    port = value;
    return true;
}

bool CParsedUrl::SetUserText(const char16_t* text) {
    return StoreField(user, userLength, kMaxUserLength, text, CheckedLength(text));
}

bool CParsedUrl::SetPasswordText(const char16_t* text) {
    const std::uint32_t length = CheckedLength(text);
    if (length != 0 && userLength == 0) {
        return false;  // a password belongs to a user
    }
    return StoreField(password, passwordLength, kMaxPasswordLength, text, length);
}

bool CParsedUrl::SetPath(const char16_t* text) {
    return StoreField(path, pathLength, kMaxPathLength, text, CheckedLength(text));
}

bool CParsedUrl::SetQuery(const char16_t* text) {
    return StoreField(query, queryLength, kMaxQueryLength, text, CheckedLength(text));
}

std::uint32_t CParsedUrl::ComposedLength() const noexcept {
    std::uint32_t length = schemeLength + 1 + (schemeKind == SchemeMailto ? 0 : 2);
    if (userLength != 0) {
        length += userLength + 1;
    }
    if (passwordLength != 0) {
        length += passwordLength + 1;
    }
    length += hostLength;
    if (hostLength != 0 && pathLength != 0 && path[0] != u'/' && path[0] != u'\\') {
        length += 1;
    }
    char16_t portText[7];
    if (port != UrlDefaultPort(schemeKind) && PortText(port, portText)) {
        length += static_cast<std::uint32_t>(WideLength(portText));
    }
    return length + pathLength + queryLength;
}

bool CParsedUrl::Compose(char16_t* buffer, std::uint32_t* capacity) const noexcept {
    if (capacity == nullptr) {
        return false;
    }
    const std::uint32_t callerCapacity = *capacity;
    const std::uint32_t length = ComposedLength();
    *capacity = length + 1;
    if (buffer == nullptr || length + 1 > callerCapacity) {
        return false;
    }
    char16_t portText[7];
    if (!PortText(port, portText)) {
        return false;
    }
    std::uint32_t at = 0;
    const auto put = [&](const char16_t* text, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count; ++i) {
            buffer[at++] = text[i];
        }
    };
    if (schemeLength != 0) {
        put(schemeText, schemeLength);
        put(schemeKind == SchemeMailto ? u":" : u"://", schemeKind == SchemeMailto ? 1 : 3);
    }
    if (userLength != 0) {
        put(user, userLength);
        if (passwordLength != 0) {
            put(u":", 1);
            put(password, passwordLength);
        }
        put(u"@", 1);
    }
    if (hostLength != 0) {
        put(host, hostLength);
        if (port != UrlDefaultPort(schemeKind)) {
            put(portText, static_cast<std::uint32_t>(WideLength(portText)));
        }
        if (pathLength != 0 && path[0] != u'/' && path[0] != u'\\') {
            put(u"/", 1);
        }
    }
    put(path, pathLength);
    put(query, queryLength);
    buffer[at] = 0;
    *capacity = length;
    return true;
}
