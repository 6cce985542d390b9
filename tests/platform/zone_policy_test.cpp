// Zone check: silent logon for local-machine and intranet hosts only.
#include <gtest/gtest.h>

#include "platform/text_conversion.h"
#include "platform/zone_policy.h"

namespace {

struct ZoneCase {
    const char16_t* url;
    bool silent;
};

TEST(ZonePolicy, SilentLogonOnlyForLocalAndIntranetHosts) {
    const ZoneCase cases[] = {
        {u"http://localhost/", true},
        {u"http://LocalHost:8080/x", true},
        {u"http://localhost./", true},
        {u"http://api.localhost/", true},
        {u"http://127.0.0.1/", true},
        {u"http://127.255.3.4:81/a?b", true},
        {u"http://user:pw@127.0.0.1/", true},
        {u"http://[::1]:80/", true},
        {u"http://intranet/", true},
        {u"http://file-server_2/share", true},
        {u"http://0xfoo/", true},
        {u"http://example.com/", false},
        {u"http://localhost.example.com/", false},
        {u"http://notlocalhost/", true},
        {u"http://10.0.0.1/", false},
        {u"http://128.0.0.1/", false},
        {u"http://127.0.0.256/", false},
        {u"http://127.0.0/", false},
        {u"http://127.0.0.1.5/", false},
        {u"http://127.1/", false},
        {u"http://2130706433/", false},
        {u"http://0x7f000001/", false},
        {u"http://0177.0.0.1/", false},
        {u"http://localhost@evil.example/", false},
        {u"http://u%40h/", false},
        {u"http://[::2]/", false},
        {u"http:///path", false},
        {u"http:/p", false},
        {u"", false},
    };
    for (const auto& c : cases) {
        std::uint32_t policy = 0x1234;
        ASSERT_TRUE(QueryUrlCredentialsPolicy(c.url, policy)) << WideToNarrow(c.url);
        EXPECT_EQ(policy == kUrlPolicyCredentialsSilentLogonOk, c.silent) << WideToNarrow(c.url);
        if (!c.silent) {
            EXPECT_EQ(policy, kUrlPolicyCredentialsAnonymousOnly) << WideToNarrow(c.url);
        }
    }
}

TEST(ZonePolicy, NullUrlGivesNoPolicy) {
    std::uint32_t policy = 7;
    EXPECT_FALSE(QueryUrlCredentialsPolicy(nullptr, policy));
    EXPECT_EQ(policy, 7u);
}

}  // namespace
