// CParsedUrl: an absolute URL split into scheme, user, password, host, port, path and query,
// each held in a fixed-size UTF-16 field inside the record (the record never allocates), with
// the scheme recognised against a table of eight known schemes. Parse splits URL text, Compose
// writes it back; EscapeUrlText turns caller URL text into the escaped form that Parse takes.
#pragma once

#include <cstdint>

enum UrlSchemeKind : std::int32_t {
    SchemeUnknown = -1,
    SchemeFtp = 0,
    SchemeGopher = 1,
    SchemeHttp = 2,
    SchemeHttps = 3,
    SchemeFile = 4,
    SchemeNews = 5,
    SchemeMailto = 6,
    SchemeSocks = 7,
};

// Default port of a scheme kind; 0 for any kind outside the table.
std::uint16_t UrlDefaultPort(std::int32_t kind) noexcept;

// Writes the escaped form of text into output (capacity in characters, terminator included).
// Before the first "?" or "#", every byte of the text's UTF-8 form that is neither "%" nor a
// safe byte becomes "%xx"; from that mark on the text is copied unchanged. False when the result
// does not fit or memory runs out. A null text or output raises CHresultException(E_FAIL).
bool EscapeUrlText(const char16_t* text, char16_t* output, std::uint32_t capacity);

class CParsedUrl {
public:
    static constexpr std::uint32_t kMaxSchemeLength = 32;
    static constexpr std::uint32_t kMaxHostLength = 256;
    static constexpr std::uint32_t kMaxUserLength = 128;
    static constexpr std::uint32_t kMaxPasswordLength = 128;
    static constexpr std::uint32_t kMaxPathLength = 2048;
    static constexpr std::uint32_t kMaxQueryLength = 2048;

    CParsedUrl() noexcept;
    CParsedUrl(const CParsedUrl&) = default;
    CParsedUrl& operator=(const CParsedUrl&) = default;

    void Reset() noexcept;
    // Splits text into the record; on failure the record is left empty and false returned.
    // A null text raises CHresultException(E_FAIL).
    bool Parse(const char16_t* text);
    // Characters Compose needs, terminator not counted.
    std::uint32_t ComposedLength() const noexcept;
    // capacity is in and out, in characters. With a null buffer or a too small capacity the
    // call returns false and leaves the needed size (terminator included) in *capacity; on
    // success it leaves the composed length (terminator not included).
    bool Compose(char16_t* buffer, std::uint32_t* capacity) const noexcept;

    bool SelectScheme(std::int32_t kind) noexcept;
    bool SetSchemeText(const char16_t* text);
    UrlSchemeKind SchemeKind() const noexcept { return schemeKind; }
    const char16_t* SchemeText() const noexcept { return schemeText; }
    std::uint32_t SchemeLength() const noexcept { return schemeLength; }

    const char16_t* Host() const noexcept { return host; }
    std::uint32_t HostLength() const noexcept { return hostLength; }
    bool SetHost(const char16_t* text);

    std::uint16_t Port() const noexcept { return port; }
    bool SetPort(std::uint16_t value) noexcept;

    const char16_t* UserText() const noexcept { return user; }
    std::uint32_t UserLength() const noexcept { return userLength; }
    bool SetUserText(const char16_t* text);

    const char16_t* PasswordText() const noexcept { return password; }
    std::uint32_t PasswordLength() const noexcept { return passwordLength; }
    bool SetPasswordText(const char16_t* text);

    const char16_t* Path() const noexcept { return path; }
    std::uint32_t PathLength() const noexcept { return pathLength; }
    bool SetPath(const char16_t* text);

    const char16_t* Query() const noexcept { return query; }
    std::uint32_t QueryLength() const noexcept { return queryLength; }
    bool SetQuery(const char16_t* text);

private:
    class CParser;

    char16_t schemeText[kMaxSchemeLength + 1];
    char16_t host[kMaxHostLength + 1];
    char16_t user[kMaxUserLength + 1];
    char16_t password[kMaxPasswordLength + 1];
    char16_t path[kMaxPathLength + 1];
    char16_t query[kMaxQueryLength + 1];
    std::uint16_t port;
    UrlSchemeKind schemeKind;
    std::uint32_t schemeLength;
    std::uint32_t hostLength;
    std::uint32_t userLength;
    std::uint32_t passwordLength;
    std::uint32_t pathLength;
    std::uint32_t queryLength;
};
