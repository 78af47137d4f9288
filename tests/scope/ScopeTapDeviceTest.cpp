// The scope as the sink of an output device stepped on the virtual clock:
// what reaches its ring, when it asks for a paint, that the output thread
// allocates nothing for it, and the device it follows.
#include "ScopeTestSupport.h"

#include "AudioTestHelpers.h"
#include "audio/AudioClient.h"
#include "audio/WaveOut.h"
#include "framework/GUINumberSlider.h"
#include "framework/Window.h"
#include "platform/NativeWindow.h"
#include "platform/audio/FakeAudio.h"
#include "platform/audio/NullAudio.h"
#include "scope/ScopeTap.h"

#include <array>
#include <atomic>
#include <vector>

namespace {

using platform::audio::NullAudio;
using scope_test::sampleRate;
using scope_test::ScopeTest;

constexpr int periodFrames = 2205;  // 50 ms at 50 ms latency

// Known, non-periodic values for each channel by frame number.
float leftAt(long t) { return static_cast<float>((t * 7919) % 2000) / 1000.0f - 1.0f; }
float rightAt(long t) { return static_cast<float>((t * 104729) % 1000) / 4000.0f; }

class KnownProducer : public AudioClient {
public:
    void render(Motor* /*device*/, float** channels, std::int32_t frames) override {
        const int block = blocks_.load();
        if (block < maximumBlocks) {
            counts_[static_cast<std::size_t>(block)] = threadNewCalls();
            blocks_.store(block + 1);
        }
        const long first = frames_.load();
        for (std::int32_t i = 0; i < frames; ++i) {
            channels[0][i] = leftAt(first + i);
            channels[1][i] = rightAt(first + i);
        }
        frames_.store(first + frames);
    }
    long frames() const { return frames_.load(); }
    // The output thread's allocation count at the start of each block since
    // the last clear (at most maximumBlocks; the array is made up front).
    void clearAllocationCounts() { blocks_.store(0); }
    std::vector<std::int64_t> allocationCounts() const {
        return {counts_.begin(), counts_.begin() + blocks_.load()};
    }

private:
    static constexpr int maximumBlocks = 64;
    std::atomic<long> frames_{0};
    std::atomic<int> blocks_{0};
    std::array<std::int64_t, maximumBlocks> counts_{};
};

// Each block's allocation count on the output thread, taken when the sinks
// registered before it are done with the block.
class AllocationProbe : public AudioSink {
public:
    void process(Motor* /*device*/, const float* const* /*channels*/, std::int32_t /*frames*/) override {
        const int block = blocks_.load();
        if (block < maximumBlocks) {
            counts_[static_cast<std::size_t>(block)] = threadNewCalls();
            blocks_.store(block + 1);
        }
    }
    void detached(Motor* /*device*/) override {}
    void attach(Motor* /*device*/) override {}
    void clear() { blocks_.store(0); }
    std::vector<std::int64_t> counts() const { return {counts_.begin(), counts_.begin() + blocks_.load()}; }

private:
    static constexpr int maximumBlocks = 64;
    std::atomic<int> blocks_{0};
    std::array<std::int64_t, maximumBlocks> counts_{};
};

class ScopeOnDevice : public ScopeTest {
protected:
    void SetUp() override {
        ScopeTest::SetUp();
        fake.emplace();
        fake->waveOut.push_back({platform::audio::WaveDeviceCaps{"Fake Wave", platform::audio::waveFormat4S16, 2}, false});
    }
    void TearDown() override {
        scope.reset();
        devices.clear();
        fake.reset();
        NullAudio::forget();
        ScopeTest::TearDown();
    }
    Motor* openDevice() {
        devices.push_back(std::make_unique<WaveOut>(0, format, 50.0f, &producer));
        streams.push_back(NullAudio::newestStream());
        return devices.back().get();
    }
    void advance(int periods) {
        for (int i = 0; i < periods; ++i) ASSERT_TRUE(NullAudio::advanceToDeadline(streams.back(), 1));
    }
    void setSlider(GUINumberSlider* slider, float value) {
        slider->setValue(value);
        slider->notifyListener();
    }

