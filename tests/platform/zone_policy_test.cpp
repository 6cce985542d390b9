// Zone check: silent logon for local-machine and intranet hosts only. POSIX decides by the
// host's form. Windows asks the system's URL security manager, and Wine's manager puts every
// http URL, localhost included, in the internet zone, whose policy (0x20000, logon only in the
// intranet zone) refuses; Windows itself would let the local-machine and intranet rows log on
// silently. The Windows column holds what Wine answers; a URL without a host gives no policy.
#include <gtest/gtest.h>

#include "platform/text_conversion.h"
#include "platform/zone_policy.h"
#include "tests/support/platform_expectation.h"

namespace {

enum class Zone { kSilent, kRefused, kNoPolicy };

constexpr std::uint32_t kInternetZonePolicy = 0x00020000;

struct ZoneCase {
    const char16_t* url;
    Zone posix;
    Zone windows;
};

constexpr Zone kSilent = Zone::kSilent;
constexpr Zone kRefused = Zone::kRefused;

TEST(ZonePolicy, SilentLogonOnlyForLocalAndIntranetHosts) {
    const ZoneCase cases[] = {
        {u"http://localhost/", kSilent, kRefused},
        {u"http://LocalHost:8080/x", kSilent, kRefused},
        {u"http://localhost./", kSilent, kRefused},
        {u"http://api.localhost/", kSilent, kRefused},
        {u"http://127.0.0.1/", kSilent, kRefused},
        {u"http://127.255.3.4:81/a?b", kSilent, kRefused},
        {u"http://user:pw@127.0.0.1/", kSilent, kRefused},
        {u"http://[::1]:80/", kSilent, kRefused},
        {u"http://intranet/", kSilent, kRefused},
        {u"http://file-server_2/share", kSilent, kRefused},
        {u"http://0xfoo/", kSilent, kRefused},
        {u"http://example.com/", kRefused, kRefused},
        {u"http://localhost.example.com/", kRefused, kRefused},
        {u"http://notlocalhost/", kSilent, kRefused},
        {u"http://10.0.0.1/", kRefused, kRefused},
        {u"http://128.0.0.1/", kRefused, kRefused},
        {u"http://127.0.0.256/", kRefused, kRefused},
        {u"http://127.0.0/", kRefused, kRefused},
        {u"http://127.0.0.1.5/", kRefused, kRefused},
        {u"http://127.1/", kRefused, kRefused},
        {u"http://2130706433/", kRefused, kRefused},
        {u"http://0x7f000001/", kRefused, kRefused},
        {u"http://0177.0.0.1/", kRefused, kRefused},
        {u"http://localhost@evil.example/", kRefused, kRefused},
        {u"http://u%40h/", kRefused, kRefused},
        {u"http://[::2]/", kRefused, kRefused},
        {u"http:///path", kRefused, Zone::kNoPolicy},
        {u"http:/p", kRefused, Zone::kNoPolicy},
        {u"", kRefused, Zone::kNoPolicy},
    };
    const std::uint32_t refusal =
        OnThisPlatform(kUrlPolicyCredentialsAnonymousOnly, kInternetZonePolicy);
    for (const auto& c : cases) {
        const Zone expected = OnThisPlatform(c.posix, c.windows);
        std::uint32_t policy = 0x1234;
        EXPECT_EQ(QueryUrlCredentialsPolicy(c.url, policy), expected != Zone::kNoPolicy)
            << WideToNarrow(c.url);
        const std::uint32_t wanted = expected == Zone::kSilent ? kUrlPolicyCredentialsSilentLogonOk
                                     : expected == Zone::kRefused ? refusal
                                                                  : 0x1234;
        EXPECT_EQ(policy, wanted) << WideToNarrow(c.url);
    }
}

TEST(ZonePolicy, NullUrlGivesNoPolicy) {
    std::uint32_t policy = 7;
    EXPECT_FALSE(QueryUrlCredentialsPolicy(nullptr, policy));
    EXPECT_EQ(policy, 7u);
}

}  // namespace
