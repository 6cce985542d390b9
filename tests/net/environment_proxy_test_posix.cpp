// The process environment as the proxy rules read it on POSIX: set, unset and UTF-8 values.
#include <gtest/gtest.h>

#include "net/proxy/environment_proxy.h"
#include "tests/support/scoped_variable.h"

namespace {

TEST(EnvironmentProxyPosix, ProcessLookupReadsTheEnvironment) {
    const CScopedVariable set("LOGSENDER_TEST_PROXY", std::string("http://b\xC3\xA9:x@p:1"));
    const CScopedVariable empty("LOGSENDER_TEST_EMPTY", std::string());
    const CScopedVariable unset("LOGSENDER_TEST_UNSET", std::nullopt);
    const ProxyVariableLookup lookup = ProcessEnvironmentLookup();
    EXPECT_EQ(lookup("LOGSENDER_TEST_PROXY"), std::optional<WideString>(u"http://b\u00e9:x@p:1"));
    EXPECT_EQ(lookup("LOGSENDER_TEST_EMPTY"), std::optional<WideString>(u""));
    EXPECT_EQ(lookup("LOGSENDER_TEST_UNSET"), std::nullopt);
}

TEST(EnvironmentProxyPosix, ProcessLookupDecidesTheRoute) {
    const CScopedVariable proxy("http_proxy", std::string("http://proxy.test:3128"));
    const CScopedVariable upper("HTTP_PROXY", std::nullopt);
    const CScopedVariable all("all_proxy", std::nullopt);
    const CScopedVariable bigAll("ALL_PROXY", std::nullopt);
    const CScopedVariable noProxy("no_proxy", std::string("direct.test"));
    const ProxyVariableLookup lookup = ProcessEnvironmentLookup();
    EXPECT_EQ(EnvironmentProxyRoute(lookup, SchemeHttp, u"upload.test").Tries().size(), 1u);
    EXPECT_TRUE(EnvironmentProxyRoute(lookup, SchemeHttp, u"direct.test").IsDirectOnly());
}

}  // namespace
