// ReadPacAnswer: the entries of a PAC answer into route tries.
#include "net/proxy/pac_answer.h"

#include "net/proxy/list_entries.h"

namespace {

bool IsBlank(char16_t c) noexcept {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

WideView Trimmed(WideView text) noexcept {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The try one entry names; false for an entry this client cannot use.
bool ReadEntry(WideView entry, CProxyTry& try_) {
    std::size_t keywordEnd = 0;
    while (keywordEnd < entry.size() && !IsBlank(entry[keywordEnd])) {
        ++keywordEnd;
    }
    const WideView keyword = entry.substr(0, keywordEnd);
    const WideView server = Trimmed(entry.substr(keywordEnd));
    if (EqualsIgnoringAsciiCase(keyword, u"DIRECT")) {
        try_ = CProxyTry::Direct();
        return server.empty();
    }
    if (!EqualsIgnoringAsciiCase(keyword, u"PROXY") && !EqualsIgnoringAsciiCase(keyword, u"HTTP")) {
        return false;
    }
    CProxyServer read;
    if (!CProxyServer::ReadHostAndPort(server, kPacDefaultPort, read)) {
        return false;
    }
    try_ = CProxyTry::Through(read);
    return true;
}

}  // namespace

CProxyRoute ReadPacAnswer(WideView answer) {
    CProxyRoute route;
    ForEachListEntry(answer, u";", [&route](WideView entry) {
        CProxyTry try_;
        entry = Trimmed(entry);
        if (!entry.empty() && ReadEntry(entry, try_)) {
            route.Append(try_);
        }
    });
    route.Settle();
    return route;
}
