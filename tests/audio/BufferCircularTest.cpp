#include "AudioTestHelpers.h"
#include "audio/BufferCircular.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// A scripted stream of `length` frames: frame f is f + 1 on channel 0 and
// -(f + 1) on channel 1, so silence (0) never passes for audio. It decodes
// whole blocks of `block` frames from wherever it stands, and records every
// call.
class ScriptedSource : public BufferSource {
public:
    struct Call {
        bool at;  // readAt, else readNext
        std::int32_t offset;
        std::int32_t wrapAt;
        std::int32_t count;
        std::int32_t position;  // readAt's; -1 for readNext
        std::int32_t produced;
    };

    ScriptedSource(std::int32_t length, std::int32_t block) : length_(length), block_(block) {}

    void readNext(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count,
                  std::int32_t& produced) override {
        produced = decode(destination, offset, wrapAt, count);
        calls.push_back({false, offset, wrapAt, count, -1, produced});
    }

    void readAt(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count,
                std::int32_t& produced, std::int32_t position) override {
        next_ = position;
        produced = decode(destination, offset, wrapAt, count);
        calls.push_back({true, offset, wrapAt, count, position, produced});
    }

    std::int32_t maxBlockFrames() override { return block_; }

    std::vector<Call> calls;

private:
    std::int32_t decode(float** destination, std::int32_t offset, std::int32_t wrapAt, std::int32_t count) {
        std::int32_t produced = 0;
        while (produced < count && next_ < length_) {
            const std::int32_t frames = std::min(block_, length_ - next_);
            for (std::int32_t i = 0; i < frames; ++i) {
                std::int32_t index = offset + produced + i;
                if (index >= wrapAt) index -= wrapAt;
                destination[0][index] = static_cast<float>(next_ + i + 1);
                destination[1][index] = -static_cast<float>(next_ + i + 1);
            }
            produced += frames;
            next_ += frames;
        }
        return produced;
    }

    std::int32_t length_;
    std::int32_t block_;
    std::int32_t next_ = 0;
};

const FormatAudio thousandHertz(2, 1000, 16);
constexpr float guard = -7777.0f;
constexpr std::int32_t outStart = 3;

// Reads n frames at position into fresh channels behind three guard
// frames, and checks them against the stream: frames below `delivered`
// are audio, the rest silence; the guards stay.
void expectRead(BufferCircular& buffer, std::int32_t position, std::int32_t n, bool large, std::int32_t delivered) {
    std::vector<float> left(static_cast<std::size_t>(outStart + n + 3), guard);
    std::vector<float> right(left.size(), guard);
    float* out[] = {left.data(), right.data()};
    buffer.read(out, outStart, position, n, large);
    for (std::int32_t i = 0; i < outStart; ++i) ASSERT_EQ(left[i], guard);
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t frame = position + i;
        const float want = frame < delivered ? static_cast<float>(frame + 1) : 0.0f;
        ASSERT_EQ(left[outStart + i], want) << "frame " << frame;
        ASSERT_EQ(right[outStart + i], -want) << "frame " << frame;
    }
    for (std::size_t i = static_cast<std::size_t>(outStart + n); i < left.size(); ++i) ASSERT_EQ(right[i], guard);
}

}  // namespace

// Before and after the cached stretch the cache restarts at the position;
// inside it the source is not asked.
TEST(BufferCircular, RefillsBeforeAndAfterTheCachedStretch) {
    ScriptedSource source(100000, 100);
    BufferCircular buffer(&source, thousandHertz, 10.0f);
    ASSERT_EQ(buffer.size(), 10001);
    ASSERT_EQ(buffer.granularity(), 100);

    expectRead(buffer, 5000, 200, false, 100000);
    expectRead(buffer, 4000, 200, false, 100000);  // before
    expectRead(buffer, 8100, 200, false, 100000);  // just past the 4100 frames held from 4000
    expectRead(buffer, 8150, 100, false, 100000);  // inside
    expectRead(buffer, 12199, 1, false, 100000);   // the last frame held
    ASSERT_EQ(source.calls.size(), 3u);
    const std::int32_t positions[] = {5000, 4000, 8100};
    for (std::size_t i = 0; i < 3; ++i) {
        const ScriptedSource::Call& call = source.calls[i];
        EXPECT_TRUE(call.at);
        EXPECT_EQ(call.position, positions[i]);
        EXPECT_EQ(call.offset, 0);
        EXPECT_EQ(call.wrapAt, 10001);
        EXPECT_EQ(call.count, 4096);
    }
    EXPECT_EQ(buffer.firstFrame(), 8100);
    EXPECT_EQ(buffer.filled(), 4100);
    EXPECT_EQ(buffer.start(), 0);
}

