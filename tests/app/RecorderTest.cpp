// The recorder on a stepped null stream: its file against what Python's
// wave module writes from the frames the stream played, the header after
// each stop and at the limit, the limit's box on the writer thread, lost
// audio, failures, and the elapsed time.
#include "AppTestSupport.h"
#include "TestEnvironment.h"
#include "app/Recorder.h"
#include "audio/AudioClient.h"
#include "audio/FormatAudio.h"
#include "audio/Motor.h"
#include "audio/WaveOut.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/UiScript.h"
#include "platform/audio/FakeAudio.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>

using platform::audio::NullAudio;

namespace {

// Values the 16-bit conversion can get wrong: full scale and beyond, NaN
// and infinities, and both neighbours of rounding steps.
std::vector<float> edgeValues() {
    std::vector<float> values{0.0f,
                              1.0f,
                              -1.0f,
                              1.5f,
                              -1.5f,
                              std::numeric_limits<float>::quiet_NaN(),
                              -std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::nextafter(1.0f, 0.0f),
                              std::nextafter(1.0f, 2.0f),
                              std::nextafter(-1.0f, 0.0f),
                              std::nextafter(-1.0f, -2.0f)};
    for (float step : {0.5f, 1.0f, 1.5f, 2.0f, 12345.0f, 32766.0f, 32766.5f}) {
        for (float sign : {1.0f, -1.0f}) {
            const float v = sign * step / 32767.0f;
            values.push_back(v);
            values.push_back(std::nextafter(v, 0.0f));
            values.push_back(std::nextafter(v, 2.0f * v));
        }
    }
    return values;
}

// Channel 0 cycles through the edge values, channel 1 is a ramp, so every
// frame of a recording is told apart from its neighbours.
class EdgeProducer : public AudioClient {
public:
    void render(Motor* /*device*/, float** channels, std::int32_t frames) override {
        static const std::vector<float> values = edgeValues();
        for (std::int32_t i = 0; i < frames; ++i) {
            const std::int64_t k = next_ + i;
            channels[0][i] = values[static_cast<std::size_t>(k % static_cast<std::int64_t>(values.size()))];
            channels[1][i] = static_cast<float>(k % 4001 - 2000) / 2000.0f;
        }
        next_ += frames;
        blocks_.fetch_add(1);
    }
    std::int64_t blocks() const { return blocks_.load(); }

private:
    std::int64_t next_ = 0;
    std::atomic<std::int64_t> blocks_{0};
};

std::uint32_t u32At(const std::string& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes.at(offset + i));
    return value;
}

// Holds the writer at the start of its passes while closed.
class WriterGate {
public:
    void close() {
        std::lock_guard<std::mutex> hold(mutex_);
        closed_ = true;
    }
    void open() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            closed_ = false;
        }
        changed_.notify_all();
    }
    void pass() {
        std::unique_lock<std::mutex> hold(mutex_);
        if (!closed_) return;
        ++waiting_;
        changed_.notify_all();
        changed_.wait(hold, [this] { return !closed_; });
        --waiting_;
    }
    // Returns once the writer waits at the gate.
    void awaitWriter() {
        std::unique_lock<std::mutex> hold(mutex_);
        ASSERT_TRUE(changed_.wait_for(hold, std::chrono::seconds(20), [this] { return waiting_ > 0; }))
            << "the writer never reached the gate";
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    int waiting_ = 0;
};

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::VirtualClock::enable();
        NullAudio::setMemoryCapture(true);
        setFatalErrorHook(throwFatalStop);
        platform::uiScript::enable();
        testing_support::clearLog();
        fake.emplace();
        fake->waveOut.push_back({platform::audio::WaveDeviceCaps{"Fake Wave", platform::audio::waveFormat4S16, 2},
                                 false});
    }
    void TearDown() override {
        device.reset();
        fake.reset();
        platform::uiScript::disable();
        setFatalErrorHook(nullptr);
        NullAudio::setMemoryCapture(false);
        NullAudio::forget();
        platform::VirtualClock::disable();
    }

    // A waveOut device on a stepped null stream, started: it has rendered
    // its first two blocks.
    void openDevice(float latencyMs) {
        device = std::make_unique<WaveOut>(0, format, latencyMs, &producer);
        stream = NullAudio::newestStream();
        device->start();
        frames = NullAudio::stream(stream)->periodFrames;
    }
    void step(int periods) {
        for (int i = 0; i < periods; ++i) ASSERT_TRUE(NullAudio::advanceToDeadline(stream, 1));
    }
    // The writer waits at the gate before each pass while it is closed.
    static void holdPassesAt(Recorder& recorder, WriterGate& gate) {
        recorder.setWriterHook([&gate](Recorder::WriterPoint point) {
            if (point == Recorder::WriterPoint::Pass) gate.pass();
        });
    }
    static void waitForWriter(const Recorder& recorder) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (recorder.framesWritten() != recorder.framesCopiedIn()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the writer does not catch up";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // The bytes the stream played for blocks [from, to) of the producer.
    std::string played(std::int64_t from, std::int64_t to) const {
        const std::vector<std::uint8_t> capture = NullAudio::capturedBytes(stream);
        const std::size_t blockBytes = static_cast<std::size_t>(frames) * 4;
        EXPECT_LE(static_cast<std::size_t>(to) * blockBytes, capture.size()) << "not played yet";
        if (static_cast<std::size_t>(to) * blockBytes > capture.size()) return {};
        return std::string(capture.begin() + static_cast<std::ptrdiff_t>(from * blockBytes),
                           capture.begin() + static_cast<std::ptrdiff_t>(to * blockBytes));
    }
    // What Python's wave module writes for these frames.
    std::string pythonWave(const std::string& frameBytes) const {
        const std::string raw = directory.file("frames.raw");
        const std::string wav = directory.file("python.wav");
        testing_support::writeFile(raw, frameBytes);
        testing_support::runPython("app/wave_reference.py", {raw, wav});
        return testing_support::readFile(wav);
    }

    testing_support::TemporaryDirectory directory;
    std::optional<platform::audio::FakeAudio> fake;
    FormatAudio format;
    EdgeProducer producer;
    std::unique_ptr<WaveOut> device;
    int stream = 0;
    int frames = 0;
};