    FormatAudio format{2, sampleRate, 16};
    KnownProducer producer;
    std::optional<platform::audio::FakeAudio> fake;
    std::vector<std::unique_ptr<Motor>> devices;
    std::vector<int> streams;
};

TEST_F(ScopeOnDevice, TheRingHoldsTheScaledSumOfEveryFramePlayedAcrossItsEnd) {
    Motor* device = openDevice();
    scope = std::make_unique<Scope>(nullptr, 1, format, device, nullptr);
    EXPECT_EQ(scope->device(), device);
    for (float gain : {50.0f, 230.0f}) {
        SCOPED_TRACE(gain);
        setSlider(scope->gainSlider(), gain);
        setSlider(scope->refreshIntervalSlider(), 1000.0f);
        if (gain == 50.0f) device->start();
        advance(27);  // 1.35 s with the two blocks of the start
        scope->update();
        const long played = producer.frames();
        const int ring = scope->tap()->ringSize();
        EXPECT_EQ(scope->tap()->readPosition(), played % ring);
        int wrong = 0;
        for (long t = played - ring; t < played; ++t) {
            const float expected = (leftAt(t) + rightAt(t)) * (gain / 100.0f);
            if (scope->signal()[t % ring] != expected && ++wrong <= 3) {
                ADD_FAILURE() << "frame " << t << ": " << scope->signal()[t % ring] << ", expected " << expected;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(ScopeOnDevice, APaintIsAskedOnceTheCollectedTimePassesTheRefreshInterval) {
    Motor* device = openDevice();
    scope = std::make_unique<Scope>(nullptr, 1, format, device, nullptr);
    device->start();
    scope->update();  // takes the two blocks of the start
    const struct {
        float refreshMs;
        int firstAskingPeriod;  // 50 ms periods after a take
    } cases[] = {{10.0f, 1}, {49.0f, 1}, {50.0f, 2}, {120.0f, 3}, {149.9f, 3}, {150.0f, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refreshMs);
        setSlider(scope->refreshIntervalSlider(), c.refreshMs);
        scope->update();
        scope->tap()->takeRepaintPending();  // whatever the blocks before asked
        for (int period = 1; period <= c.firstAskingPeriod; ++period) {
            advance(1);
            EXPECT_EQ(scope->tap()->takeRepaintPending(), period == c.firstAskingPeriod) << "period " << period;
        }
    }
}

TEST_F(ScopeOnDevice, TheOutputThreadAllocatesNothingForTheScopeNorForItsPaintRequest) {
    Motor* device = openDevice();
    scope = std::make_unique<Scope>(nullptr, 1, format, device, nullptr);
    // After the scope: its counts close each block's producer-and-scope span.
    AllocationProbe probe;
    device->addSink(&probe);
    device->start();
    advance(2);
    const struct {
        const char* name;
        float refreshMs;
        bool asks;
    } cases[] = {{"below the refresh interval", 1000.0f, false}, {"past it from the first block", 10.0f, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setSlider(scope->refreshIntervalSlider(), c.refreshMs);
        for (int round = 0; round < 8; ++round) {
            // What the paint does: the flag taken, the samples drawn.
            scope->tap()->takeRepaintPending();
            scope->update();
            producer.clearAllocationCounts();
            probe.clear();
            advance(6);
            const std::vector<std::int64_t> before = producer.allocationCounts();
            const std::vector<std::int64_t> after = probe.counts();
            ASSERT_EQ(before.size(), 6u);
            ASSERT_EQ(after.size(), 6u);
            // The block that passes the interval posts its paint request
            // to the UI thread, and that takes no allocation either.
            for (std::size_t i = 0; i < before.size(); ++i) {
                EXPECT_EQ(after[i], before[i]) << "round " << round << ", block " << i;
            }
            EXPECT_EQ(scope->tap()->takeRepaintPending(), c.asks);
        }
    }
    device->removeSink(&probe);
}

TEST_F(ScopeOnDevice, TheScopeFollowsTheDeviceItIsHandedAndLeavesOnlyThatOne) {
    Motor* first = openDevice();
    scope = std::make_unique<Scope>(nullptr, 1, format, first, nullptr);
    AudioSink* sinks[Motor::maxSinks];
    std::int32_t count = 0;
    first->listSinks(sinks, count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(sinks[0], scope.get());

    // The first device goes: its release tells the sink.
    devices.clear();
    EXPECT_EQ(scope->device(), nullptr);

    // A new device is handed over the way the application does it.
    Motor* second = openDevice();
    second->addSink(scope.get());
    scope->attach(second);
    EXPECT_EQ(scope->device(), second);
    second->start();
    advance(3);
    scope->update();
    EXPECT_GT(scope->tap()->readPosition(), 0);

    // The scope closes first: it leaves the device it holds now.
    scope.reset();
    second->listSinks(sinks, count);
    EXPECT_EQ(count, 0);
    advance(2);
}

TEST_F(ScopeOnDevice, ClosingLeavesTheDeviceHeldNowAndNotTheOneGivenAtConstruction) {
    Motor* first = openDevice();
    scope = std::make_unique<Scope>(nullptr, 1, format, first, nullptr);
    // The second device opens while the first is still open, so it cannot
    // take the first one's place in memory.
    Motor* second = openDevice();
    ASSERT_NE(second, first);
    first->removeSink(scope.get());
    second->addSink(scope.get());
    scope->attach(second);
    EXPECT_EQ(scope->device(), second);
    second->start();
    advance(2);
    scope->update();
    EXPECT_GT(scope->tap()->readPosition(), 0);

    // Closing takes the scope off the second device and leaves the first,
    // which no longer holds it, alone.
    scope.reset();
    AudioSink* sinks[Motor::maxSinks];
    std::int32_t count = -1;
    second->listSinks(sinks, count);
    EXPECT_EQ(count, 0);
    count = -1;
    first->listSinks(sinks, count);
    EXPECT_EQ(count, 0);
    advance(2);
}

}  // namespace
