#include "vantrel/dynaarray.h"

#include <gtest/gtest.h>

#include <vector>

using morvilo::TDynaArray;

namespace {

struct Record {
    int32_t a;
    double b;
    char text[12];
};

std::vector<int32_t> visit(TDynaArray<Record> &arr, Record *&current) {
    std::vector<int32_t> seen;
    arr.First();
    while (arr.WhileNext())
        seen.push_back(current->a);
    return seen;
}

TEST(DynaArray, AddReturnsZeroedRecordsAndPublishesThem) {
    Record *current = nullptr;
    TDynaArray<Record> arr(&current);
    EXPECT_EQ(arr.MemSize(), 0u);
    for (int i = 0; i < 250; ++i) {
        Record *r = arr.Add();
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(current, r);
        EXPECT_EQ(arr.CurrentIndex(), i);
        EXPECT_EQ(r->a, 0);
        EXPECT_EQ(r->b, 0.0);
        EXPECT_EQ(r->text[0], 0);
        r->a = i;
        r->b = i * 0.5;
    }
    EXPECT_EQ(arr.Count(), 250u);
    for (uint32_t i = 0; i < 250; ++i) // growth kept every record
        EXPECT_EQ(arr[i].a, int32_t(i));
    EXPECT_GE(arr.MemSize(), 250 * sizeof(Record));
}

TEST(DynaArray, SpaceLeftByDeletionIsZeroedWhenReused) {
    TDynaArray<Record> arr;
    arr.Add()->a = 7;
    arr.Add()->a = 8;
    arr.Delete(1);
    EXPECT_EQ(arr.Add()->a, 0);
}

TEST(DynaArray, DeleteMovesLaterRecordsDownAndClearsCurrent) {
    Record *current = nullptr;
    TDynaArray<Record> arr(&current);
    for (int i = 0; i < 5; ++i)
        arr.Add()->a = i;
    arr.Delete(1);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(arr.CurrentIndex(), -1);
    EXPECT_EQ(visit(arr, current), (std::vector<int32_t>{0, 2, 3, 4}));

    for (int64_t outside : {int64_t(-1), int64_t(4), int64_t(1) << 40}) {
        arr.GetObject(0);
        arr.Delete(outside); // ignored: nothing changes, not even the current record
        EXPECT_EQ(arr.Count(), 4u);
        EXPECT_EQ(current, &arr[0]);
    }
    while (arr.Count() > 0)
        arr.Delete(0);
    EXPECT_EQ(arr.MemSize(), 0u); // the last record takes the block with it
    EXPECT_EQ(arr.Data(), nullptr);
}

TEST(DynaArray, TruncateEmptiesButKeepsTheBlock) {
    Record *current = nullptr;
    TDynaArray<Record> arr(&current);
    for (int i = 0; i < 1000; ++i)
        arr.Add()->a = i;
    const auto memory = arr.MemSize();
    const Record *block = arr.Data();
    arr.Truncate();
    EXPECT_EQ(arr.Count(), 0u);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(arr.MemSize(), memory);
    arr.Add()->a = 7;
    EXPECT_EQ(arr.Data(), block);
    EXPECT_EQ(visit(arr, current), (std::vector<int32_t>{7}));
}

TEST(DynaArray, ShrinksWhenMostOfTheBlockIsUnused) {
    Record *current = nullptr;
    TDynaArray<Record> arr(&current);
    for (int i = 0; i < 1000; ++i)
        arr.Add()->a = i;
    const uint64_t full = arr.MemSize();
    while (arr.Count() > 10)
        arr.Delete(int64_t(arr.Count()) - 1);
    EXPECT_LT(arr.MemSize(), full / 4);
    EXPECT_EQ(visit(arr, current), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(DynaArray, ChangeSwapsAndMakesTheSecondCurrent) {
    Record *current = nullptr;
    TDynaArray<Record> arr(&current);
    for (int i = 0; i < 3; ++i)
        arr.Add()->a = i;
    arr.Change(0, 2);
    EXPECT_EQ(current, &arr[2]);
    EXPECT_EQ(visit(arr, current), (std::vector<int32_t>{2, 1, 0}));
    arr.GetObject(1);
    arr.Change(0, 3); // out of range: nothing happens
    arr.Change(-1, 0);
    EXPECT_EQ(current, &arr[1]);
    EXPECT_EQ(visit(arr, current), (std::vector<int32_t>{2, 1, 0}));
}

TEST(DynaArray, IterationSeesEveryRecordOnceInOrder) {
    Record *current = nullptr;
    TDynaArray<Record> arr(&current);
    EXPECT_TRUE(visit(arr, current).empty()); // First on an empty array, then WhileNext false

    for (int i = 0; i < 4; ++i)
        arr.Add()->a = i * 10;
    EXPECT_EQ(visit(arr, current), (std::vector<int32_t>{0, 10, 20, 30}));

    // GetObject inside the loop moves the position: the next pass sees that record again.
    std::vector<int32_t> seen;
    bool jumped = false;
    arr.First();
    while (arr.WhileNext()) {
        seen.push_back(current->a);
        if (current->a == 20 && !jumped) {
            jumped = true;
            arr.GetObject(1);
        }
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 10, 20, 10, 20, 30}));

    // Clear inside the loop ends it at the next test and empties the published pointer.
    int passes = 0;
    arr.First();
    while (arr.WhileNext()) {
        ++passes;
        arr.Clear();
    }
    EXPECT_EQ(passes, 1);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(arr.Count(), 0u);
    EXPECT_EQ(arr.GetObject(0), nullptr);
}

TEST(DynaArray, PublishedPointerFollowsTheBlockWhenItMoves) {
    Record *current = nullptr;
    TDynaArray<Record> arr(&current);
    arr.Add()->a = 42;
    arr.GetObject(0);
    ASSERT_TRUE(arr.Reserve(100000)); // moves the block
    EXPECT_EQ(current, &arr[0]);
    EXPECT_EQ(current->a, 42);
}

} // namespace
