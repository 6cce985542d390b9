// Fuzz target for the proxy string of Windows's manual setting. Checks that every server it
// names is sound and carries no credentials, that only http and https have one, and that an
// "http=" entry put first decides http alone.
#include <cstddef>
#include <cstdint>

#include "fuzz/proxy_fuzz.h"
#include "net/proxy/proxy_string.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const WideString text = FuzzText(data, size);
    const CProxyString string(text);
    for (const UrlSchemeKind scheme : {SchemeHttp, SchemeHttps}) {
        if (string.ServerFor(scheme)) {
            RequireSoundServer(*string.ServerFor(scheme), false);
        }
    }
    RequireFuzzProperty(!string.ServerFor(SchemeFtp) && !string.ServerFor(SchemeSocks));
    const CProxyString first(u"http=first.test:81;" + text);
    CProxyServer expected;
    expected.host = u"first.test";
    expected.port = 81;
    RequireFuzzProperty(first.ServerFor(SchemeHttp) == expected);
    RequireFuzzProperty(first.ServerFor(SchemeHttps) == string.ServerFor(SchemeHttps));
    return 0;
}
