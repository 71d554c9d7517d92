#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/two_halves.h"

namespace vorlane {
namespace {

// Whatever the timing, the two ends together visit every item once: the
// front in order from 0, the back in order down to the end.
TEST(FromBothEnds, VisitsEveryItemOnceFromEachEnd)
{
    struct Case {
        int threads;
        std::size_t n, stretch;
    };
    const Case cases[] = {{2, 0, 4096},       {2, 100, 4096},    {2, HalvesFrom, 4096}, {2, 100000, 4096},
                          {2, 100003, 4096},  {2, 100000, 1},    {2, 20000, 50000},     {1, 100000, 4096}};
    for (const Case& c : cases) {
        SCOPED_TRACE("threads " + std::to_string(c.threads) + ", n " + std::to_string(c.n) + ", stretch " + std::to_string(c.stretch));
        std::vector<std::atomic<int>> visits(c.n);
        std::mutex guard;
        std::vector<std::pair<std::size_t, std::size_t>> front, back;
        FromBothEnds(c.threads, c.n, c.stretch, [&](std::size_t begin, std::size_t end, bool fromFront) {
            for (std::size_t i = begin; i < end; ++i) ++visits[i];
            const std::lock_guard<std::mutex> lock(guard);
            (fromFront ? front : back).push_back({begin, end});
        });
        for (std::size_t i = 0; i < c.n; ++i) ASSERT_EQ(visits[i], 1) << "item " << i;
        std::size_t at = 0;
        for (const auto& [begin, end] : front) {
            EXPECT_EQ(begin, at);
            at = end;
        }
        std::size_t down = c.n;
        for (const auto& [begin, end] : back) {
            EXPECT_EQ(end, down);
            down = begin;
        }
        EXPECT_EQ(at, down);
    }
}

// Two threads' tables side by side share no cache line, and keep what they
// were made with.
TEST(OwnCacheLine, NeighboursStartOnLinesOfTheirOwn)
{
    struct Table {
        std::vector<int> items;
        char tag;
    };
    OwnCacheLine<Table> tables[3] = {{{{1, 2}, 'a'}}, {{{3}, 'b'}}, {}};
    for (int k = 0; k < 2; ++k) {
        const auto at = reinterpret_cast<std::uintptr_t>(&tables[k]);
        EXPECT_EQ(at % 64, 0u);
        EXPECT_GE(reinterpret_cast<std::uintptr_t>(&tables[k + 1]) - at, 64u);
    }
    const Table& first = tables[0];
    EXPECT_EQ(first.items, (std::vector<int>{1, 2}));
    EXPECT_EQ(tables[1].tag, 'b');
    EXPECT_TRUE(tables[2].items.empty());
}

// What one half sets, the caller sees once both are done; nothing else is set.
TEST(SharedFlags, SetsFromEitherHalfAreSeenAfterTheSplit)
{
    const std::size_t n = 3 * HalvesFrom + 5;
    SharedFlags flags(n);
    InTwoHalves(2, n, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            if (i % 3 == 0) flags.Set(i);
    });
    ASSERT_EQ(flags.size(), n);
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(flags.IsSet(i), i % 3 == 0) << "item " << i;
}

}  // namespace
}  // namespace vorlane
