#include "AudioTestHelpers.h"
#include "CounterProducer.h"
#include "audio/SourceReadAhead.h"
#include "platform/Event.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

// The consumer's side: renders blocks, tracks the read position and checks
// every frame. A frame at read position q is silence or, when produced,
// the producer's frame q + offset (offset: the frames the producer made
// before the last reset).
class Consumer {
public:
    explicit Consumer(SourceReadAhead& source) : source_(source) {}

    // Renders n frames; returns how many were audio. Fails on a frame that
    // is neither silence nor the expected audio.
    std::int32_t render(std::int32_t n) {
        std::vector<float> left(static_cast<std::size_t>(n), 99.0f);
        std::vector<float> right(left.size(), 99.0f);
        float* out[] = {left.data(), right.data()};
        source_.render(nullptr, out, n);
        std::int32_t audible = 0;
        for (std::int32_t i = 0; i < n; ++i) {
            if (offset_ < 0 && left[i] != 0.0f) {
                // The first audio after a reset that the producer ran through
                // fixes the offset; it must come from after the reset.
                offset_ = static_cast<std::int64_t>(left[i]) - 1 - (position_ + i);
                EXPECT_GE(offset_, floor_) << "audio from before the reset";
            }
            const float want = CounterProducer::valueAt(position_ + i + offset_);
            if (left[i] == 0.0f && right[i] == 0.0f) continue;
            EXPECT_EQ(left[i], want) << "position " << position_ + i;
            EXPECT_EQ(right[i], -want) << "position " << position_ + i;
            if (left[i] != want) break;
            ++audible;
        }
        position_ += n;
        return audible;
    }

    // After a reset the read position starts again at 0 and the producer's
    // stream has moved on by `produced` frames.
    void restart(std::int64_t produced) {
        position_ = 0;
        offset_ = produced;
    }
    // The same when the producer may have made more: any frame from
    // `floor` on may come first.
    void restartFrom(std::int64_t floor) {
        position_ = 0;
        offset_ = -1;
        floor_ = floor;
    }

private:
    SourceReadAhead& source_;
    std::int64_t position_ = 0;
    std::int64_t offset_ = 0;
    std::int64_t floor_ = 0;
};

constexpr std::int32_t ringSize = 1000;
constexpr std::int32_t chunk = 100;

}  // namespace

// Frames the reader has produced come back exactly, across the ring's end
// too; frames it has not (nothing yet, or a chunk still being produced)
// are silence, not an older lap of the ring.
TEST(SourceReadAhead, GivesProducedFramesExactlyAndSilenceForTheRest) {
    CounterProducer producer;
    producer.hold();
    SourceReadAhead source(&producer, nullptr, ringSize, chunk);
    Consumer consumer(source);
    ASSERT_TRUE(eventually([&] { return producer.entered() == 1; }));
    EXPECT_EQ(consumer.render(250), 0);  // the first chunk is still in the producer
    EXPECT_EQ(source.framesReady(), 0);

    producer.release();
    // The consumer read past 250 already, so the ring fills up to 1250.
    ASSERT_TRUE(eventually([&] { return source.fullRounds() >= 1; }));
    EXPECT_EQ(producer.finished(), 12);
    EXPECT_EQ(source.framesReady(), 950);
    producer.hold();
    EXPECT_EQ(consumer.render(300), 300);
    EXPECT_EQ(consumer.render(650), 650);  // ring indices 550 .. 999, then 0 .. 199
    ASSERT_TRUE(eventually([&] { return producer.entered() == 13; }));
    // Frames 1200 .. 1299 are in the producer; the ring still holds the
    // first lap's frames 200 .. 299 there.
    EXPECT_EQ(consumer.render(100), 0);

    producer.release();
    ASSERT_TRUE(eventually([&] { return source.framesReady() >= 400; }));
    EXPECT_EQ(consumer.render(400), 400);
}

