// The hand-over of received bytes from the I/O workers to the window.

#include <ReceiveQueue.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

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

// Workers push while the window takes: every byte arrives once, in order.
TEST(ReceiveQueue, BytesPushedWhileTakingArriveWholeAndInOrder)
{
    ui::CReceiveQueue queue;
    std::string sent;
    for (int i = 0; sent.size() < 1 << 20; ++i)
        sent += std::to_string(i) + ' ';
    std::thread worker([&] {
        for (std::size_t at = 0; at < sent.size(); at += 256)
            queue.Push(sent.data() + at, static_cast<std::uint32_t>(std::min<std::size_t>(256, sent.size() - at)));
    });
    std::string received;
    ui::CReceiveQueue::Batch batch;
    while (received.size() < sent.size()) {
        queue.Take(batch);
        received += batch.bytes;
        EXPECT_FALSE(batch.failed);
    }
    worker.join();
    EXPECT_EQ(received, sent);
}
