#include <gtest/gtest.h>

#include <vector>

#include "literal/edge_list.h"
#include "test_support.h"

namespace vorlane {
namespace {

class EdgeListTest : public testing::Test {
protected:
    ~EdgeListTest() override { CleanList(); }

    std::vector<IndexPair> Drain()
    {
        std::vector<IndexPair> out(static_cast<size_t>(CountList()));
        CopyList(out.data());
        return out;
    }

    test::FaultCapture faults;
};

TEST_F(EdgeListTest, DegenerateEdgeIsIgnored)
{
    InsertList(IndexPair{4, 4}, 7);
    InsertList(IndexPair{4, 4}, -1);
    EXPECT_EQ(CountList(), 0);
}

TEST_F(EdgeListTest, ReversedRepeatIsOneEdgeStoredLowFirst)
{
    InsertList(IndexPair{3, 1}, -1);
    InsertList(IndexPair{1, 3}, -1);
    EXPECT_EQ(CountList(), 1);
    const std::vector<IndexPair> edges = Drain();
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_EQ(edges[0], (IndexPair{1, 3}));
}

TEST_F(EdgeListTest, CopyListGivesAscendingOrderAndEmpties)
{
    InsertList(IndexPair{5, 9}, -1);
    InsertList(IndexPair{2, 7}, -1);
    InsertList(IndexPair{2, 3}, -1);
    const std::vector<IndexPair> edges = Drain();
    ASSERT_EQ(edges.size(), 3u);
    EXPECT_EQ(edges[0], (IndexPair{2, 3}));
    EXPECT_EQ(edges[1], (IndexPair{2, 7}));
    EXPECT_EQ(edges[2], (IndexPair{5, 9}));
    EXPECT_EQ(CountList(), 0);
    EXPECT_TRUE(faults.faults().empty());
}

TEST_F(EdgeListTest, GetNextAddedTakesNewestFirstWithTheEdgeAtTheEnd)
{
    InsertList(IndexPair{2, 7}, 10);
    InsertList(IndexPair{2, 7}, 11);
    InsertList(IndexPair{2, 7}, -1);  // a bare repeat is dropped
    EXPECT_EQ(CountList(), 2);
    std::vector<int32_t> buffer(32, -99);
    EXPECT_EQ(GetNextAdded(buffer.data(), 32), 1);
    EXPECT_EQ(buffer[0], 11);
    EXPECT_EQ(buffer[1], 10);
    EXPECT_EQ(buffer[2], -99);
    EXPECT_EQ(buffer[29], 2);
    EXPECT_EQ(buffer[30], 7);
    EXPECT_EQ(buffer[31], 2);
    EXPECT_EQ(CountList(), 0);
}

TEST_F(EdgeListTest, ValueAfterBareEdgeStandsInFront)
{
    InsertList(IndexPair{7, 2}, -1);
    InsertList(IndexPair{2, 7}, 10);
    EXPECT_EQ(CountList(), 2);
    std::vector<int32_t> buffer(32, -99);
    ASSERT_EQ(GetNextAdded(buffer.data(), 32), 1);
    EXPECT_EQ(buffer[0], 10);
    EXPECT_EQ(buffer[1], -1);
    EXPECT_EQ(buffer[31], 2);
}

TEST_F(EdgeListTest, GetNextAddedWalksEdgesInAscendingOrder)
{
    InsertList(IndexPair{9, 4}, 1);
    InsertList(IndexPair{0, 5}, 2);
    InsertList(IndexPair{4, 8}, 3);
    InsertList(IndexPair{0, 5}, 4);
    std::vector<int32_t> buffer(8);
    const IndexPair expected[] = {{0, 5}, {4, 8}, {4, 9}};
    for (const IndexPair& e : expected) {
        ASSERT_EQ(GetNextAdded(buffer.data(), 8), 1);
        EXPECT_EQ((IndexPair{buffer[5], buffer[6]}), e);
    }
    EXPECT_EQ(GetNextAdded(buffer.data(), 8), 0);
}

TEST_F(EdgeListTest, GetNextAddedOnEmptyListWritesOnlyTheCount)
{
    std::vector<int32_t> buffer(32, -99);
    EXPECT_EQ(GetNextAdded(buffer.data(), 32), 0);
    EXPECT_EQ(buffer[31], 0);
    for (int i = 0; i < 31; ++i) EXPECT_EQ(buffer[static_cast<size_t>(i)], -99);
}

TEST_F(EdgeListTest, FullBufferIsReportedAndNothingIsLost)
{
    for (int32_t v = 0; v < 31; ++v) InsertList(IndexPair{1, 2}, v);
    std::vector<int32_t> buffer(32, -99);
    ASSERT_EQ(GetNextAdded(buffer.data(), 32), 1);
    EXPECT_EQ(buffer[31], 29);
    EXPECT_EQ(buffer[0], 30);
    EXPECT_EQ(buffer[28], 2);
    ASSERT_EQ(faults.faults().size(), 1u);
    EXPECT_EQ(faults.faults()[0], "GetNextAdded|max size return error!");
    // The two oldest wait for the next call instead of overrunning the buffer.
    ASSERT_EQ(GetNextAdded(buffer.data(), 32), 1);
    EXPECT_EQ(buffer[31], 2);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(CountList(), 0);
}

TEST_F(EdgeListTest, PointsFoldAtAThousandthAndReturnTheEarlierValue)
{
    EXPECT_EQ(InsertList(Vec3{0.25f, 1.0f, -2.0f}, 4), -1);
    EXPECT_EQ(InsertList(Vec3{0.2504f, 0.9996f, -2.0f}, 9), 4);
    EXPECT_EQ(CountList(), 1);
    EXPECT_EQ(InsertList(Vec3{0.2506f, 1.0f, -2.0f}, 10), -1);
    EXPECT_EQ(CountList(), 2);
    CleanList();
    EXPECT_EQ(CountList(), 0);
    EXPECT_TRUE(faults.faults().empty());
}

TEST_F(EdgeListTest, KeyZeroIsTwiceAsWideAsTheOthers)
{
    EXPECT_EQ(InsertList(Vec3{-0.0014f, 5, 5}, 1), -1);
    EXPECT_EQ(InsertList(Vec3{0.0004f, 5, 5}, 2), 1);
    EXPECT_EQ(InsertList(Vec3{0.0005f, 5, 5}, 3), -1);
}

TEST(QuantiseCoordinate, RoundsHalvesUpAndTruncatesTowardZero)
{
    const struct {
        float c;
        int32_t key;
    } cases[] = {{0.25f, 250},      {0.2504f, 250},    {0.0005f, 1},      {0.0004f, 0},    {-0.0012f, 0},
                 {-0.0014f, 0},     {-0.0016f, -1},    {-0.002f, -1},     {-0.0026f, -2},  {-2.0f, -1999},
                 {1e12f, 2147483647}, {-1e12f, -2147483647 - 1}};
    for (const auto& c : cases) EXPECT_EQ(QuantiseCoordinate(c.c), c.key) << c.c;
}

TEST(CleanList, EmptyListShowsNoMessage)
{
    test::FaultCapture faults;
    CleanList();
    EXPECT_TRUE(faults.faults().empty());
}

}  // namespace
}  // namespace vorlane
