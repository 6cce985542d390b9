// The bounds of one upload's exchange, on a clock the test moves: the response ceiling, the
// low-speed limit that cuts a trickle but never a slow link above its rate, and the response
// time that starts with the request's last byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/exchange_guard.h"

namespace {

using Clock = CExchangeGuard::Clock;
using std::chrono::milliseconds;

Clock::time_point g_now;

Clock::time_point TestNow() {
    return g_now;
}

enum class Side { kSent, kRead };

struct Report {
    milliseconds at;  // since the guard was made
    Side side;
    std::uint32_t bytes;
};

// Plays reports in order; the index of the first one the guard refuses, or -1.
int FirstRefused(const std::vector<Report>& reports) {
    g_now = Clock::time_point() + std::chrono::hours(1);
    const Clock::time_point start = g_now;
    CExchangeGuard guard(&TestNow);
    for (std::size_t i = 0; i < reports.size(); ++i) {
        g_now = start + reports[i].at;
        const bool goesOn = reports[i].side == Side::kSent ? guard.OnSent(reports[i].bytes)
                                                           : guard.OnRead(reports[i].bytes);
        if (!goesOn) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// One report of `bytes` every `every` from `from` on, `count` times.
std::vector<Report> Steady(Side side, std::uint32_t bytes, milliseconds every, int count,
                           milliseconds from = milliseconds(0)) {
    std::vector<Report> reports;
    for (int i = 0; i < count; ++i) {
        reports.push_back({from + every * i, side, bytes});
    }
    return reports;
}

// Two report sequences merged in time order.
std::vector<Report> Joined(std::vector<Report> first, const std::vector<Report>& second) {
    first.insert(first.end(), second.begin(), second.end());
    std::stable_sort(first.begin(), first.end(),
                     [](const Report& a, const Report& b) { return a.at < b.at; });
    return first;
}

TEST(ExchangeGuard, Table) {
    constexpr auto kSecond = milliseconds(1000);
    constexpr std::uint32_t kMiB = 1024 * 1024;
    const struct {
        const char* name;
        std::vector<Report> reports;
        int refused;
    } cases[] = {
        {"response of exactly 1 MiB",
         {{kSecond, Side::kRead, kMiB / 2}, {kSecond, Side::kRead, kMiB / 2}},
         -1},
        {"one byte past 1 MiB", {{kSecond, Side::kRead, kMiB}, {kSecond, Side::kRead, 1}}, 1},
        {"sent bytes never count as response", {{kSecond, Side::kSent, 4 * kMiB}}, -1},
        {"a byte a second, cut once 30 s have passed", Steady(Side::kRead, 1, kSecond, 40), 30},
        {"nothing is cut in the first 30 s", Steady(Side::kRead, 1, kSecond, 30), -1},
        {"600 bytes a second for ten minutes", Steady(Side::kSent, 600, kSecond, 600), -1},
        {"500 bytes a second, under the rate", Steady(Side::kSent, 500, kSecond, 60), 30},
        {"a request sent again after a redirect is no progress",
         Joined({{kSecond, Side::kSent, 64 * 1024}, {2 * kSecond, Side::kRead, 100}},
                Steady(Side::kSent, 4096, kSecond, 40, 3 * kSecond)),
         30},
        {"the response ends within 60 s of the request's last byte",
         Joined(Steady(Side::kSent, 65536, kSecond, 5),
                Steady(Side::kRead, 600, kSecond, 90, 5 * kSecond)),
         64},
        {"redirects and their requests count into the 60 s",
         Joined({{0 * kSecond, Side::kSent, kMiB},
                 {5 * kSecond, Side::kRead, 100},
                 {6 * kSecond, Side::kSent, kMiB},
                 {10 * kSecond, Side::kRead, 100},
                 {11 * kSecond, Side::kSent, kMiB}},
                Steady(Side::kRead, 1000, kSecond, 70, 12 * kSecond)),
         5 + 48},
        {"a burst long ago does not carry a trickle",
         Joined({{milliseconds(100), Side::kSent, 64 * kMiB}},
                Steady(Side::kRead, 1, kSecond, 10, 31 * kSecond)),
         1},
        {"a report after a long silence",
         {{kSecond, Side::kSent, kMiB}, {90 * kSecond, Side::kRead, 100}},
         1},
        {"a big piece of the request after a long silence",
         {{kSecond, Side::kSent, kMiB}, {90 * kSecond, Side::kSent, 20000}},
         -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstRefused(c.reports), c.refused) << c.name;
    }
}

// No wait outlasts the response time: while the request goes out nothing but the low-speed
// rule bounds the exchange; from its last byte on, the time left runs down to 0.
TEST(ExchangeGuard, TimeLeftRunsFromTheRequestsLastByte) {
    g_now = Clock::time_point() + std::chrono::hours(1);
    const Clock::time_point start = g_now;
    CExchangeGuard guard(&TestNow);
    EXPECT_EQ(guard.TimeLeft(), 0xFFFFFFFFU);
    g_now = start + milliseconds(5000);
    EXPECT_TRUE(guard.OnSent(100000));
    g_now = start + milliseconds(9000);
    EXPECT_EQ(guard.TimeLeft(), 0xFFFFFFFFU) << "the response has not begun";
    EXPECT_TRUE(guard.OnRead(10));
    EXPECT_EQ(guard.TimeLeft(), 56000u);
    g_now = start + milliseconds(64999);
    EXPECT_EQ(guard.TimeLeft(), 1u);
    g_now = start + milliseconds(65000);
    EXPECT_EQ(guard.TimeLeft(), 0u);
    EXPECT_FALSE(guard.OnRead(10));
}

TEST(ExchangeGuard, AttachesBothCallbacksToItself) {
    g_now = Clock::time_point();
    CExchangeGuard guard(&TestNow);
    CRequestSettings settings;
    guard.Attach(settings);
    ASSERT_NE(settings.sendProgress, nullptr);
    ASSERT_NE(settings.readProgress, nullptr);
    EXPECT_TRUE(
        settings.readProgress(CExchangeGuard::kMaxResponseBytes, settings.readProgressValue));
    EXPECT_FALSE(settings.readProgress(1, settings.readProgressValue)) << "the same guard counts";
    EXPECT_TRUE(settings.sendProgress(1, settings.sendProgressValue));
    ASSERT_NE(settings.timeLeft, nullptr);
    EXPECT_EQ(settings.timeLeft(settings.timeLeftValue), 60000u) << "the read began the response";
}

}  // namespace
