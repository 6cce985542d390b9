// Proxy URLs as the environment names them: host and port forms, credentials and their
// decoding, and the texts that name no usable proxy. Where a row follows or leaves curl
// 7.88.1, the comment says what curl did (measured against a loopback listener).
#include <gtest/gtest.h>

#include "net/proxy/proxy_url.h"
#include "tests/net/proxy_route_text.h"

namespace {

using R = ProxyUrlReading;

TEST(ProxyUrl, Table) {
    const struct {
        const char* name;
        std::u16string text;
        ProxyUrlReading reading;
        std::u16string server = u"";  // RouteText of the proxy read
    } rows[] = {
        {"host and port", u"http://proxy.example:3128", R::kUsable, u"proxy.example:3128"},
        {"no scheme is http", u"proxy.example:3128", R::kUsable, u"proxy.example:3128"},
        {"scheme in upper case", u"HTTP://p:3128", R::kUsable, u"p:3128"},
        {"no port is curl's 1080", u"http://p", R::kUsable, u"p:1080"},
        {"empty port is 1080", u"http://p:", R::kUsable, u"p:1080"},
        {"no scheme, no port", u"10.0.0.1", R::kUsable, u"10.0.0.1:1080"},
        {"path, query and fragment ignored", u"http://p:3128/a/b?q#f", R::kUsable, u"p:3128"},
        {"leading zeros in the port", u"http://p:0080", R::kUsable, u"p:80"},
        {"highest port", u"http://p:65535", R::kUsable, u"p:65535"},
        {"underscore and dash in the name", u"http://a_b-c.example:1", R::kUsable,
         u"a_b-c.example:1"},
        {"IPv6 in brackets", u"http://[::1]:3128", R::kUsable, u"[::1]:3128"},
        {"IPv6 without a port", u"[2001:db8::1]", R::kUsable, u"[2001:db8::1]:1080"},
        {"credentials", u"http://user:pass@p:3128", R::kUsable, u"user:pass@p:3128"},
        {"percent-decoded credentials", u"http://us%65r:p%40ss%3A@p:1", R::kUsable,
         u"user:p@ss:@p:1"},
        {"user alone", u"http://user@p:1", R::kUsable, u"user:@p:1"},
        {"empty password", u"http://user:@p:1", R::kUsable, u"user:@p:1"},
        {"password alone", u"http://:pass@p:1", R::kUsable, u":pass@p:1"},
        {"empty userinfo still sends credentials, as curl", u"http://@p:1", R::kUsable, u":@p:1"},
        {"password holds colons", u"http://a:b:c@p:1", R::kUsable, u"a:b:c@p:1"},
        {"escapes that are none stay", u"http://a%zz:b%4@p:1", R::kUsable, u"a%zz:b%4@p:1"},
        {"UTF-8 escapes", u"http://%C3%A9t%C3%A9:%E2%82%AC@p:1", R::kUsable,
         u"\u00e9t\u00e9:\u20ac@p:1"},
        {"non-ASCII as written", u"http://\u00e9:\U0001F600@p:1", R::kUsable,
         u"\u00e9:\U0001F600@p:1"},
        // curl sends the byte 0xFF itself; UTF-16 credentials hold no such byte.
        {"escape that is no UTF-8", u"http://%FF:x@p:1", R::kUsable, u"\ufffd:x@p:1"},
        // curl ignores these proxies and goes direct, as an unusable proxy does here.
        {"zero byte in the user", u"http://a%00b:c@p:1", R::kMalformed},
        {"line feed in the password", u"http://a:b%0a@p:1", R::kMalformed},
        {"delete in the user", u"http://a%7F:b@p:1", R::kMalformed},
        // curl fails the transfer on these: it cannot read the proxy.
        {"two at signs", u"http://a@b@p:1", R::kMalformed},
        {"blank before", u" http://p:1", R::kMalformed},
        {"blank after", u"http://p:1 ", R::kMalformed},
        {"port 65536", u"http://p:65536", R::kMalformed},
        {"sign before the port", u"http://p:+80", R::kMalformed},
        {"letters after the port", u"http://p:80x", R::kMalformed},
        {"IPv6 without brackets", u"http://::1:3128", R::kMalformed},
        {"scheme-relative", u"//p:1", R::kMalformed},
        // curl connects to port 0 and fails.
        {"port 0", u"http://p:0", R::kMalformed},
        // curl takes a single slash; a proxy URL written so is a typing slip.
        {"one slash after the scheme", u"http:/p:1", R::kMalformed},
        {"no host", u"http://:3128", R::kMalformed},
        {"empty", u"", R::kMalformed},
        {"brackets around a name", u"http://[p]:1", R::kMalformed},
        {"text after the brackets", u"http://[::1]x:1", R::kMalformed},
        {"blank in the name", u"http://p q:1", R::kMalformed},
        {"name too long", u"http://" + std::u16string(254, u'a') + u":1", R::kMalformed},
        // curl speaks TLS or SOCKS to these, or refuses an unknown scheme.
        {"https proxy", u"https://p:1", R::kUnusableScheme},
        {"socks5 proxy", u"socks5://p:1080", R::kUnusableScheme},
        {"socks5h proxy", u"socks5h://p:1080", R::kUnusableScheme},
        {"socks4 proxy", u"SOCKS4://p:1080", R::kUnusableScheme},
        {"unknown scheme", u"foo://p:1", R::kUnusableScheme},
    };
    for (const auto& row : rows) {
        CProxyServer server;
        server.host = u"untouched";
        EXPECT_EQ(ReadProxyUrl(row.text, server), row.reading) << row.name;
        if (row.reading == R::kUsable) {
            EXPECT_EQ(RouteText(CProxyRoute::Through(server)), row.server) << row.name;
        } else {
            EXPECT_EQ(server.host, u"untouched") << row.name;
        }
    }
}

}  // namespace
