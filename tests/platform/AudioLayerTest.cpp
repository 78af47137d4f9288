// The emulation rules of the wave output and the looping buffer, on the
// fake's null streams stepped by the virtual clock.
#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/audio/DirectSoundService.h"
#include "platform/audio/FakeAudio.h"
#include "platform/audio/NullAudio.h"
#include "platform/audio/WaveOutService.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace platform::audio;

namespace {

WaveFormat cdFormat() {
    WaveFormat format;
    format.formatTag = waveFormatPcm;
    format.channels = 2;
    format.samplesPerSecond = 44100;
    format.averageBytesPerSecond = 176400;
    format.blockAlign = 4;
    format.bitsPerSample = 16;
    return format;
}

class AudioLayer : public ::testing::Test {
protected:
    void SetUp() override {
        platform::VirtualClock::enable();
        NullAudio::setMemoryCapture(true);
        fake.waveOut.push_back({WaveDeviceCaps{"Wave", waveFormat4S16, 2}, false});
        fake.outputs.push_back({std::nullopt, "Primary Sound Driver", OutputCaps{0x0F}, false, false});
    }
    void TearDown() override {
        NullAudio::setMemoryCapture(false);
        NullAudio::forget();
        platform::VirtualClock::disable();
    }
    static void step(int stream, int periods = 1) {
        for (int i = 0; i < periods; ++i) ASSERT_TRUE(NullAudio::advanceToDeadline(stream));
    }
    FakeAudio fake;
};

// ---- Wave output ---------------------------------------------------------------

struct Completions {
    std::mutex mutex;
    std::vector<WaveHeader*> done;
    std::vector<unsigned> messages;
    std::vector<std::thread::id> threads;
    std::atomic<int> returned{0};
    std::atomic<bool> requeue{false};
};

void onWave(WaveOutHandle* handle, unsigned message, void* instance, WaveHeader* header) {
    auto& seen = *static_cast<Completions*>(instance);
    {
        std::lock_guard lock(seen.mutex);
        seen.messages.push_back(message);
        seen.threads.push_back(std::this_thread::get_id());
        if (message == waveOutDone) {
            seen.done.push_back(header);
            EXPECT_EQ(header->flags & headerInQueue, 0u);
            EXPECT_NE(header->flags & headerDone, 0u);
        }
    }
    if (message == waveOutDone && seen.requeue.load()) writeWaveHeader(handle, header);
    seen.returned.fetch_add(1);
}

struct Block {
    explicit Block(std::uint8_t value, std::size_t bytes = 400) : data(bytes, value) {
        header.data = data.data();
        header.bufferLength = static_cast<std::uint32_t>(bytes);
    }
    std::vector<std::uint8_t> data;
    WaveHeader header;
};

TEST_F(AudioLayer, WaveOutPlaysHeadersInOrderAndHandsThemBackOnItsOwnThread) {
    Completions seen;
    WaveOutHandle* handle = nullptr;
    ASSERT_EQ(openWaveOut(handle, waveOutDefault, cdFormat(), onWave, &seen), resultOk);
    const int stream = NullAudio::newestStream();
    Block a(1), b(2), unprepared(3);
    ASSERT_EQ(prepareWaveHeader(handle, &a.header), resultOk);
    ASSERT_EQ(prepareWaveHeader(handle, &b.header), resultOk);
    EXPECT_EQ(writeWaveHeader(handle, &unprepared.header), resultInvalidCall);

    // Nothing plays before the first write.
    EXPECT_EQ(NullAudio::nextDeadlineNs(stream), -1);
    ASSERT_EQ(writeWaveHeader(handle, &a.header), resultOk);
    EXPECT_EQ(writeWaveHeader(handle, &a.header), resultInvalidCall);  // queued already
    ASSERT_EQ(writeWaveHeader(handle, &b.header), resultOk);
    EXPECT_EQ(NullAudio::stream(stream)->periodFrames, 100);
    step(stream, 3);

    std::vector<std::uint8_t> expected(400, 1);
    expected.insert(expected.end(), 400, 2);
    expected.insert(expected.end(), 400, 0);  // nothing queued: silence
    EXPECT_EQ(NullAudio::capturedBytes(stream), expected);
    EXPECT_EQ(NullAudio::stream(stream)->underruns, 1);
    {
        std::lock_guard lock(seen.mutex);
        EXPECT_EQ(seen.done, (std::vector<WaveHeader*>{&a.header, &b.header}));
        ASSERT_EQ(seen.threads.size(), 3u);  // opened, done, done
        EXPECT_EQ(seen.messages[0], waveOutOpened);
        for (std::thread::id thread : seen.threads) {
            EXPECT_EQ(thread, seen.threads[0]);
            EXPECT_NE(thread, std::this_thread::get_id());
        }
    }
    EXPECT_EQ(unprepareWaveHeader(handle, &a.header), resultOk);
    EXPECT_EQ(closeWaveOut(handle), resultOk);
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.messages.back(), waveOutClosed);
    EXPECT_TRUE(NullAudio::stream(stream)->closed);
}

