#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>
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
// Leaves this process a megabyte more address space than it holds: room
// for small allocations, none for a thread's stack.
void LeaveNoRoomForAThread()
{
    unsigned long pages = 0;
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%lu", &pages) != 1) std::_Exit(4);
    std::fclose(statm);
    const rlim_t size = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (1u << 20);
    const rlimit limit{size, size};
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(5);
}

// Runs a split with no room for a thread: 0 when both halves ran in turn,
// each once, and every item was visited; 3 when the limit did not stop a
// thread, so that nothing was tested.
int SplitWithoutRoom()
{
    LeaveNoRoomForAThread();
    try {
        std::thread([] {}).join();
        return 3;
    } catch (const std::system_error&) {
    }
    int runs[2] = {0, 0};
    std::thread::id ran[2];
    BothAtOnce(true, [&] { ++runs[0], ran[0] = std::this_thread::get_id(); }, [&] { ++runs[1], ran[1] = std::this_thread::get_id(); });
    std::size_t visited = 0;
    FromBothEnds(2, 100000, 4096, [&](std::size_t begin, std::size_t end, bool) { visited += end - begin; });
    return runs[0] == 1 && runs[1] == 1 && ran[0] == ran[1] && visited == 100000 ? 0 : 1;
}

// Where no second thread can start, the split runs in turn rather than
// aborting on the failed start.
TEST(BothAtOnce, RunsInTurnWhereNoThreadCanStart)
{
    // note: a fresh process, whose threads have no stacks cached from earlier tests.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(SplitWithoutRoom()), ::testing::ExitedWithCode(0), "");
}

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
