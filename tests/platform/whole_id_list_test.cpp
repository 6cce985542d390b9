// Reading an identifier list whole: the buffer grows until the call leaves room to spare, so
// no list is cut at a fixed size (a fixed 1024-entry buffer saw no process beyond the 1024th),
// and a call that fails or never leaves room gives no list at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "platform/whole_id_list.h"

namespace {

// Plays a call that lists `count` identifiers 1..count, as many as fit, and counts its calls.
struct CFakeList {
    std::size_t count;
    bool fails = false;
    int calls = 0;

    bool operator()(std::uint32_t* buffer, std::uint32_t bytes, std::uint32_t& written) {
        ++calls;
        if (fails) {
            return false;
        }
        const std::size_t fitting = std::min<std::size_t>(count, bytes / sizeof(std::uint32_t));
        std::iota(buffer, buffer + fitting, 1U);
        written = static_cast<std::uint32_t>(fitting * sizeof(std::uint32_t));
        return true;
    }
};

struct ListCase {
    const char* name;
    std::size_t count;
    int calls;
};

TEST(WholeIdList, GrowsUntilTheListIsWhole) {
    const ListCase cases[] = {
        {"none", 0, 1},
        {"a few", 37, 1},
        {"one short of the first buffer", 1023, 1},
        {"exactly the first buffer", 1024, 2},
        {"one more than the first buffer", 1025, 2},
        {"many", 100000, 8},
    };
    for (const auto& c : cases) {
        CFakeList list{c.count};
        std::vector<std::uint32_t> ids{99};
        ASSERT_TRUE(ReadWholeIdList(list, ids)) << c.name;
        ASSERT_EQ(ids.size(), c.count) << c.name;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            ASSERT_EQ(ids[i], i + 1) << c.name;
        }
        EXPECT_EQ(list.calls, c.calls) << c.name;
    }
}

TEST(WholeIdList, AFailedOrEndlessListGivesNone) {
    CFakeList failing{10};
    failing.fails = true;
    std::vector<std::uint32_t> ids{1, 2};
    EXPECT_FALSE(ReadWholeIdList(failing, ids));
    EXPECT_TRUE(ids.empty());

    CFakeList endless{kIdListMostEntries};
    ids = {1, 2};
    EXPECT_FALSE(ReadWholeIdList(endless, ids)) << "a list filling the largest buffer may be cut";
    EXPECT_TRUE(ids.empty());
}

}  // namespace
