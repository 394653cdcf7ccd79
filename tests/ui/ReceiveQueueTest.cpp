// The hand-over of received chunks from the I/O workers to the window.

#include <ReceiveQueue.h>

#include <gtest/gtest.h>

TEST(ReceiveQueue, AsksForOneWakeUpUntilEverythingIsTakenInOrder)
{
    ui::CReceiveQueue queue;
    ui::CReceiveQueue::Batch batch;
    EXPECT_TRUE(queue.Push("abc", 3));
    EXPECT_FALSE(queue.Push("defg", 4));
    EXPECT_FALSE(queue.Push(nullptr, 5));  // a failed read

    // A budget smaller than the first chunk still takes that chunk whole.
    EXPECT_TRUE(queue.Take(batch, 2));
    EXPECT_EQ(batch.bytes, "abc");
    EXPECT_FALSE(queue.Push("hi", 2));  // more waits: the window comes back by itself
    EXPECT_TRUE(queue.Take(batch, 4));
    EXPECT_EQ(batch.bytes, "defg");
    EXPECT_EQ(batch.counts, (std::vector<std::uint32_t>{4, 0}));
    EXPECT_FALSE(queue.Take(batch, 100));
    EXPECT_EQ(batch.bytes, "hi");

    EXPECT_FALSE(queue.Take(batch, 100));
    EXPECT_TRUE(batch.empty());
    EXPECT_TRUE(queue.Push("k", 1));  // drained: the next chunk wakes the window again
}