TEST_F(RecorderTest, TheFileHoldsExactlyTheRecordedBlocksAsPythonsWaveWritesThem) {
    openDevice(30.0f);
    Recorder recorder(format, device.get(), 1.0f);
    ASSERT_EQ(recorder.device(), device.get());
    // Blocks that do not divide the ring: one of them crosses its end.
    ASSERT_NE(recorder.ringFrames() % frames, 0);
    const std::string take = directory.file("take.wav");
    recorder.setFileName(take);

    ASSERT_TRUE(recorder.start());
    EXPECT_FALSE(recorder.start());
    const std::int64_t firstFrom = producer.blocks();
    const int k = 25;
    step(k);
    const std::int64_t firstTo = producer.blocks();
    ASSERT_TRUE(recorder.stop());
    EXPECT_FALSE(recorder.stop());
    EXPECT_FALSE(recorder.isRecording());
    // A stopped recording is complete on disk.
    std::string bytes = testing_support::readFile(take);
    const std::uint32_t firstData = static_cast<std::uint32_t>((firstTo - firstFrom) * frames * 4);
    EXPECT_EQ(bytes.size(), 44 + firstData);
    EXPECT_EQ(u32At(bytes, 40), firstData);
    EXPECT_EQ(u32At(bytes, 4), firstData + 36);

    step(3);  // not recorded
    ASSERT_TRUE(recorder.start());
    const std::int64_t secondFrom = producer.blocks();
    step(15);
    const std::int64_t secondTo = producer.blocks();
    ASSERT_GT((firstTo - firstFrom + secondTo - secondFrom) * frames, recorder.ringFrames());
    EXPECT_TRUE(recorder.setFileName(directory.file("next.wav")));
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.fileName(), directory.file("next.wav"));

    step(3);  // the recorded blocks reach the stream
    EXPECT_EQ(NullAudio::stream(stream)->underruns, 0);
    bytes = testing_support::readFile(take);
    const std::string expected = pythonWave(played(firstFrom, firstTo) + played(secondFrom, secondTo));
    ASSERT_EQ(bytes.size(), expected.size());
    EXPECT_TRUE(bytes == expected) << "the recording differs from the played frames";
}

TEST_F(RecorderTest, AFileClosedAtOnceStatesThatItHoldsNoAudio) {
    openDevice(50.0f);
    Recorder recorder(format, device.get(), 1.0f);
    recorder.setFileName(directory.file("empty.wav"));
    ASSERT_TRUE(recorder.start());
    recorder.setFileName(directory.file("other.wav"));
    const std::string bytes = testing_support::readFile(directory.file("empty.wav"));
    EXPECT_EQ(u32At(bytes, 4), 36u);
    EXPECT_EQ(u32At(bytes, 40), 0u);
    EXPECT_EQ(bytes, pythonWave({}));
}

