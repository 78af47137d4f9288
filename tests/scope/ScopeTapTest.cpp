#include "scope/ScopeTap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A block of channels with sample i of channel c = base[c] + i.
struct Block {
    std::vector<std::vector<float>> data;
    std::vector<const float*> pointers;
    Block(std::initializer_list<float> bases, int frames) {
        for (float base : bases) {
            std::vector<float> channel;
            for (int i = 0; i < frames; ++i) channel.push_back(base + static_cast<float>(i));
            data.push_back(channel);
        }
        for (const auto& channel : data) pointers.push_back(channel.data());
    }
    int channels() const { return static_cast<int>(data.size()); }
};

TEST(ScopeTap, TheRingHoldsTheScaledSumSplitAtTheWrap) {
    // A ring of 8 samples. Each block: channel bases, frames, gain; then the
    // ring's contents and positions after it.
    const struct {
        std::initializer_list<float> bases;
        int frames;
        float gain;
        std::vector<float> ring;
        int writePosition;
    } steps[] = {
        {{1.0f, 10.0f}, 5, 100.0f, {11, 13, 15, 17, 19, 0, 0, 0}, 5},
        // three channels, gain 50 %, wrapping after three frames
        {{0.0f, 2.0f, 4.0f}, 5, 50.0f, {7.5f, 9, 15, 17, 19, 3, 4.5f, 6}, 2},
        // one channel, exactly to the ring's end
        {{-1.0f}, 6, 200.0f, {7.5f, 9, -2, 0, 2, 4, 6, 8}, 0},
        // a block longer than the ring keeps its newest 8 frames
        {{0.0f}, 11, 100.0f, {8, 9, 10, 3, 4, 5, 6, 7}, 3},
    };
    ScopeTap tap(8);
    std::vector<float> signal(8, -99.0f);
    std::vector<float> magnitude(8, -99.0f);
    for (const auto& step : steps) {
        Block block(step.bases, step.frames);
        tap.write(block.pointers.data(), block.channels(), step.frames, step.gain, 1000.0f);
        EXPECT_EQ(tap.writePosition(), step.writePosition);
        tap.takeSamples(signal.data(), magnitude.data());
        EXPECT_EQ(tap.readPosition(), step.writePosition);
    }
    EXPECT_EQ(signal, (std::vector<float>{8, 9, 10, 3, 4, 5, 6, 7}));
    EXPECT_EQ(magnitude, signal);
}

TEST(ScopeTap, ATakeCopiesOnlyTheNewSamplesAtTheirIndices) {
    ScopeTap tap(8);
    std::vector<float> signal(8, -99.0f);
    std::vector<float> magnitude(8, -99.0f);
    Block first({-5.0f}, 6);  // -5 .. 0 at 0..5
    tap.write(first.pointers.data(), 1, 6, 100.0f, 1000.0f);
    EXPECT_EQ(tap.takeSamples(signal.data(), magnitude.data()), 6);
    EXPECT_EQ(signal, (std::vector<float>{-5, -4, -3, -2, -1, 0, -99, -99}));
    EXPECT_EQ(magnitude, (std::vector<float>{5, 4, 3, 2, 1, 0, -99, -99}));
    Block second({1.0f}, 4);  // 1 .. 4 at 6, 7, 0, 1
    tap.write(second.pointers.data(), 1, 4, 100.0f, 1000.0f);
    EXPECT_EQ(tap.takeSamples(signal.data(), magnitude.data()), 4);
    EXPECT_EQ(signal, (std::vector<float>{3, 4, -3, -2, -1, 0, 1, 2}));
    EXPECT_EQ(tap.readPosition(), 2);
    EXPECT_EQ(tap.takeSamples(signal.data(), magnitude.data()), 0);
}

