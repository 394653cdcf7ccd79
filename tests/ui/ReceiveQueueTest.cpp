// The hand-over of received bytes from the I/O workers to the window. That
// every byte arrives, in order, while workers push is shown by the channel
// tests on real ports.

#include <ReceiveQueue.h>

#include <gtest/gtest.h>

TEST(ReceiveQueue, AsksForOneWakeUpUntilTheWindowFindsItIdle)
{
    ui::CReceiveQueue queue;
    ui::CReceiveQueue::Batch batch;
    EXPECT_TRUE(queue.Push("abc", 3));
    EXPECT_FALSE(queue.Push("defg", 4));
    EXPECT_FALSE(queue.Push(nullptr, 5));  // a failed read
    EXPECT_FALSE(queue.Push("h", 1));

    queue.Take(batch);
    EXPECT_EQ(batch.bytes, "abcdefgh");
    EXPECT_TRUE(batch.failed);
    EXPECT_FALSE(queue.Push("i", 1));  // the window is still coming
    EXPECT_FALSE(queue.Idle());         // and must, for "i"

    queue.Take(batch);
    EXPECT_EQ(batch.bytes, "i");
    EXPECT_FALSE(batch.failed);
    EXPECT_TRUE(queue.Idle());
    EXPECT_TRUE(queue.Push("k", 0));  // idle: the next read wakes the window again
    queue.Take(batch);
    EXPECT_TRUE(batch.failed);
    EXPECT_EQ(batch.bytes, "");
}
