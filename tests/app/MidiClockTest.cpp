// The MIDI clock output on the virtual clock and the fake MIDI output: the
// pulse period against a float32 NumPy model, when pulses start, follow a
// tempo change and stop, one chain across a stop and start, the destructor,
// the output's choice by name and its error boxes.
#include "RecordingApplication.h"
#include "TestEnvironment.h"

#include "app/MidiOut.h"
#include "framework/Timer.h"
#include "platform/Clock.h"
#include "platform/UiScript.h"
#include "platform/midi/FakeMidi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace platform::midi;
using platform::VirtualClock;

namespace {

constexpr std::int64_t msNs = 1000000;

// The application's beat period, changed by the test while the timer
// thread reads it.
class ClockApplication : public RecordingApplication {
public:
    float beatPeriod() override { return period.load(); }
    std::atomic<float> period{0.5f};
};

float floatFromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

struct ModelRow {
    std::string label;
    float beatPeriod;
    int pulseMs;
};

// The model's rows for these arguments (see midi_clock_periods.py).
std::vector<ModelRow> modelRows(const std::vector<std::string>& arguments) {
    std::istringstream lines(testing_support::runPython("app/midi_clock_periods.py", arguments));
    std::vector<ModelRow> rows;
    std::string label;
    std::string bits;
    int pulseMs = 0;
    while (lines >> label >> bits >> pulseMs) {
        rows.push_back({label, floatFromBits(static_cast<std::uint32_t>(std::stoul(bits, nullptr, 16))), pulseMs});
    }
    return rows;
}

class MidiClock : public ::testing::Test {
protected:
    void SetUp() override {
        fake.outputs = {{"Clock Out A"}, {"Clock Out B"}};
        VirtualClock::enable(1000);
        setTimerResolution();
        platform::uiScript::enable();
    }
    void TearDown() override {
        out.reset();
        platform::uiScript::disable();
        resetTimerResolution();
        VirtualClock::disable();
    }

    // The virtual times (ns) of the timing clocks sent so far.
    std::vector<std::int64_t> pulses() const {
        std::vector<std::int64_t> times;
        for (const FakeMidiSent& sent : fake.sent()) {
            if (sent.bytes == std::vector<std::uint8_t>{0xF8}) times.push_back(sent.timeNs);
        }
        return times;
    }
    static std::vector<std::int64_t> gapsMs(const std::vector<std::int64_t>& times) {
        std::vector<std::int64_t> gaps;
        for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back((times[i] - times[i - 1]) / msNs);
        return gaps;
    }
    std::vector<std::string> boxes() const {
        std::vector<std::string> shown;
        for (const auto& request : platform::uiScript::requests()) shown.push_back(request.caption + "|" + request.text);
        return shown;
    }

    FakeMidi fake;
    ClockApplication application;
    std::unique_ptr<MidiOut> out;
};

TEST_F(MidiClock, PulsePeriodFollowsTheFloat32Model) {
    const auto rows = modelRows({"40", "120", "128", "174", "220", "edge:14", "edge:21", "edge:62"});
    ASSERT_EQ(rows.size(), 11u);
    out = std::make_unique<MidiOut>("Clock Out A", &application);
    ASSERT_TRUE(out->isOpened());
    for (const ModelRow& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(MidiOut::pulsePeriodMs(row.beatPeriod), row.pulseMs);
        // The running clock keeps that period between its pulses.
        application.period = row.beatPeriod;
        fake.clearSent();
        out->start();
        VirtualClock::advance(static_cast<std::uint64_t>(row.pulseMs) * 6);
        out->stop();
        VirtualClock::advance(static_cast<std::uint64_t>(row.pulseMs) * 2);
        const auto gaps = gapsMs(pulses());
        ASSERT_GE(gaps.size(), 5u);
        for (std::int64_t gap : gaps) EXPECT_EQ(gap, row.pulseMs);
    }
    // The model's edges are real steps of the rounding.
    for (std::size_t i = 5; i + 1 < rows.size(); i += 2) EXPECT_EQ(rows[i].pulseMs + 1, rows[i + 1].pulseMs);
}

TEST_F(MidiClock, FirstPulseOneResolutionAfterStartAndTempoChangesAtTheNextTick) {
    out = std::make_unique<MidiOut>("Clock Out B", &application);
    ASSERT_TRUE(out->isOpened());
    const std::int64_t start = platform::monotonicNs();
    out->start();
    VirtualClock::advance(0);
    EXPECT_TRUE(pulses().empty());
    VirtualClock::advance(1);
    ASSERT_EQ(pulses(), (std::vector<std::int64_t>{start + 1 * msNs}));

    VirtualClock::advance(21 * 2);  // two more at 120 BPM
    ASSERT_EQ(pulses().size(), 3u);
    application.period = 60.0f / 174.0f;  // the pulse already armed keeps 21 ms
    VirtualClock::advance(21 + 14 * 3);
    out->stop();
    VirtualClock::advance(100);
    EXPECT_EQ(gapsMs(pulses()), (std::vector<std::int64_t>{21, 21, 21, 14, 14, 14, 14}));

    // Every pulse went to the output of that name.
    std::vector<std::string> opened;
    for (const std::string& call : fake.calls()) {
        if (call.rfind("outputOpen", 0) == 0) opened.push_back(call);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"outputOpen Clock Out B"}));
}

