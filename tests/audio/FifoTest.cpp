#include "audio/FIFO.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

// Frame k of the writer's stream is k + 1 on channel 0 and -(k + 1) on
// channel 1, so silence (0) never passes for audio.
class CounterBlocks {
public:
    // n frames of the stream from `first`, placed from index `at` of each
    // channel (the frames before `at` hold junk).
    void make(std::int64_t first, std::int32_t at, std::int32_t n) {
        left_.assign(static_cast<std::size_t>(at + n), 99.0f);
        right_.assign(left_.size(), 99.0f);
        for (std::int32_t i = 0; i < n; ++i) {
            left_[static_cast<std::size_t>(at + i)] = static_cast<float>(first + i + 1);
            right_[static_cast<std::size_t>(at + i)] = -static_cast<float>(first + i + 1);
        }
        channels_[0] = left_.data();
        channels_[1] = right_.data();
    }
    float* const* channels() { return channels_; }

private:
    std::vector<float> left_;
    std::vector<float> right_;
    float* channels_[2] = {};
};

// What a read gave: -1 for silence, else the stream frame of its first
// sample; -2 when it is neither (torn or stale).
std::int64_t readBlock(FIFO& fifo, std::int32_t n) {
    std::vector<float> left(static_cast<std::size_t>(n), 55.0f);
    std::vector<float> right(left.size(), 55.0f);
    float* out[] = {left.data(), right.data()};
    fifo.read(nullptr, out, n);
    bool silent = true;
    for (std::int32_t i = 0; i < n; ++i) silent = silent && left[i] == 0.0f && right[i] == 0.0f;
    if (silent) return -1;
    const std::int64_t first = static_cast<std::int64_t>(left[0]) - 1;
    for (std::int32_t i = 0; i < n; ++i) {
        if (left[i] != static_cast<float>(first + i + 1) || right[i] != -left[i]) return -2;
    }
    return first;
}

}  // namespace

// A script of writes and reads on an 11-frame ring (0.01 s at 1000 Hz):
// reads give the newest frames once enough are unread and count them as
// consumed, silence otherwise with the counters unchanged; writes wrap at
// the ring's end and overwrite the oldest frames.
TEST(Fifo, ReadsTheNewestFramesOrSilence) {
    struct Step {
        std::int32_t write;     // frames written first (0: none)
        std::int32_t writeAt;   // their offset in the caller's channels
        std::int32_t read;      // then frames read (0: none)
        std::int64_t first;     // the read's first stream frame, -1 silence
        std::int64_t consumed;  // the counter afterwards
    };
    const Step steps[] = {
        {0, 0, 1, -1, 0},    // nothing written
        {3, 0, 4, -1, 0},    // 3 unread, 4 wanted: silence, counters kept
        {0, 0, 3, 0, 3},     // exactly 3 unread
        {0, 0, 1, -1, 3},    // all consumed
        {5, 2, 2, 6, 5},     // a backlog of 5: the newest 2 (frames 6, 7)
        {0, 0, 3, 5, 8},     // 3 left unread: the newest 3 are frames 5..7
        {11, 0, 11, 8, 19},  // the ring wraps: frames 8..18, all it holds
        {20, 3, 7, 32, 26},  // a write longer than the ring keeps its last 11
        {2, 0, 12, -1, 26},  // more than the ring holds: silence
        {0, 0, 10, 31, 36},  // frames 31..40: the long write's tail and the short one
    };
    FIFO fifo(FormatAudio(2, 1000, 16), 0.01f);
    ASSERT_EQ(fifo.size(), 11);
    CounterBlocks blocks;
    std::int64_t written = 0;
    for (std::size_t s = 0; s < std::size(steps); ++s) {
        const Step& step = steps[s];
        SCOPED_TRACE(testing::Message() << "step " << s);
        if (step.write > 0) {
            blocks.make(written, step.writeAt, step.write);
            if (step.writeAt == 0) {
                fifo.write(blocks.channels(), step.write);
            } else {
                fifo.writeAt(blocks.channels(), step.writeAt, step.write);
            }
            written += step.write;
        }
        EXPECT_EQ(fifo.written(), written);
        if (step.read > 0) {
            EXPECT_EQ(readBlock(fifo, step.read), step.first);
        }
        EXPECT_EQ(fifo.consumed(), step.consumed);
    }
}

// One writer thread and one reader thread on a small ring, so that the
// writer laps the reader: every block read is a run of contiguous stream
// frames or silence, never torn. The writer runs free for eight blocks at a
// time, then lets the reader finish two reads, so that some reads see no
// write at all and must give audio.
TEST(Fifo, TwoThreadsNeverSeeATornBlock) {
    FIFO fifo(FormatAudio(2, 1000, 16), 0.05f);  // 51 frames
    constexpr std::int64_t total = 400000;
    std::atomic<bool> done{false};
    std::atomic<std::int64_t> reads{0};
    std::thread writer([&] {
        CounterBlocks blocks;
        std::int64_t written = 0;
        std::int32_t n = 1;
        for (std::int64_t block = 1; written < total; ++block) {
            n = n % 37 + 1;
            blocks.make(written, n % 3, n);
            fifo.writeAt(blocks.channels(), n % 3, n);
            written += n;
            if (block % 8 == 0) {
                const std::int64_t before = reads.load();
                while (reads.load() < before + 2) std::this_thread::yield();
            }
        }
        done.store(true);
    });
    std::int64_t audible = 0;
    std::int64_t torn = 0;
    std::int64_t last = -1;
    std::int64_t backwards = 0;
    while (!done.load()) {
        const std::int64_t first = readBlock(fifo, 16);
        reads.fetch_add(1);
        if (first == -2) ++torn;
        if (first >= 0) {
            ++audible;
            if (first < last) ++backwards;
            last = first;
        }
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(backwards, 0);  // the newest frames never go back in time
    EXPECT_GT(audible, 0);
}