// The request: max(4096 or, with the large flag, 500,000; n + 64), at most
// the ring less one source block.
TEST(BufferCircular, RequestsFollowTheFlagTheCountAndTheRing) {
    struct RequestCase {
        float seconds;
        std::int32_t n;
        bool large;
        std::int32_t request;
    };
    const RequestCase cases[] = {
        {600.0f, 10, false, 4096},  {600.0f, 10, true, 500000},    {600.0f, 5000, false, 5064},
        {600.0f, 4032, false, 4096}, {600.0f, 4033, false, 4097}, {3.0f, 500, false, 2901},
        {3.0f, 500, true, 2901},    {1000.0f, 600000, true, 600064},
    };
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.seconds << " s, n " << c.n << ", large " << c.large);
        ScriptedSource source(2000000, 100);
        BufferCircular buffer(&source, thousandHertz, c.seconds);
        expectRead(buffer, 0, c.n, c.large, 2000000);
        ASSERT_EQ(source.calls.size(), 1u);
        EXPECT_EQ(source.calls[0].count, c.request);
        EXPECT_EQ(buffer.filled(), (c.request + 99) / 100 * 100);
    }
}

// A read that runs past the held frames appends at the ring's end. Frames
// from the read position on must survive the append, a block's overshoot
// included, so the request shrinks to the room left; the copy then crosses
// the ring's end.
TEST(BufferCircular, AppendsWithTheRequestReducedAndCopiesAcrossTheRingEnd) {
    ScriptedSource source(100000, 100);
    BufferCircular buffer(&source, thousandHertz, 10.0f);
    expectRead(buffer, 0, 200, true, 100000);
    ASSERT_EQ(source.calls.back().count, 9901);
    ASSERT_EQ(buffer.filled(), 10000);

    expectRead(buffer, 9950, 200, true, 100000);
    ASSERT_EQ(source.calls.size(), 2u);
    const ScriptedSource::Call& append = source.calls[1];
    EXPECT_FALSE(append.at);
    EXPECT_EQ(append.offset, 10000);
    EXPECT_EQ(append.wrapAt, 10001);
    EXPECT_EQ(append.count, 10001 - 50 - 99);  // the ring less the 50 frames kept less the overshoot
    EXPECT_EQ(append.produced, 9900);
    EXPECT_EQ(buffer.filled(), 10001);
    EXPECT_EQ(buffer.firstFrame(), 9899);
    EXPECT_EQ(buffer.start(), 9899);

    // Another append without the flag asks for 4096 frames, all of which fit.
    expectRead(buffer, 19850, 200, false, 100000);
    ASSERT_EQ(source.calls.size(), 3u);
    EXPECT_FALSE(source.calls[2].at);
    EXPECT_EQ(source.calls[2].count, 4096);
    EXPECT_EQ(source.calls[2].offset, 9899);
    expectRead(buffer, 19900, 4000, false, 100000);  // held already
    EXPECT_EQ(source.calls.size(), 3u);
}

// Where the stream ends the source delivers less; the frames it did not
// deliver read as silence, not as what the ring held from before.
TEST(BufferCircular, FramesTheSourceDidNotDeliverAreSilence) {
    struct EndCase {
        std::int32_t position;
        std::int32_t n;
    };
    const EndCase cases[] = {
        {4950, 200},  // restart near the end: 50 frames delivered
        {4090, 1000}, // an append that reaches the end
        {5000, 64},   // at the end: nothing
        {9000, 10},   // far beyond
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "position " << c.position);
        ScriptedSource source(5000, 100);
        BufferCircular buffer(&source, thousandHertz, 10.0f);
        expectRead(buffer, 0, 100, false, 5000);  // the ring now holds frames 0 .. 4099
        expectRead(buffer, c.position, c.n, false, 5000);
        expectRead(buffer, c.position, c.n, false, 5000);  // again, once the stream has ended
    }
}

TEST(BufferCircular, ARingSmallerThanTheReadAndOneBlockIsFatal) {
    ScriptedSource source(100000, 100);
    BufferCircular buffer(&source, thousandHertz, 1.0f);  // 1001 frames
    std::vector<float> left(1000);
    std::vector<float> right(1000);
    float* out[] = {left.data(), right.data()};
    EXPECT_FATAL(buffer.read(out, 0, 0, 902, false), "Buffer too small.");
    EXPECT_TRUE(source.calls.empty());
    expectRead(buffer, 0, 901, false, 100000);
}