TEST(ScopeTap, AfterAStallTheWholeRingIsTakenAndTheReadPositionCatchesUp) {
    ScopeTap tap(8);
    Block block({0.0f}, 3);
    for (int i = 0; i < 4; ++i) tap.write(block.pointers.data(), 1, 3, 100.0f, 1000.0f);  // 12 frames
    std::vector<float> signal(8, -99.0f);
    std::vector<float> magnitude(8, -99.0f);
    EXPECT_EQ(tap.takeSamples(signal.data(), magnitude.data()), 8);
    EXPECT_EQ(tap.readPosition(), tap.writePosition());
    EXPECT_EQ(tap.writePosition(), 4);
    EXPECT_EQ(signal, (std::vector<float>{2, 0, 1, 2, 1, 2, 0, 1}));
    // Afterwards takes follow the writes again.
    tap.write(block.pointers.data(), 1, 3, 100.0f, 1000.0f);
    EXPECT_EQ(tap.takeSamples(signal.data(), magnitude.data()), 3);
    EXPECT_EQ(tap.readPosition(), 7);
}

TEST(ScopeTap, TheRepaintIsAskedOnceTheCollectedTimePassesTheInterval) {
    // 1000 samples per second: a block of 10 frames is 10 ms.
    const struct {
        float intervalMs;
        std::vector<bool> asked;  // after each block of 10 frames
    } cases[] = {
        {40.0f, {false, false, false, false, true, false}},
        {10.0f, {false, true, false}},
        {9.5f, {true, false}},
        {1000.0f, std::vector<bool>(100, false)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.intervalMs);
        ScopeTap tap(1000);
        Block block({0.5f}, 10);
        bool anyAsked = false;
        for (std::size_t i = 0; i < c.asked.size(); ++i) {
            const bool asked = tap.write(block.pointers.data(), 1, 10, 100.0f, c.intervalMs);
            EXPECT_EQ(asked, c.asked[i]) << "block " << i;
            anyAsked = anyAsked || asked;
        }
        EXPECT_EQ(tap.takeRepaintPending(), anyAsked);
        EXPECT_FALSE(tap.takeRepaintPending());
        // Once the paint took the flag, the next block asks again.
        if (anyAsked) {
            EXPECT_TRUE(tap.write(block.pointers.data(), 1, 10, 100.0f, c.intervalMs));
        }
        tap.takeRepaintPending();
        // A take starts the count again.
        std::vector<float> signal(1000);
        std::vector<float> magnitude(1000);
        tap.takeSamples(signal.data(), magnitude.data());
        EXPECT_EQ(tap.write(block.pointers.data(), 1, 10, 100.0f, c.intervalMs), c.asked[0]);
    }
}

TEST(ScopeTap, NothingIsWrittenWithoutChannelsOrFrames) {
    ScopeTap tap(8);
    Block block({1.0f}, 4);
    EXPECT_FALSE(tap.write(block.pointers.data(), 0, 4, 100.0f, 0.0f));
    EXPECT_FALSE(tap.write(block.pointers.data(), 1, 0, 100.0f, 0.0f));
    EXPECT_EQ(tap.writePosition(), 0);
    std::vector<float> signal(8);
    std::vector<float> magnitude(8);
    EXPECT_EQ(tap.takeSamples(signal.data(), magnitude.data()), 0);
}

TEST(ScopeTap, TheOutputThreadWritesWhileTheInterfaceThreadTakes) {
    // Every block is a constant 0.25: whatever is taken reads 0.25 or the
    // ring's initial zero, never a torn mixture of other values.
    ScopeTap tap(4410);
    std::atomic<bool> done{false};
    std::thread output([&] {
        std::vector<float> constant(441, 0.25f);
        const float* channels[1] = {constant.data()};
        for (int i = 0; i < 2000; ++i) tap.write(channels, 1, 441, 100.0f, 10.0f);
        done.store(true);
    });
    std::vector<float> signal(4410, 0.0f);
    std::vector<float> magnitude(4410, 0.0f);
    long taken = 0;
    int odd = 0;
    while (!done.load() || taken == 0) {
        if (tap.takeRepaintPending() || done.load()) {
            taken += tap.takeSamples(signal.data(), magnitude.data());
            for (float v : signal) odd += (v != 0.25f && v != 0.0f);
        }
    }
    output.join();
    taken += tap.takeSamples(signal.data(), magnitude.data());
    EXPECT_EQ(odd, 0);
    EXPECT_GT(taken, 0);
}

}  // namespace
