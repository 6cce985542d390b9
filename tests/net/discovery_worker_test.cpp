// The discovery thread: a result that came too late is never taken for a later job's, and a
// job that throws gives nothing.
#include <chrono>
#include <future>
#include <stdexcept>

#include <gtest/gtest.h>

#include "net/proxy/discovery_worker.h"
#include "tests/net/proxy_route_text.h"

namespace {

using namespace std::chrono_literals;

CDiscoveryResult Through(const char16_t* host) {
    CProxyServer server;
    server.host = host;
    server.port = 1;
    CDiscoveryResult result;
    result.route = CProxyRoute::Through(server);
    return result;
}

TEST(DiscoveryWorker, ALateResultIsNotTheNextJobs) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> lateDone;
    std::future<void> lateFinished = lateDone.get_future();
    CDiscoveryWorker worker;
    EXPECT_FALSE(worker.Run(
        [released, done = std::make_shared<std::promise<void>>(std::move(lateDone))] {
            released.wait_for(30s);
            done->set_value();
            return Through(u"late");
        },
        200ms));
    release.set_value();
    ASSERT_EQ(lateFinished.wait_for(10s), std::future_status::ready);
    const std::optional<CDiscoveryResult> next = worker.Run([] { return Through(u"next"); }, 10s);
    ASSERT_TRUE(next && next->route);
    EXPECT_EQ(RouteText(*next->route), u"next:1");
}

TEST(DiscoveryWorker, AJobThatThrowsGivesNothing) {
    CDiscoveryWorker worker;
    EXPECT_FALSE(worker.Run([]() -> CDiscoveryResult { throw std::runtime_error("x"); }, 10s));
    const std::optional<CDiscoveryResult> next = worker.Run([] { return Through(u"b"); }, 10s);
    ASSERT_TRUE(next && next->route);
    EXPECT_EQ(RouteText(*next->route), u"b:1");
}

}  // namespace