TEST_F(RecorderTest, FailedOpensAreReportedAndKeepTheCounters) {
    openDevice(50.0f);
    Recorder recorder(format, device.get(), 1.0f);
    EXPECT_FALSE(recorder.reset()) << "no file yet";

    recorder.setFileName(directory.file("a.wav"));
    ASSERT_TRUE(recorder.start());
    step(4);
    ASSERT_TRUE(recorder.stop());
    const std::int64_t written = recorder.framesWritten();
    ASSERT_EQ(written, 4 * frames);

    // Choosing a file closes the old one; one that cannot be created leaves
    // the counters and the state as they were.
    const std::string unwritable = directory.file("missing/b.wav");
    recorder.setFileName(unwritable);
    EXPECT_FALSE(recorder.start());
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_EQ(recorder.framesWritten(), written);
    EXPECT_EQ(app_test::boxes(), std::vector<std::string>{"Cannot start recording.|Cannot open " + unwritable + "."});
    EXPECT_FALSE(recorder.reset());

    // Once a file opens the counters start again.
    recorder.setFileName(directory.file("c.wav"));
    ASSERT_TRUE(recorder.start());
    EXPECT_EQ(recorder.framesWritten(), 0);
    step(2);
    ASSERT_TRUE(recorder.stop());
    EXPECT_EQ(recorder.framesWritten(), 2 * frames);

    // A reset empties the file; one that cannot open it again leaves none.
    ASSERT_TRUE(recorder.reset());
    EXPECT_EQ(recorder.framesWritten(), 0);
    EXPECT_EQ(testing_support::readFile(directory.file("c.wav")), pythonWave({}));
    platform::setFileFaultHook([](platform::FileOperation operation, const std::string&) {
        return operation == platform::FileOperation::Open;
    });
    EXPECT_FALSE(recorder.reset());
    platform::setFileFaultHook(nullptr);
    EXPECT_EQ(app_test::boxes().back(), "Cannot reset recording.|Cannot open " + directory.file("c.wav") + ".");
    EXPECT_FALSE(recorder.reset()) << "no file after the failed reset";
    EXPECT_TRUE(recorder.start()) << "the next start creates it";
}

// A device that plays some format and keeps its sinks.
class FormatDevice : public Motor {
public:
    explicit FormatDevice(FormatAudio format) : format_(format) {}
    FormatAudio* format() override { return &format_; }
    void addSink(AudioSink* sink) override { sinks_.push_back(sink); }
    void removeSink(AudioSink* sink) override { sinks_.erase(std::find(sinks_.begin(), sinks_.end(), sink)); }
    void listSinks(AudioSink** sinks, std::int32_t& count) override {
        count = static_cast<std::int32_t>(sinks_.size());
        std::copy(sinks_.begin(), sinks_.end(), sinks);
    }
    std::vector<AudioSink*> sinks_;

private:
    FormatAudio format_;
};

TEST(RecorderFormats, OnlyCdFormatOnADeviceOfTheSameFormat) {
    struct Case {
        FormatAudio recorder;
        std::optional<FormatAudio> device;
        const char* thrown;  // null: accepted
    };
    const Case cases[] = {
        {FormatAudio(2, 44100, 16), std::nullopt, nullptr},
        {FormatAudio(2, 44100, 16), FormatAudio(2, 44100, 16), nullptr},
        {FormatAudio(1, 44100, 16), std::nullopt, "Recorder currently supports only CD format."},
        {FormatAudio(2, 48000, 16), std::nullopt, "Recorder currently supports only CD format."},
        {FormatAudio(2, 44100, 24), std::nullopt, "Recorder currently supports only CD format."},
        {FormatAudio(2, 44100, 16), FormatAudio(2, 44100, 24), "Motor does not use the specified format."},
        {FormatAudio(2, 44100, 16), FormatAudio(2, 48000, 16), "Motor does not use the specified format."},
    };
    for (const Case& c : cases) {
        std::optional<FormatDevice> device;
        if (c.device) device.emplace(*c.device);
        Motor* motor = device ? &*device : nullptr;
        try {
            Recorder recorder(c.recorder, motor, 1.0f);
            EXPECT_EQ(c.thrown, nullptr) << "accepted";
            if (device) {
                EXPECT_EQ(device->sinks_, std::vector<AudioSink*>{&recorder});
            }
        } catch (const StringException& e) {
            ASSERT_NE(c.thrown, nullptr) << e.what();
            EXPECT_STREQ(e.what(), c.thrown);
            if (device) {
                EXPECT_TRUE(device->sinks_.empty());
            }
        }
        if (device) {
            EXPECT_TRUE(device->sinks_.empty()) << "the destructor leaves the device";
        }
    }
}

