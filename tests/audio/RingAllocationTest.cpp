// The ring buffers' real-time paths allocate nothing: FIFO reads and writes
// (the cue tap on two output threads) and SourceReadAhead::render. Every
// heap request is made to fail, and calls of the global new are counted.
#include "AudioTestHelpers.h"
#include "CounterProducer.h"
#include "TestHeap.h"
#include "audio/FIFO.h"
#include "audio/SourceReadAhead.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Heap requests and global new calls made while the checks run.
class AllocationWatch {
public:
    AllocationWatch() : heap_(primitives::test::TestHeap::requests()), news_(globalNewCalls()) {
        primitives::test::TestHeap::failAllocation(1);
    }
    ~AllocationWatch() { primitives::test::TestHeap::failAllocation(0); }
    std::int64_t heapRequests() const { return primitives::test::TestHeap::requests() - heap_; }
    std::int64_t newCalls() const { return globalNewCalls() - news_; }

private:
    std::int64_t heap_;
    std::int64_t news_;
};

}  // namespace

TEST(Fifo, ReadsAndWritesAllocateNothing) {
    FIFO fifo(FormatAudio(2, 1000, 16), 0.1f);
    std::vector<float> left(300, 0.25f);
    std::vector<float> right(300, -0.25f);
    float* channels[] = {left.data(), right.data()};
    AllocationWatch watch;
    for (std::int32_t n = 1; n <= 200; n += 7) {
        fifo.write(channels, n);
        fifo.writeAt(channels, 5, n);
        fifo.read(nullptr, channels, n + 3);
        fifo.read(nullptr, channels, 150);  // silence: too few unread or more than the ring
    }
    EXPECT_EQ(watch.heapRequests(), 0);
    EXPECT_EQ(watch.newCalls(), 0);
    EXPECT_GT(fifo.consumed(), 0);
}

// With the reader thread held inside the producer (so that only the render
// runs), rendering produced frames and silence allocates nothing.
TEST(SourceReadAhead, RenderAllocatesNothing) {
    CounterProducer producer;
    SourceReadAhead source(&producer, nullptr, 1000, 100);
    ASSERT_TRUE(eventually([&] { return source.fullRounds() >= 1; }));
    producer.hold();
    std::vector<float> left(2000);
    std::vector<float> right(2000);
    float* out[] = {left.data(), right.data()};
    source.render(nullptr, out, 100);
    ASSERT_TRUE(eventually([&] { return producer.entered() == 11; }));
    {
        AllocationWatch watch;
        source.render(nullptr, out, 500);   // produced frames
        source.render(nullptr, out, 1500);  // the rest, then silence
        EXPECT_EQ(watch.heapRequests(), 0);
        EXPECT_EQ(watch.newCalls(), 0);
    }
    // The last block: frames 600 .. 999 as produced, then silence.
    EXPECT_EQ(left[0], 601.0f);
    EXPECT_EQ(left[399], 1000.0f);
    EXPECT_EQ(left[400], 0.0f);
    EXPECT_EQ(right[1499], 0.0f);
    producer.release();
}
