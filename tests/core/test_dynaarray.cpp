// The record list: chunked growth and shrinking, zeroed records, cursor rules, failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/DynaArray.h"
#include "game/Records.h"

namespace blubbi {
namespace {

struct ListFixture : ::testing::Test {
    TEnemy* Current = nullptr;
    std::vector<std::string> Errors;
    TDynaArray<TEnemy> List{&Current, [this](const std::string& t) { Errors.push_back(t); }};

    void Fill(int n) {
        for (int i = 0; i < n; ++i) List.Append()->X = i + 1;
    }
};

TEST_F(ListFixture, EmptyListWalksNothing) {
    List.Rewind();
    EXPECT_FALSE(List.Next());
    EXPECT_EQ(Current, nullptr);
    EXPECT_EQ(List.Cursor, -1);
    EXPECT_EQ(List.Storage, nullptr);
}

TEST_F(ListFixture, AppendGrowsInChunksOfHundredAndKeepsRecords) {
    Fill(100);
    EXPECT_EQ(List.AllocatedBytes, 100 * 44);
    TEnemy* r = List.Append();
    EXPECT_EQ(List.Count, 101);
    EXPECT_EQ(List.AllocatedBytes, 200 * 44);
    EXPECT_EQ(Current, r);
    EXPECT_EQ(List.Cursor, 100);
    TEnemy zero{};
    EXPECT_EQ(std::memcmp(r, &zero, sizeof zero), 0);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(List[i].X, i + 1);
}

TEST_F(ListFixture, DeleteShrinksAtChunkBoundaryAndEmptyReleases) {
    Fill(101);
    List.Delete(100);
    EXPECT_EQ(List.AllocatedBytes, 100 * 44);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(List[i].X, i + 1);
    List.Clear();
    Fill(1);
    List.Delete(0);
    EXPECT_EQ(List.Count, 0);
    EXPECT_EQ(List.Storage, nullptr);
    EXPECT_EQ(List.AllocatedBytes, 0);
    TEnemy* r = List.Append();
    EXPECT_EQ(r->X, 0);
    EXPECT_EQ(List.AllocatedBytes, 100 * 44);
}

TEST_F(ListFixture, DeleteMovesDownAndEndsTheWalk) {
    Fill(3);
    List.Rewind();
    ASSERT_TRUE(List.Next());
    List.Delete(0);
    EXPECT_EQ(List.Count, 2);
    EXPECT_EQ(List[0].X, 2);
    EXPECT_EQ(List[1].X, 3);
    EXPECT_EQ(List.Cursor, -1);
    EXPECT_EQ(Current, nullptr);
    EXPECT_FALSE(List.Next());
}

TEST_F(ListFixture, DeleteOutsideTheListChangesNothing) {
    Fill(3);
    List.Select(1);
    List.Delete(3);
    List.Delete(-1);
    EXPECT_EQ(List.Count, 3);
    EXPECT_EQ(List.Cursor, 1);
    EXPECT_EQ(Current, &List[1]);
}

TEST_F(ListFixture, AppendAfterDeleteWithoutShrinkIsZeroed) {
    Fill(3);
    List[2].Kind = 7;
    List.Delete(2);
    TEnemy* r = List.Append();
    EXPECT_EQ(r->Kind, 0);
    EXPECT_EQ(r->X, 0);
}

TEST_F(ListFixture, CursorAfterNextAndSelect) {
    Fill(3);
    List.Rewind();
    List.Next();
    List.Next();
    EXPECT_EQ(Current, &List[1]);
    EXPECT_EQ(List.Cursor, 2);
    List.Select(2);
    EXPECT_EQ(List.Cursor, 2);
    ASSERT_TRUE(List.Next());
    EXPECT_EQ(Current, &List[2]);
    EXPECT_EQ(List.Cursor, 3);
    EXPECT_FALSE(List.Next());
}

TEST_F(ListFixture, AppendingManyAtOnceLeavesWhatAppendingOneByOneLeavesWithOneBlock) {
    static int obtained = 0;
    const auto saved = TDynaArrayBase::Allocator;
    TDynaArrayBase::Allocator = [](size_t bytes) -> void* {
        ++obtained;
        return std::calloc(bytes, 1);
    };
    Fill(150);
    List.Delete(149);  // no shrink: the room keeps the deleted record's bytes
    obtained = 0;
    TEnemy* first = List.AppendMany(251);
    TDynaArrayBase::Allocator = saved;
    EXPECT_EQ(obtained, 1);
    ASSERT_EQ(List.Count, 400);
    EXPECT_EQ(List.AllocatedBytes, 400 * 44);
    EXPECT_EQ(first, &List[149]);
    EXPECT_EQ(List[148].X, 149);
    const TEnemy zero{};
    for (int i = 149; i < 400; ++i) ASSERT_EQ(std::memcmp(&List[i], &zero, sizeof zero), 0) << i;
    EXPECT_EQ(Current, &List[399]);
    EXPECT_EQ(List.Cursor, 399);
    // Within the room already held: no new block, the new records still zero.
    List.Delete(399);
    List.Delete(398);
    List[398].X = 5;
    EXPECT_EQ(List.AppendMany(2), &List[398]);
    EXPECT_EQ(List.AllocatedBytes, 400 * 44);
    EXPECT_EQ(List[398].X, 0);
    EXPECT_EQ(List.AppendMany(0), nullptr);
    EXPECT_EQ(List.Count, 400);
}

TEST_F(ListFixture, FailedAllocationReportsAndLeavesTheListUsable) {
    auto saved = TDynaArrayBase::Allocator;
    TDynaArrayBase::Allocator = [](size_t) -> void* { return nullptr; };
    EXPECT_EQ(List.Append(), nullptr);
    TDynaArrayBase::Allocator = saved;
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "Error 1 while trying to allocate 4400 bytes of RAM. Not enough memory.");
    EXPECT_EQ(List.Count, 0);
    Fill(100);
    TDynaArrayBase::Allocator = [](size_t) -> void* { return nullptr; };
    EXPECT_EQ(List.Append(), nullptr);
    List.Delete(99);
    TDynaArrayBase::Allocator = saved;
    EXPECT_EQ(Errors.size(), 2u);
    EXPECT_EQ(Errors[1], "Error 2 while trying to allocate 8800 bytes of RAM. Not enough memory.");
    EXPECT_EQ(List.Count, 99);
    Fill(2);
    TDynaArrayBase::Allocator = [](size_t) -> void* { return nullptr; };
    List.Delete(100);
    TDynaArrayBase::Allocator = saved;
    ASSERT_EQ(Errors.size(), 3u);
    EXPECT_EQ(Errors[2], "Error 3 while trying to allocate 4400 bytes of RAM. Not enough memory.");
    EXPECT_EQ(List.Count, 100);
    EXPECT_EQ(List[98].X, 99);
    EXPECT_EQ(List[99].X, 1);
}

}  // namespace
}  // namespace blubbi