// Once the ring is full the reader thread only sleeps; each chunk's worth
// of room that rendering frees brings exactly one more producer call.
TEST(SourceReadAhead, AFullRingCallsTheProducerNoMore) {
    CounterProducer producer;
    SourceReadAhead source(&producer, nullptr, ringSize, chunk);
    Consumer consumer(source);
    ASSERT_TRUE(eventually([&] { return source.fullRounds() >= 2; }));
    EXPECT_EQ(producer.entered(), 10);

    const struct {
        std::int32_t frames;  // rendered
        std::int64_t calls;   // producer calls once the ring is full again
    } steps[] = {{50, 10}, {50, 11}, {99, 11}, {1, 12}, {350, 15}};
    std::int64_t rendered = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "render " << step.frames);
        EXPECT_EQ(consumer.render(step.frames), step.frames);
        rendered += step.frames;
        const std::int64_t rounds = source.fullRounds();
        ASSERT_TRUE(eventually([&] { return source.fullRounds() >= rounds + 2; }));
        EXPECT_EQ(producer.entered(), step.calls);
        EXPECT_EQ(source.framesReady(), step.calls * chunk - rendered);
    }
}

// A reset drops what was produced and the chunk still in the producer:
// afterwards only audio produced after the reset is heard.
TEST(SourceReadAhead, ResetDropsProducedFramesAndAChunkInFlight) {
    CounterProducer producer;
    SourceReadAhead source(&producer, nullptr, ringSize, chunk);
    Consumer consumer(source);
    ASSERT_TRUE(eventually([&] { return source.fullRounds() >= 1; }));
    EXPECT_EQ(consumer.render(300), 300);
    producer.hold();
    ASSERT_TRUE(eventually([&] { return producer.entered() == 11; }));  // frames 1000 .. 1099

    source.reset();
    EXPECT_EQ(source.framesReady(), 0);
    consumer.restart(1100);  // the producer's next chunk starts at its frame 1100
    EXPECT_EQ(consumer.render(100), 0);  // frames 300 .. 999 are gone

    // The chunk in flight finishes; the first one after the reset is held.
    producer.pass(1);
    ASSERT_TRUE(eventually([&] { return producer.entered() == 12; }));
    EXPECT_EQ(source.framesReady(), 0);
    EXPECT_EQ(consumer.render(100), 0);

    const std::int64_t rounds = source.fullRounds();
    producer.release();
    ASSERT_TRUE(eventually([&] { return source.fullRounds() >= rounds + 2; }));
    // Post-reset chunks fill the ring from position 0 up to 1200, the
    // consumer being at 200; the in-flight chunk was not counted.
    EXPECT_EQ(producer.entered(), 23);
    EXPECT_EQ(source.framesReady(), 1000);
    EXPECT_EQ(consumer.render(1000), 1000);
}

// A reset wakes a reader that found its ring full: with its sleep made
// endless, only the reset can bring the next producer call. The chunk the
// producer is inside when the reset comes reads as dropped, the next one
// does not.
TEST(SourceReadAhead, AResetWakesTheSleepingReaderAndMarksTheChunkInFlightDropped) {
    struct EndlessSleep {
        EndlessSleep() { SourceReadAhead::setIdleWaitMs(platform::Event::infinite); }
        ~EndlessSleep() { SourceReadAhead::setIdleWaitMs(50); }
    } endless;
    CounterProducer producer;
    SourceReadAhead source(&producer, nullptr, ringSize, chunk);
    ASSERT_TRUE(eventually([&] { return source.fullRounds() >= 1; }));
    EXPECT_EQ(producer.entered(), 10);
    EXPECT_FALSE(source.isChunkDropped());

    producer.hold();
    source.reset();
    ASSERT_TRUE(eventually([&] { return producer.entered() == 11; })) << "the reset did not wake the reader";
    EXPECT_FALSE(source.isChunkDropped());
    source.reset();
    EXPECT_TRUE(source.isChunkDropped());
    producer.pass(1);
    ASSERT_TRUE(eventually([&] { return producer.entered() == 12; }));
    EXPECT_FALSE(source.isChunkDropped());
    producer.release();
    ASSERT_TRUE(eventually([&] { return source.framesReady() == ringSize; }));
    EXPECT_EQ(producer.entered(), 21);
}

