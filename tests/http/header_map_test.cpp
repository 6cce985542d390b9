// CHeaderMap: case-insensitive names that keep their first spelling, replacement, clearing
// and the bucket-count steps of a growing map.
#include <gtest/gtest.h>

#include <string>

#include "http/header_map.h"
#include "platform/text_conversion.h"

namespace {

TEST(HeaderMap, NamesMatchWithoutRegardToCase) {
    CHeaderMap map;
    map.Store(u"Content-Length", u"12");
    const char16_t* lookups[] = {u"Content-Length", u"content-length", u"CONTENT-LENGTH"};
    for (const char16_t* name : lookups) {
        WideString value;
        EXPECT_TRUE(map.Find(name, value)) << WideToNarrow(name);
        EXPECT_EQ(value, u"12");
    }
    WideString value = u"untouched";
    EXPECT_FALSE(map.Find(u"Content-Type", value));
    EXPECT_FALSE(map.Find(u"Content-Lengt", value));
    EXPECT_FALSE(map.Find(u"Content-Length ", value));
    EXPECT_EQ(value, u"untouched");
}

TEST(HeaderMap, CaseFoldingCoversOnlyAsciiLetters) {
    CHeaderMap map;
    map.Store(u"X-\u00C9t\u00E9", u"1");  // É is not folded to é
    WideString value;
    EXPECT_FALSE(map.Find(u"x-\u00E9T\u00C9", value));
    EXPECT_TRUE(map.Find(u"x-\u00C9T\u00E9", value));
    map.Store(u"[", u"2");  // '[' and '{' differ by the same bit as 'A' and 'a'
    EXPECT_FALSE(map.Find(u"{", value));
}

TEST(HeaderMap, StoreReplacesAndKeepsTheFirstSpelling) {
    CHeaderMapT<WideString> map;
    map.Store(u"Content-Length", u"5");
    map.Store(u"CONTENT-LENGTH", u"7");
    EXPECT_EQ(map.Count(), 1u);
    WideString value;
    ASSERT_TRUE(map.Find(u"content-length", value));
    EXPECT_EQ(value, u"7");
}

TEST(HeaderMap, ClearEmptiesAndKeepsBuckets) {
    CHeaderMap map;
    for (int i = 0; i < 60; ++i) {
        map.Store(NarrowToWide("Name-" + std::to_string(i)), u"v");
    }
    const std::size_t buckets = map.BucketCount();
    map.Clear();
    EXPECT_EQ(map.Count(), 0u);
    EXPECT_EQ(map.BucketCount(), buckets);
    WideString value;
    EXPECT_FALSE(map.Find(u"Name-1", value));
    map.Store(u"Name-1", u"again");
    ASSERT_TRUE(map.Find(u"NAME-1", value));
    EXPECT_EQ(value, u"again");
}

struct GrowthCase {
    std::size_t entries;
    std::size_t buckets;
};

// A rebuild happens when an insertion lifts the load above 2.25 per bucket, and picks the
// first listed prime that brings it to 0.75 or less.
TEST(HeaderMap, BucketCountsOfAGrowingMap) {
    const GrowthCase cases[] = {{0, 17}, {38, 17}, {39, 53}, {119, 53}, {120, 163}, {366, 163}};
    for (const auto& c : cases) {
        CHeaderMap map;
        for (std::size_t i = 0; i < c.entries; ++i) {
            map.Store(NarrowToWide("H" + std::to_string(i)), NarrowToWide(std::to_string(i)));
        }
        EXPECT_EQ(map.BucketCount(), c.buckets) << c.entries << " entries";
        for (std::size_t i = 0; i < c.entries; ++i) {
            WideString value;
            ASSERT_TRUE(map.Find(NarrowToWide("h" + std::to_string(i)), value)) << i;
            EXPECT_EQ(value, NarrowToWide(std::to_string(i)));
        }
    }
}

// Past the listed primes the map keeps growing: right after the rebuild that the 367th entry
// causes the load is at most 0.75, and thousands of names stay findable.
TEST(HeaderMap, GrowsPastTheListedPrimes) {
    CHeaderMap map;
    for (std::size_t i = 0; i < 367; ++i) {
        map.Store(NarrowToWide("H" + std::to_string(i)), u"v");
    }
    EXPECT_GT(map.BucketCount(), 257u);
    EXPECT_LE(map.Count() * 4, map.BucketCount() * 3);
    for (std::size_t i = 367; i < 5000; ++i) {
        map.Store(NarrowToWide("H" + std::to_string(i)), u"v");
    }
    EXPECT_LE(map.Count() * 4, map.BucketCount() * 9);
    WideString value;
    EXPECT_TRUE(map.Find(u"h4999", value));
    EXPECT_TRUE(map.Find(u"h0", value));
}

struct Handler {
    int id;
};

TEST(HeaderMap, HoldsHandlerReferencesKeyedTheSameWay) {
    CHeaderMapT<Handler*> registry;
    Handler basic{1};
    registry.Store(u"Basic", &basic);
    Handler* found = nullptr;
    ASSERT_TRUE(registry.Find(u"BASIC", found));
    EXPECT_EQ(found, &basic);
    EXPECT_FALSE(registry.Find(u"Negotiate", found));
}

}  // namespace