// Reset returns every queued header, and only once every done callback has
// returned; the next write starts the stream again.
TEST_F(AudioLayer, WaveOutResetReturnsEverythingQueued) {
    Completions seen;
    WaveOutHandle* handle = nullptr;
    ASSERT_EQ(openWaveOut(handle, 0, cdFormat(), onWave, &seen), resultOk);
    const int stream = NullAudio::newestStream();
    std::vector<std::unique_ptr<Block>> blocks;
    for (std::uint8_t i = 1; i <= 4; ++i) {
        blocks.push_back(std::make_unique<Block>(i));
        prepareWaveHeader(handle, &blocks.back()->header);
        ASSERT_EQ(writeWaveHeader(handle, &blocks.back()->header), resultOk);
    }
    step(stream, 1);
    const int returnedBefore = seen.returned.load();
    ASSERT_EQ(resetWaveOut(handle), resultOk);
    EXPECT_EQ(seen.returned.load(), returnedBefore + 3);
    for (auto& block : blocks) {
        EXPECT_EQ(block->header.flags & headerInQueue, 0u);
        EXPECT_NE(block->header.flags & headerDone, 0u);
    }
    EXPECT_FALSE(NullAudio::stream(stream)->running);
    EXPECT_EQ(NullAudio::nextDeadlineNs(stream), -1);

    ASSERT_EQ(writeWaveHeader(handle, &blocks[3]->header), resultOk);
    EXPECT_EQ(NullAudio::stream(stream)->starts, 2);
    step(stream, 1);
    const auto bytes = NullAudio::capturedBytes(stream);
    ASSERT_EQ(bytes.size(), 800u);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 400, [](std::uint8_t v) { return v == 1; }));
    EXPECT_TRUE(std::all_of(bytes.begin() + 400, bytes.end(), [](std::uint8_t v) { return v == 4; }));
    EXPECT_EQ(closeWaveOut(handle), resultOk);
}

// A client that writes again from its done callback keeps two headers
// playing; a reset still returns with both handed back.
TEST_F(AudioLayer, WaveOutResetWithAClientThatRequeues) {
    Completions seen;
    seen.requeue.store(true);
    WaveOutHandle* handle = nullptr;
    ASSERT_EQ(openWaveOut(handle, 0, cdFormat(), onWave, &seen), resultOk);
    const int stream = NullAudio::newestStream();
    Block a(1), b(2);
    prepareWaveHeader(handle, &a.header);
    prepareWaveHeader(handle, &b.header);
    writeWaveHeader(handle, &a.header);
    writeWaveHeader(handle, &b.header);
    step(stream, 5);
    EXPECT_EQ(NullAudio::stream(stream)->underruns, 0);
    seen.requeue.store(false);
    ASSERT_EQ(resetWaveOut(handle), resultOk);
    EXPECT_EQ(a.header.flags & headerInQueue, 0u);
    EXPECT_EQ(b.header.flags & headerInQueue, 0u);
    EXPECT_EQ(closeWaveOut(handle), resultOk);
}