// The destructor stops the reader thread and waits for it, a producer call
// in progress included; a sleeping reader wakes at once.
TEST(SourceReadAhead, TheDestructorJoinsTheReaderThread) {
    CounterProducer producer;
    producer.hold();
    auto owner = std::make_unique<SourceReadAhead>(&producer, nullptr, ringSize, chunk);
    ASSERT_TRUE(eventually([&] { return producer.entered() == 1; }));

    std::atomic<bool> destroyed{false};
    std::atomic<std::int64_t> activeAtReturn{-1};
    std::thread destroyer([&] {
        owner.reset();
        activeAtReturn.store(producer.active());
        destroyed.store(true);
    });
    // A destructor that did not wait would return while the producer is
    // still held; give it a moment to do so before letting go.
    for (int i = 0; i < 200 && !destroyed.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    producer.release();
    destroyer.join();
    EXPECT_EQ(activeAtReturn.load(), 0);
    EXPECT_EQ(producer.entered(), 1);
    EXPECT_EQ(producer.finished(), 1);

    CounterProducer idle;
    auto sleeping = std::make_unique<SourceReadAhead>(&idle, nullptr, ringSize, chunk);
    ASSERT_TRUE(eventually([&] { return sleeping->fullRounds() >= 1; }));
    sleeping.reset();
    EXPECT_EQ(idle.entered(), 10);
    EXPECT_EQ(idle.active(), 0);
}

TEST(SourceReadAhead, AReaderThreadThatCannotStartIsFatal) {
    CounterProducer producer;
    platform::Thread::setStartFault([] { return true; });
    EXPECT_FATAL(SourceReadAhead(&producer, nullptr, ringSize, chunk), "Could not create reader thread.");
    platform::Thread::setStartFault(nullptr);
    EXPECT_EQ(producer.entered(), 0);
}

// Producer and consumer running free, with reads of every size from 1 to
// 337 frames: every frame is its own counter value or silence, never older
// audio. Every 50th read first waits until its frames are ready, and must
// then be audio throughout. Every 500th read comes after a reset, after
// which no frame the producer had begun before it may appear.
TEST(SourceReadAhead, ProducerAndConsumerRunningFreeGiveOnlyTheirOwnFrames) {
    CounterProducer producer;
    SourceReadAhead source(&producer, nullptr, 2000, 128);
    Consumer consumer(source);
    for (std::int32_t round = 1; round <= 3000 && !HasFailure(); ++round) {
        const std::int32_t n = round % 337 + 1;
        if (round % 500 == 0) {
            // Read before the reset: the reset wakes the reader, which may
            // enter the producer again at once.
            const std::int64_t floor = producer.entered() * 128;
            source.reset();
            consumer.restartFrom(floor);
        }
        if (round % 50 == 0) {
            ASSERT_TRUE(eventually([&] { return source.framesReady() >= n; }));
            ASSERT_EQ(consumer.render(n), n) << "round " << round;
        } else {
            consumer.render(n);
        }
    }
}

// A reset from another thread while blocks are rendered: each block is a
// run of contiguous producer frames followed by silence, never torn.
TEST(SourceReadAhead, ResetsFromAnotherThreadNeverTearABlock) {
    CounterProducer producer;
    SourceReadAhead source(&producer, nullptr, 2000, 128);
    std::atomic<bool> done{false};
    std::thread resetter([&] {
        for (int i = 0; i < 3000 && !done.load(); ++i) {
            source.reset();
            std::this_thread::yield();
        }
        done.store(true);
    });
    std::vector<float> left(300);
    std::vector<float> right(300);
    float* out[] = {left.data(), right.data()};
    std::int64_t torn = 0;
    std::int64_t blocks = 0;
    while (!done.load() || blocks < 100) {
        const auto n = static_cast<std::int32_t>(blocks % 300 + 1);
        source.render(nullptr, out, n);
        ++blocks;
        std::int32_t run = 0;
        while (run < n && left[run] != 0.0f) ++run;
        for (std::int32_t i = 0; i < n; ++i) {
            const auto first = static_cast<std::int64_t>(left[0]) - 1;
            const bool ok = i < run ? left[i] == CounterProducer::valueAt(first + i) && right[i] == -left[i]
                                    : left[i] == 0.0f && right[i] == 0.0f;
            if (!ok) ++torn;
        }
    }
    done.store(true);
    resetter.join();
    EXPECT_EQ(torn, 0);
}