TEST_F(MidiClock, StopSendsExactlyOneMorePulse) {
    out = std::make_unique<MidiOut>("Clock Out A", &application);
    out->start();
    VirtualClock::advance(1 + 21 * 3 + 5);
    ASSERT_EQ(pulses().size(), 4u);
    out->stop();
    EXPECT_FALSE(out->isRunning());
    VirtualClock::advance(1000);
    const auto times = pulses();
    ASSERT_EQ(times.size(), 5u);
    EXPECT_EQ(times[4] - times[3], 21 * msNs);
}

TEST_F(MidiClock, StopAndStartBeforeThePendingTickKeepOneChain) {
    out = std::make_unique<MidiOut>("Clock Out A", &application);
    out->start();
    VirtualClock::advance(1 + 21 + 10);  // two pulses, the third armed for 11 ms on
    out->stop();
    out->start();
    out->stop();
    out->start();
    VirtualClock::advance(11 + 21 * 9);
    out->stop();
    VirtualClock::advance(100);
    const auto gaps = gapsMs(pulses());
    EXPECT_EQ(gaps, std::vector<std::int64_t>(12, 21));

    // Stopped and drained: start arms a new chain, first pulse one
    // resolution later.
    fake.clearSent();
    const std::int64_t again = platform::monotonicNs();
    out->start();
    VirtualClock::advance(1 + 21);
    EXPECT_EQ(pulses(), (std::vector<std::int64_t>{again + 1 * msNs, again + 22 * msNs}));
}

TEST_F(MidiClock, DestructorWithATickPendingSendsNothingMore) {
    out = std::make_unique<MidiOut>("Clock Out A", &application);
    out->start();
    VirtualClock::advance(1 + 21 + 7);
    ASSERT_EQ(pulses().size(), 2u);
    fake.clearSent();
    out.reset();
    VirtualClock::advance(1000);
    const auto sent = fake.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].reset);
    EXPECT_EQ(fake.openOutputs(), 0);
    const auto calls = fake.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "outputReset");
    EXPECT_EQ(calls.back(), "outputClose");
}

TEST_F(MidiClock, NamesChooseTheOutputAndFailuresShowTheOutputBox) {
    struct Case {
        const char* what;
        std::vector<FakeMidiPort> outputs;
        const char* name;
        bool opened;
        const char* openedName;  // when opened
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"exact name", {{"One"}, {"Two"}}, "Two", true, "Two", {}},
        {"case differs: the first", {{"One"}, {"Two"}}, "two", true, "One", {}},
        {"unknown: the first", {{"One"}, {"Two"}}, "Three", true, "One", {}},
        {"no output: no box", {}, "One", false, "", {}},
        {"in use", {{"One", midiOk, midiAllocated}}, "One", false, "",
         {"Midi Out Device Error|The MIDI device is already in use."}},
        {"a code without text", {{"One", midiOk, 77}}, "One", false, "",
         {"Midi Out Device Error|A midi out device error occurred, but details are not available."}},
        {"a bad device gives no box", {{"One", midiOk, midiBadDeviceId}}, "One", false, "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.outputs = c.outputs;
        platform::uiScript::clearRequests();
        fake.clearSent();
        const auto callsBefore = fake.calls().size();
        out = std::make_unique<MidiOut>(c.name, &application);
        EXPECT_EQ(out->isOpened(), c.opened);
        EXPECT_EQ(boxes(), c.boxes);
        out->start();
        VirtualClock::advance(30);
        out->stop();
        VirtualClock::advance(30);
        EXPECT_EQ(pulses().size(), c.opened ? 3u : 0u);
        EXPECT_FALSE(out->isRunning());
        std::vector<std::string> opens;
        const auto calls = fake.calls();
        for (std::size_t i = callsBefore; i < calls.size(); ++i) {
            if (calls[i].rfind("outputOpen", 0) == 0) opens.push_back(calls[i]);
        }
        if (c.opened) {
            EXPECT_EQ(opens, (std::vector<std::string>{std::string("outputOpen ") + c.openedName}));
        }
        out.reset();
        EXPECT_EQ(fake.openOutputs(), 0);
    }
}

TEST_F(MidiClock, AFailingSendIsLoggedOncePerRunAndTheClockGoesOn) {
    out = std::make_unique<MidiOut>("Clock Out A", &application);
    testing_support::clearLog();
    fake.fail({"outputShortMessage", midiError, 2, 3});
    out->start();
    VirtualClock::advance(1 + 21 * 7);
    out->stop();
    VirtualClock::advance(30);
    EXPECT_EQ(pulses().size(), 9u - 3u);
    int lines = 0;
    for (const std::string& text : testing_support::logTexts()) {
        if (text.find("Cannot send the MIDI clock.") != std::string::npos) ++lines;
    }
    EXPECT_EQ(lines, 1);
}

}  // namespace
