// The run's other platform services: the process list and the pseudo-random draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/process_list.h"
#include "platform/random_draw.h"
#include "tests/support/child_process.h"

namespace {

bool Contains(const std::vector<std::uint32_t>& ids, std::uint32_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

TEST(ProcessList, SeesAChildWhileItRunsAndNotAfter) {
    CChildProcess child;
    ASSERT_TRUE(child.StartIdle());
    const std::uint32_t pid = child.Pid();
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(ReadRunningProcessIds(ids));
    EXPECT_TRUE(Contains(ids, pid));
    EXPECT_FALSE(Contains(ids, 0));
    child.Kill();
    ASSERT_TRUE(ReadRunningProcessIds(ids));
    EXPECT_FALSE(Contains(ids, pid));
}

struct DrawCase {
    const char* name;
    std::uint32_t seed;
    std::vector<int> draws;
};

TEST(RandomDraw, MatchesTheWindowsCLibrarySequence) {
    const DrawCase cases[] = {
        {"seed 1, the library's default", 1, {41, 18467, 6334, 26500, 19169}},
        {"seed 0", 0, {38, 7719, 21238, 2437, 8855}},
        {"state wraps at 2^32", 0xFFFFFFFFU, {35}},
    };
    for (const auto& c : cases) {
        CRandomDraw draw(c.seed);
        std::vector<int> got;
        for (std::size_t i = 0; i < c.draws.size(); ++i) {
            got.push_back(draw.Next());
        }
        EXPECT_EQ(got, c.draws) << c.name;
    }
}

}  // namespace