// attach moves the recorder from its device to the next one, once.
TEST(RecorderFormats, AttachMovesTheRecorderBetweenDevices) {
    FormatDevice first{FormatAudio()};
    FormatDevice second{FormatAudio()};
    Recorder recorder(FormatAudio(), &first, 1.0f);
    recorder.attach(&second);
    EXPECT_TRUE(first.sinks_.empty());
    EXPECT_EQ(second.sinks_, std::vector<AudioSink*>{&recorder});
    // A device that already lists it (the application adds, then attaches).
    first.addSink(&recorder);
    recorder.attach(&first);
    EXPECT_EQ(first.sinks_, std::vector<AudioSink*>{&recorder});
    EXPECT_TRUE(second.sinks_.empty());
    recorder.detached(&first);
    EXPECT_EQ(recorder.device(), nullptr);
    first.sinks_.clear();
}

// Frames lost to a writer more than a ring behind are written as silence,
// every frame is counted, and the loss is logged once per recording.
TEST_F(RecorderTest, AWriterARingBehindWritesTheLostFramesAsSilenceAndLogsOnce) {
    openDevice(30.0f);
    Recorder recorder(format, device.get(), 0.1f);
    WriterGate gate;
    holdPassesAt(recorder, gate);
    recorder.setFileName(directory.file("lost.wav"));
    ASSERT_TRUE(recorder.start());
    const std::int64_t from = producer.blocks();
    const int behind = recorder.ringFrames() / frames + 3;  // more than a ring
    for (int round = 0; round < 2; ++round) {
        gate.close();
        gate.awaitWriter();
        step(behind);
        gate.open();
        waitForWriter(recorder);
        step(2);
        waitForWriter(recorder);
    }
    const std::int64_t to = producer.blocks();
    ASSERT_TRUE(recorder.stop());
    EXPECT_EQ(recorder.framesWritten(), (to - from) * frames);

    int lossLines = 0;
    for (const std::string& text : testing_support::logTexts()) {
        if (text.find("Recorder fell a whole ring behind") != std::string::npos) ++lossLines;
    }
    EXPECT_EQ(lossLines, 1);

    // Each round: the frames before the last ring are silence, the last
    // ring and the blocks after it are the played ones.
    recorder.setFileName(directory.file("other.wav"));
    step(3);
    std::string expected;
    const std::size_t blockBytes = static_cast<std::size_t>(frames) * 4;
    const std::size_t ringBytes = static_cast<std::size_t>(recorder.ringFrames()) * 4;
    for (int round = 0; round < 2; ++round) {
        const std::int64_t roundFrom = from + round * (behind + 2);
        std::string heldBack = played(roundFrom, roundFrom + behind);
        std::fill(heldBack.begin(), heldBack.end() - static_cast<std::ptrdiff_t>(ringBytes), '\0');
        expected += heldBack + played(roundFrom + behind, roundFrom + behind + 2);
    }
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(to - from) * blockBytes);
    EXPECT_TRUE(testing_support::readFile(directory.file("lost.wav")) == pythonWave(expected));
}

