// The bounds of one upload's exchange, on a clock the test moves: the response ceiling, and the
// low-speed limit that cuts a trickle but never a slow link above its rate.
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
        {"sent and received together reach the rate",
         Joined(Steady(Side::kSent, 300, kSecond, 60),
                Steady(Side::kRead, 300, kSecond, 60, milliseconds(500))),
         -1},
        {"a burst long ago does not carry a trickle",
         Joined({{milliseconds(100), Side::kSent, 64 * kMiB}},
                Steady(Side::kRead, 1, kSecond, 10, 31 * kSecond)),
         1},
        {"a report after a long silence",
         {{kSecond, Side::kSent, kMiB}, {90 * kSecond, Side::kRead, 100}},
         1},
        {"a big report after a long silence",
         {{kSecond, Side::kSent, kMiB}, {90 * kSecond, Side::kRead, 20000}},
         -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstRefused(c.reports), c.refused) << c.name;
    }
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
}

}  // namespace