TEST_F(AudioLayer, WaveOutOpenChecksDeviceAndFormat) {
    Completions seen;
    WaveOutHandle* handle = nullptr;
    EXPECT_EQ(openWaveOut(handle, 1, cdFormat(), onWave, &seen), resultNoDevice);
    WaveFormat odd = cdFormat();
    odd.bitsPerSample = 12;
    EXPECT_EQ(openWaveOut(handle, 0, odd, onWave, &seen), resultBadFormat);
    EXPECT_EQ(handle, nullptr);
    EXPECT_STREQ(resultName(resultBadFormat), "BadFormat");
    EXPECT_EQ(resultName(0), nullptr);
}

// ---- Looping buffer -----------------------------------------------------------------

class LoopingBuffer : public AudioLayer {
protected:
    void SetUp() override {
        AudioLayer::SetUp();
        ASSERT_EQ(createSoundDevice(nullptr, device), resultOk);
        BufferDescription description;
        description.flags = bufferPositionNotify;
        description.bytes = 800;
        description.format = cdFormat();
        ASSERT_EQ(device->createBuffer(description, buffer), resultOk);
        stream = NullAudio::newestStream();
        const PositionNotify notifies[2] = {{0, &wrapped}, {400, &middle}};
        ASSERT_EQ(buffer->setNotificationPositions(2, notifies), resultOk);
        // Takes the notifications as a renderer would (a stepped period
        // waits until someone has).
        listener = std::thread([this] {
            platform::Event* events[3] = {&wrapped, &middle, &quit};
            while (true) {
                const int which = platform::Event::waitForAny(events, 3);
                if (which == 2) return;
                std::lock_guard lock(notifiedMutex);
                notified.push_back(which == 0 ? "wrapped" : "middle");
            }
        });
    }
    void TearDown() override {
        buffer.reset();
        device.reset();
        quit.set();
        listener.join();
        AudioLayer::TearDown();
    }
    std::vector<std::string> notifications() {
        std::lock_guard lock(notifiedMutex);
        return notified;
    }
    void write(std::uint32_t offset, std::uint32_t bytes, std::uint8_t value) {
        void* first = nullptr;
        void* second = nullptr;
        std::uint32_t firstBytes = 0;
        std::uint32_t secondBytes = 0;
        ASSERT_EQ(buffer->lock(offset, bytes, &first, &firstBytes, &second, &secondBytes), resultOk);
        std::memset(first, value, firstBytes);
        if (second != nullptr) std::memset(second, value, secondBytes);
        ASSERT_EQ(buffer->unlock(first, firstBytes, second, secondBytes), resultOk);
    }
    // The value of each 400-byte period captured, -1 when mixed.
    std::vector<int> periods() {
        const auto bytes = NullAudio::capturedBytes(stream);
        std::vector<int> values;
        for (std::size_t at = 0; at + 400 <= bytes.size(); at += 400) {
            const bool same = std::all_of(bytes.begin() + at, bytes.begin() + at + 400,
                                          [&](std::uint8_t v) { return v == bytes[at]; });
            values.push_back(same ? bytes[at] : -1);
        }
        return values;
    }
    std::unique_ptr<SoundDevice> device;
    std::unique_ptr<SoundBuffer> buffer;
    platform::Event wrapped;
    platform::Event middle;
    platform::Event quit;
    std::thread listener;
    std::mutex notifiedMutex;
    std::vector<std::string> notified;
    int stream = 0;
};