// A writer a ring behind drains while the output thread goes on playing
// into the ring it reads: it never reads a frame being overwritten (the
// thread checker sees the race otherwise), and every frame of the file is
// either silence for lost audio or the frame played at that place.
TEST_F(RecorderTest, AWriterLappedWhileTheOutputPlaysOnWritesOnlyPlayedFramesOrSilence) {
    openDevice(30.0f);
    Recorder recorder(format, device.get(), 0.1f);
    WriterGate gate;
    holdPassesAt(recorder, gate);
    recorder.setFileName(directory.file("lapped.wav"));
    ASSERT_TRUE(recorder.start());
    const std::int64_t from = producer.blocks();
    const int behind = recorder.ringFrames() / frames + 3;
    gate.close();
    gate.awaitWriter();
    step(behind);
    const std::int64_t before = recorder.framesWritten();
    gate.open();
    // The output plays on through the writer's pass over the lapped ring.
    step(behind);
    for (int i = 0; i < 200 && recorder.framesWritten() == before; ++i) step(1);
    waitForWriter(recorder);
    step(2);
    waitForWriter(recorder);
    const std::int64_t to = producer.blocks();
    ASSERT_TRUE(recorder.stop());
    ASSERT_EQ(recorder.framesWritten(), (to - from) * frames);
    recorder.setFileName(directory.file("other.wav"));
    step(3);

    const std::string expected = played(from, to);
    const std::string file = testing_support::readFile(directory.file("lapped.wav"));
    ASSERT_EQ(file.size(), 44 + expected.size());
    const std::string silence(4, '\0');
    std::int64_t silent = 0;
    std::int64_t wrong = 0;
    for (std::size_t at = 0; at < expected.size(); at += 4) {
        const std::string frame = file.substr(44 + at, 4);
        if (frame == expected.substr(at, 4)) continue;
        if (frame == silence) {
            ++silent;
        } else {
            ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0) << "frames that were not played at their place";
    EXPECT_GE(silent, static_cast<std::int64_t>(behind) * frames - recorder.ringFrames() - frames);
    // The blocks after the writer caught up are whole.
    const std::size_t tail = static_cast<std::size_t>(2 * frames) * 4;
    EXPECT_TRUE(file.substr(file.size() - tail) == expected.substr(expected.size() - tail));
}

TEST_F(RecorderTest, ABlockLongerThanTheRingKeepsItsLastRingAndCountsEveryFrame) {
    openDevice(30.0f);
    Recorder recorder(format, device.get(), 0.005f);  // 220 frames
    ASSERT_LT(recorder.ringFrames(), frames);
    recorder.setFileName(directory.file("long.wav"));
    ASSERT_TRUE(recorder.start());
    const std::int64_t from = producer.blocks();
    for (int i = 0; i < 3; ++i) {
        step(1);
        waitForWriter(recorder);
    }
    const std::int64_t to = producer.blocks();
    ASSERT_TRUE(recorder.stop());
    EXPECT_EQ(recorder.framesWritten(), (to - from) * frames);
    recorder.setFileName(directory.file("other.wav"));
    step(3);
    std::string expected;
    for (std::int64_t block = from; block < to; ++block) {
        std::string bytes = played(block, block + 1);
        std::fill(bytes.begin(), bytes.end() - recorder.ringFrames() * 4, '\0');
        expected += bytes;
    }
    EXPECT_TRUE(testing_support::readFile(directory.file("long.wav")) == pythonWave(expected));
}

// ---------------------------------------------------------------------------
// The frame limit

struct LimitAction {
    const char* name;
    std::function<void(std::unique_ptr<Recorder>&, const std::string& otherFile)> act;
};

class RecorderLimit : public RecorderTest, public ::testing::WithParamInterface<LimitAction> {};

// At the limit the writer stops the recording, writes the header and shows
// its box on its own thread; whatever touches the file next waits for it.
TEST_P(RecorderLimit, TheWriterStopsAtTheLimitAndTheNextUserOfTheFileWaitsForIt) {
    openDevice(50.0f);
    auto recorder = std::make_unique<Recorder>(format, device.get(), 1.0f, 44100);
    const std::string file = directory.file("limit.wav");
    recorder->setFileName(file);

    std::mutex mutex;
    std::condition_variable changed;
    bool atLimit = false;
    bool released = false;
    int limits = 0;
    std::thread::id writerThread;
    std::string headerAtBox;
    std::int64_t writtenAtBox = 0;
    recorder->setWriterHook([&](Recorder::WriterPoint point) {
        if (point != Recorder::WriterPoint::Limit) return;
        std::unique_lock<std::mutex> hold(mutex);
        if (++limits > 1) return;  // a later writer passes
        writerThread = std::this_thread::get_id();
        headerAtBox = testing_support::readFile(file);
        writtenAtBox = recorder->framesWritten();
        atLimit = true;
        changed.notify_all();
        changed.wait(hold, [&] { return released; });
    });
    ASSERT_TRUE(recorder->start());
    for (int i = 0; i < 25; ++i) {
        step(1);
        waitForWriter(*recorder);
    }
    {
        std::unique_lock<std::mutex> hold(mutex);
        ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(20), [&] { return atLimit; }));
    }
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(recorder->stop()) << "already stopped by the writer";
    EXPECT_GE(writtenAtBox, 44100);
    EXPECT_EQ(u32At(headerAtBox, 40), static_cast<std::uint32_t>(writtenAtBox * 4));
    EXPECT_EQ(headerAtBox.size(), 44 + static_cast<std::size_t>(writtenAtBox) * 4);

    // The action runs on another thread while the writer is in its box.
    std::atomic<bool> calling{false};
    std::vector<std::string> boxesWhenDone;
    std::thread user([&] {
        calling = true;
        GetParam().act(recorder, directory.file("after.wav"));
        boxesWhenDone = app_test::boxes();
    });
    while (!calling) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        std::lock_guard<std::mutex> hold(mutex);
        released = true;
    }
    changed.notify_all();
    user.join();

    const std::string box = "Recorder Stopped|" + Recorder::limitText(44100, 44100);
    ASSERT_FALSE(boxesWhenDone.empty()) << "the action did not wait for the writer's box";
    EXPECT_EQ(boxesWhenDone.front(), box);
    const auto requests = platform::uiScript::requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().thread, writerThread);
    EXPECT_FALSE(requests.front().onUiThread);
    recorder.reset();
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, RecorderLimit,
    ::testing::Values(LimitAction{"Start", [](std::unique_ptr<Recorder>& r, const std::string&) { r->start(); }},
                      LimitAction{"SetFileName",
                                  [](std::unique_ptr<Recorder>& r, const std::string& other) { r->setFileName(other); }},
                      LimitAction{"Destructor", [](std::unique_ptr<Recorder>& r, const std::string&) { r.reset(); }}),
    [](const ::testing::TestParamInfo<LimitAction>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Elapsed time and the header's size field

struct TimeCase {
    std::int64_t frames;
    int hours, minutes, seconds, centiseconds;
};

TEST(RecorderTime, ElapsedTimeOfFramesWritten) {
    const TimeCase cases[] = {
        {0, 0, 0, 0, 0},
        {441000, 0, 0, 10, 0},
        {44100LL * 3661 + 22050, 1, 1, 1, 50},
        {952560000, 6, 0, 0, 0},
        {440, 0, 0, 0, 0},  // under one centisecond
        {441, 0, 0, 0, 1},
    };
    for (const TimeCase& c : cases) {
        int h = -1, m = -1, s = -1, cs = -1;
        Recorder::elapsedTimeOf(c.frames, 44100, h, m, s, cs);
        EXPECT_EQ((std::vector<int>{h, m, s, cs}), (std::vector<int>{c.hours, c.minutes, c.seconds, c.centiseconds}))
            << c.frames << " frames";
    }
}

TEST(RecorderTime, TheLimitsSizeFieldsAreUnsigned) {
    const auto header = Recorder::header(FormatAudio(), Recorder::defaultFrameLimit);
    const std::string bytes(header.begin(), header.end());
    EXPECT_EQ(u32At(bytes, 40), 3810240000u);
    EXPECT_EQ(u32At(bytes, 4), 3810240036u);
    EXPECT_EQ(Recorder::limitText(Recorder::defaultFrameLimit, 44100),
              "The maximum recording time [6.000 hours] has been reached.");
}

// ---------------------------------------------------------------------------
// In the application

// Without a main output the recorder waits; once one opens, it records.
class RecorderInApp : public app_test::AppTest {};

TEST_F(RecorderInApp, TheRecorderRecordsFromAMainOutputThatOpensLater) {
    fake->failures.openWaveOut = true;
    Velkarn& app = start();
    fake->failures = platform::audio::FakeFailures{};
    ASSERT_FALSE(app.hasOutputDevice(0));
    Recorder* recorder = app.recorder();
    recorder->setFileName(home->path() + "/late.wav");
    ASSERT_TRUE(recorder->start());

    app.openOutputDevice(0, false, "Fake Wave", 50.0f);
    ASSERT_TRUE(app.hasOutputDevice(0));
    app.startOutputDevice(0);
    const int stream = platform::audio::NullAudio::newestStream();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(platform::audio::NullAudio::advanceToDeadline(stream, 1));
    ASSERT_TRUE(recorder->stop());
    const int frames = platform::audio::NullAudio::stream(stream)->periodFrames;
    // Two blocks rendered by the start, one for each period.
    EXPECT_EQ(recorder->framesWritten(), 6 * frames);
    const std::string bytes = testing_support::readFile(home->path() + "/late.wav");
    EXPECT_EQ(bytes.size(), 44 + static_cast<std::size_t>(6 * frames) * 4);
}

}  // namespace