TEST_F(LoopingBuffer, NotificationsFireWhenTheCursorReachesThemWhilePlaying) {
    write(0, 800, 7);
    ASSERT_EQ(buffer->setCurrentPosition(0), resultOk);
    ASSERT_EQ(buffer->play(playLooping), resultOk);
    EXPECT_EQ(NullAudio::stream(stream)->periodFrames, 100);
    step(stream);
    EXPECT_EQ(notifications(), (std::vector<std::string>{"middle"})) << "none may fire at play";
    step(stream, 3);
    EXPECT_EQ(notifications(), (std::vector<std::string>{"middle", "wrapped", "middle", "wrapped"}));
    ASSERT_EQ(buffer->stop(), resultOk);
    ASSERT_EQ(buffer->setCurrentPosition(400), resultOk);
    ASSERT_EQ(buffer->play(playLooping), resultOk);
    step(stream);
    EXPECT_EQ(notifications().back(), "wrapped") << "the set position fired, or the cursor did not start there";
    EXPECT_EQ(notifications().size(), 5u);
    ASSERT_EQ(buffer->stop(), resultOk);
    EXPECT_EQ(buffer->setNotificationPositions(0, nullptr), resultOk);
    EXPECT_EQ(buffer->play(playLooping), resultOk);
    const PositionNotify late{0, &wrapped};
    EXPECT_EQ(buffer->setNotificationPositions(1, &late), resultInvalidCall) << "changed while playing";
}

// Each stretch plays what was last written into it, once; a stretch not
// written since it last played, or locked right now, plays silence.
TEST_F(LoopingBuffer, UnwrittenOrLockedStretchesPlaySilence) {
    ASSERT_EQ(buffer->play(playLooping), resultOk);  // new buffers hold silence
    step(stream);
    write(400, 400, 2);
    step(stream);
    write(0, 400, 3);
    step(stream);
    void* first = nullptr;
    std::uint32_t firstBytes = 0;
    ASSERT_EQ(buffer->lock(400, 400, &first, &firstBytes, nullptr, nullptr), resultOk);
    std::memset(first, 9, firstBytes);
    step(stream);  // enters the locked half
    ASSERT_EQ(buffer->unlock(first, firstBytes, nullptr, 0), resultOk);
    step(stream);  // the first half was not written again
    step(stream);  // the unlocked half plays now
    EXPECT_EQ(periods(), (std::vector<int>{0, 2, 3, 0, 0, 9}));
    EXPECT_EQ(NullAudio::stream(stream)->underruns, 3);
}

TEST_F(LoopingBuffer, LockAcrossTheEndGivesTwoRegions) {
    void* first = nullptr;
    void* second = nullptr;
    std::uint32_t firstBytes = 0;
    std::uint32_t secondBytes = 0;
    ASSERT_EQ(buffer->lock(600, 400, &first, &firstBytes, &second, &secondBytes), resultOk);
    EXPECT_EQ(firstBytes, 200u);
    EXPECT_EQ(secondBytes, 200u);
    EXPECT_EQ(static_cast<std::uint8_t*>(second) + 600, static_cast<std::uint8_t*>(first));
    std::memset(first, 5, firstBytes);
    std::memset(second, 5, secondBytes);
    ASSERT_EQ(buffer->unlock(first, firstBytes, second, secondBytes), resultOk);
    EXPECT_EQ(buffer->lock(800, 4, &first, &firstBytes, &second, &secondBytes), resultInvalidCall);
    EXPECT_EQ(buffer->lock(0, 801, &first, &firstBytes, &second, &secondBytes), resultInvalidCall);
    ASSERT_EQ(buffer->play(playLooping), resultOk);
    step(stream, 2);
    const auto bytes = NullAudio::capturedBytes(stream);
    ASSERT_EQ(bytes.size(), 800u);
    EXPECT_EQ(bytes[0], 5);
    EXPECT_EQ(bytes[399], 0);  // the lock covered only part of each half
    EXPECT_EQ(bytes[599], 0);
    EXPECT_EQ(bytes[600], 5);
}

// Writes out of turn (the second half before the first) lose a block but
// never play an older write after a newer one.
TEST_F(LoopingBuffer, OlderWritesNeverPlayAfterNewerOnes) {
    write(0, 400, 1);
    write(400, 400, 2);
    ASSERT_EQ(buffer->play(playLooping), resultOk);
    step(stream, 2);
    write(400, 400, 3);  // out of turn: the first half is due next
    write(0, 400, 4);
    step(stream, 2);
    EXPECT_EQ(periods(), (std::vector<int>{1, 2, 4, 0}));
}

}  // namespace
