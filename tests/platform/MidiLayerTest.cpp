// The MIDI services: the fake's ports through the service (lists, delivery
// to a window, the start/stop gate, handles, output bytes and their times,
// failures), the names the lists show, the environment's choice of backend,
// and the real backend in a child process where no sequencer exists.
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/midi/FakeMidi.h"
#include "platform/midi/MidiNames.h"
#include "platform/midi/MidiService.h"

#include "Eventually.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <map>
#include <set>
#include <thread>
#include <vector>

using namespace platform::midi;
using platform::Message;

namespace {

class RecordingTarget : public platform::MessageTarget {
public:
    void handleMessage(const Message& message) override { received.push_back(message); }
    std::vector<Message> received;
};

std::uint32_t pack(std::uint8_t status, std::uint8_t data1 = 0, std::uint8_t data2 = 0) {
    return status | std::uint32_t{data1} << 8 | std::uint32_t{data2} << 16;
}

class MidiLayer : public ::testing::Test {
protected:
    void SetUp() override {
        fake.inputs = {{"Keys"}, {"Pads"}};
        fake.outputs = {{"Synth"}, {"Clock Box"}};
        window = platform::registerWindow(&target);
    }
    void TearDown() override {
        platform::dispatchQueuedMessages();
        platform::unregisterWindow(window);
    }
    std::vector<Message> delivered() {
        platform::dispatchQueuedMessages();
        std::vector<Message> taken;
        taken.swap(target.received);
        return taken;
    }
    FakeMidi fake;
    RecordingTarget target;
    platform::WindowHandle window = platform::noWindow;
};

TEST_F(MidiLayer, ListsNameEachPortByIndexAndRefuseOthers) {
    ASSERT_EQ(midiInputCount(), 2u);
    ASSERT_EQ(midiOutputCount(), 2u);
    std::string name = "stale";
    EXPECT_EQ(midiInputName(1, name), midiOk);
    EXPECT_EQ(name, "Pads");
    EXPECT_EQ(midiOutputName(0, name), midiOk);
    EXPECT_EQ(name, "Synth");
    EXPECT_EQ(midiInputName(2, name), midiBadDeviceId);
    EXPECT_EQ(name, "");

    // A failing name query leaves the name empty, never the last one read.
    fake.outputs[1].failName = midiNoMemory;
    ASSERT_EQ(midiOutputCount(), 2u);
    name = "Synth";
    EXPECT_EQ(midiOutputName(1, name), midiNoMemory);
    EXPECT_EQ(name, "");

    // Each count lists anew: an unplugged port is gone at once.
    fake.inputs.pop_back();
    EXPECT_EQ(midiInputCount(), 1u);
    EXPECT_EQ(midiInputName(1, name), midiBadDeviceId);
}

TEST_F(MidiLayer, InputPostsOnlyBetweenStartAndStop) {
    ASSERT_EQ(midiInputCount(), 2u);
    MidiHandle handle = noMidiHandle;
    ASSERT_EQ(midiInputOpen(1, window, handle), midiOk);
    ASSERT_NE(handle, noMidiHandle);

    EXPECT_EQ(fake.inject("Pads", pack(0xB0, 20, 127)), 1);  // open, not started: dropped
    ASSERT_EQ(midiInputStart(handle), midiOk);
    fake.inject("Pads", pack(0x91, 60, 0));
    fake.inject("Keys", pack(0xB0, 1, 1));  // another device, not open
    fake.inject("Pads", pack(0xF8));
    ASSERT_EQ(midiInputStop(handle), midiOk);
    fake.inject("Pads", pack(0xB0, 21, 5));
    ASSERT_EQ(midiInputStart(handle), midiOk);
    fake.inject("Pads", pack(0xFE));
    ASSERT_EQ(midiInputClose(handle), midiOk);
    EXPECT_EQ(fake.inject("Pads", pack(0xB0, 22, 6)), 0);

    struct Expected {
        std::uint32_t id;
        std::intptr_t lParam;
    };
    const std::vector<Expected> expected = {
        {platform::midiInOpenMessage, 0},
        {platform::midiInDataMessage, static_cast<std::intptr_t>(pack(0x91, 60, 0))},
        {platform::midiInDataMessage, 0xF8},
        {platform::midiInDataMessage, 0xFE},
        {platform::midiInCloseMessage, 0},
    };
    const auto messages = delivered();
    ASSERT_EQ(messages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(messages[i].window, window) << i;
        EXPECT_EQ(messages[i].id, expected[i].id) << i;
        EXPECT_EQ(messages[i].wParam, handle) << i;
        EXPECT_EQ(messages[i].lParam, expected[i].lParam) << i;
    }
}

TEST_F(MidiLayer, HandlesAreNeverReusedAndStaleOnesAreRefused) {
    ASSERT_EQ(midiInputCount(), 2u);
    ASSERT_EQ(midiOutputCount(), 2u);
    std::set<MidiHandle> seen;
    for (int round = 0; round < 3; ++round) {
        MidiHandle in = noMidiHandle;
        MidiHandle out = noMidiHandle;
        ASSERT_EQ(midiInputOpen(0, window, in), midiOk);
        ASSERT_EQ(midiOutputOpen(0, out), midiOk);
        EXPECT_TRUE(seen.insert(in).second);
        EXPECT_TRUE(seen.insert(out).second);
        ASSERT_EQ(midiInputClose(in), midiOk);
        ASSERT_EQ(midiOutputClose(out), midiOk);
        EXPECT_EQ(midiInputStart(in), midiInvalidHandle);
        EXPECT_EQ(midiInputClose(in), midiInvalidHandle);
        EXPECT_EQ(midiOutputShortMessage(out, 0xF8), midiInvalidHandle);
        EXPECT_EQ(midiOutputClose(out), midiInvalidHandle);
    }
    // An input handle is no output handle, nor the other way round.
    MidiHandle in = noMidiHandle;
    MidiHandle out = noMidiHandle;
    ASSERT_EQ(midiInputOpen(0, window, in), midiOk);
    ASSERT_EQ(midiOutputOpen(0, out), midiOk);
    EXPECT_EQ(midiOutputReset(in), midiInvalidHandle);
    EXPECT_EQ(midiInputStop(out), midiInvalidHandle);
    midiInputClose(in);
    midiOutputClose(out);
    EXPECT_EQ(fake.openInputs(), 0);
    EXPECT_EQ(fake.openOutputs(), 0);
}

TEST_F(MidiLayer, InjectionFromManyThreadsKeepsEachThreadsOrder) {
    ASSERT_EQ(midiInputCount(), 2u);
    MidiHandle handle = noMidiHandle;
    ASSERT_EQ(midiInputOpen(0, window, handle), midiOk);
    ASSERT_EQ(midiInputStart(handle), midiOk);
    constexpr int threads = 4;
    constexpr int perThread = 100;
    std::vector<std::thread> senders;
    for (int t = 0; t < threads; ++t) {
        senders.emplace_back([this, t] {
            for (int i = 0; i < perThread; ++i) {
                fake.inject("Keys", pack(static_cast<std::uint8_t>(0xB0 + t), static_cast<std::uint8_t>(i), 0));
            }
        });
    }
    for (auto& sender : senders) sender.join();
    midiInputClose(handle);

    std::vector<int> next(threads, 0);
    int data = 0;
    for (const Message& message : delivered()) {
        if (message.id != platform::midiInDataMessage) continue;
        ++data;
        const int channel = static_cast<int>(message.lParam & 0x0F);
        const int value = static_cast<int>((message.lParam >> 8) & 0xFF);
        EXPECT_EQ(value, next[channel]) << "thread " << channel;
        next[channel] = value + 1;
    }
    EXPECT_EQ(data, threads * perThread);
}

TEST_F(MidiLayer, OutputSendsTheBytesOfEachShortMessageWithItsTime) {
    platform::VirtualClock::enable(5000);
    ASSERT_EQ(midiOutputCount(), 2u);
    MidiHandle handle = noMidiHandle;
    ASSERT_EQ(midiOutputOpen(1, handle), midiOk);
    struct Case {
        std::uint32_t packed;
        MidiResult result;
        std::vector<std::uint8_t> bytes;  // sent when the result is midiOk
    };
    const std::vector<Case> cases = {
        {0xF8, midiOk, {0xF8}},
        {0x00FFFFF8, midiOk, {0xF8}},  // bytes beyond the message's length are ignored
        {pack(0x90, 60, 100), midiOk, {0x90, 60, 100}},
        {pack(0xC3, 5), midiOk, {0xC3, 5}},
        {pack(0xD0, 7), midiOk, {0xD0, 7}},
        {pack(0xF2, 1, 2), midiOk, {0xF2, 1, 2}},
        {pack(0xF3, 9), midiOk, {0xF3, 9}},
        {pack(0xFE), midiOk, {0xFE}},
        {pack(0x3C, 60, 100), midiInvalidParameter, {}},  // a data byte in the status place
        {pack(0xF0, 1, 2), midiInvalidParameter, {}},     // system exclusive is no short message
        {pack(0xF7), midiInvalidParameter, {}},
        {pack(0x90, 0x80, 1), midiInvalidParameter, {}},  // a status byte in a data place
        {pack(0xB0, 1, 0x90), midiInvalidParameter, {}},
    };
    std::vector<std::vector<std::uint8_t>> expectedBytes;
    std::vector<std::int64_t> expectedTimes;
    for (const Case& c : cases) {
        EXPECT_EQ(midiOutputShortMessage(handle, c.packed), c.result) << std::hex << c.packed;
        if (c.result == midiOk) {
            expectedBytes.push_back(c.bytes);
            expectedTimes.push_back(static_cast<std::int64_t>(platform::monotonicMs()) * 1000000);
        }
        platform::VirtualClock::advance(21);
    }
    ASSERT_EQ(midiOutputReset(handle), midiOk);
    ASSERT_EQ(midiOutputClose(handle), midiOk);
    platform::VirtualClock::disable();

    const auto sent = fake.sent();
    ASSERT_EQ(sent.size(), expectedBytes.size() + 1);
    for (std::size_t i = 0; i < expectedBytes.size(); ++i) {
        EXPECT_EQ(sent[i].bytes, expectedBytes[i]) << i;
        EXPECT_EQ(sent[i].timeNs, expectedTimes[i]) << i;
        EXPECT_EQ(sent[i].handle, handle);
        EXPECT_FALSE(sent[i].reset);
    }
    EXPECT_TRUE(sent.back().reset);
}

TEST_F(MidiLayer, LengthOfAShortMessageFollowsItsStatus) {
    for (int status = 0; status < 256; ++status) {
        int expected = 0;
        if (status >= 0x80 && status < 0xC0) expected = 3;
        if (status >= 0xC0 && status < 0xE0) expected = 2;
        if (status >= 0xE0 && status < 0xF0) expected = 3;
        if (status == 0xF1 || status == 0xF3) expected = 2;
        if (status == 0xF2) expected = 3;
        if (status == 0xF6 || status >= 0xF8 || status == 0xF4 || status == 0xF5) expected = 1;
        EXPECT_EQ(midiShortMessageLength(static_cast<std::uint8_t>(status)), expected) << std::hex << status;
    }
}

TEST(MidiLayerFailures, AScriptedFailureComesBackFromItsCallOnly) {
    RecordingTarget target;
    const platform::WindowHandle window = platform::registerWindow(&target);
    const std::vector<std::pair<std::string, MidiResult>> cases = {
        {"inputOpen", midiAllocated},       {"inputStart", midiError},         {"inputStop", midiNoMemory},
        {"inputClose", midiError},          {"outputOpen", midiAllocated},     {"outputShortMessage", midiError},
        {"outputReset", midiInvalidHandle}, {"outputClose", midiNoMemory},
    };
    for (const auto& [call, code] : cases) {
        SCOPED_TRACE(call);
        FakeMidi fake;
        fake.inputs = {{"In"}};
        fake.outputs = {{"Out"}};
        ASSERT_EQ(midiInputCount(), 1u);
        ASSERT_EQ(midiOutputCount(), 1u);
        fake.fail({call, code, 1, 1});  // the second call of its kind fails, the others succeed

        std::map<std::string, std::vector<MidiResult>> results;
        for (int round = 0; round < 3; ++round) {
            MidiHandle in = noMidiHandle;
            MidiHandle out = noMidiHandle;
            results["inputOpen"].push_back(midiInputOpen(0, window, in));
            results["outputOpen"].push_back(midiOutputOpen(0, out));
            EXPECT_EQ(in == noMidiHandle, results["inputOpen"].back() != midiOk);
            EXPECT_EQ(out == noMidiHandle, results["outputOpen"].back() != midiOk);
            results["inputStart"].push_back(midiInputStart(in));
            results["inputStop"].push_back(midiInputStop(in));
            results["outputShortMessage"].push_back(midiOutputShortMessage(out, 0xF8));
            results["outputReset"].push_back(midiOutputReset(out));
            MidiResult closedIn = midiInputClose(in);
            if (closedIn != midiOk && in != noMidiHandle) midiInputClose(in);  // the failure came once
            results["inputClose"].push_back(closedIn);
            MidiResult closedOut = midiOutputClose(out);
            if (closedOut != midiOk && out != noMidiHandle) midiOutputClose(out);
            results["outputClose"].push_back(closedOut);
        }
        // Only the failing call's second result differs; where an open
        // failed, the calls on its missing handle are refused as stale.
        const bool inputOpenFails = call == "inputOpen";
        const bool outputOpenFails = call == "outputOpen";
        for (const auto& [name, seen] : results) {
            for (int round = 0; round < 3; ++round) {
                MidiResult expected = midiOk;
                if (name == call && round == 1) {
                    expected = code;
                } else if (round == 1 && inputOpenFails && name.rfind("input", 0) == 0) {
                    expected = midiInvalidHandle;
                } else if (round == 1 && outputOpenFails && name.rfind("output", 0) == 0) {
                    expected = midiInvalidHandle;
                }
                EXPECT_EQ(seen[round], expected) << name << " round " << round;
            }
        }
        EXPECT_EQ(fake.openInputs(), 0);
        EXPECT_EQ(fake.openOutputs(), 0);
    }
    platform::dispatchQueuedMessages();
    platform::unregisterWindow(window);
}

TEST_F(MidiLayer, AnOpenFailureOfOnePortAndAnUnknownIndexAreReported) {
    fake.inputs[0].failOpen = midiAllocated;
    ASSERT_EQ(midiInputCount(), 2u);
    ASSERT_EQ(midiOutputCount(), 2u);
    MidiHandle handle = 77;
    EXPECT_EQ(midiInputOpen(0, window, handle), midiAllocated);
    EXPECT_EQ(handle, noMidiHandle);
    EXPECT_EQ(midiInputOpen(5, window, handle), midiBadDeviceId);
    EXPECT_EQ(midiOutputOpen(2, handle), midiBadDeviceId);
    EXPECT_EQ(midiInputOpen(1, platform::noWindow, handle), midiInvalidParameter);
    EXPECT_EQ(fake.openInputs(), 0);
    const auto messages = delivered();
    EXPECT_TRUE(messages.empty());
}

TEST(MidiErrorTexts, KnownCodesHaveTheirOwnTextAndOthersNone) {
    const std::vector<MidiResult> known = {midiOk,           midiError,   midiBadDeviceId, midiAllocated,
                                           midiInvalidHandle, midiNoDriver, midiNoMemory,   midiInvalidParameter};
    std::set<std::string> texts;
    for (MidiResult code : known) {
        std::string text;
        EXPECT_TRUE(midiErrorText(code, text)) << code;
        EXPECT_FALSE(text.empty()) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), known.size());
    for (MidiResult code : {3u, 8u, 64u, 0xFFFFFFFFu}) {
        std::string text = "stale";
        EXPECT_FALSE(midiErrorText(code, text)) << code;
        EXPECT_EQ(text, "");
    }
}

TEST(MidiNames, TheSequencerAddressIsDropped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Midi Through:Midi Through Port-0 14:0", "Midi Through:Midi Through Port-0"},
        {"USB Keys:USB Keys MIDI 1 20:0", "USB Keys:USB Keys MIDI 1"},
        {"Pads:Pads 128:15", "Pads:Pads"},
        {"Pads:Pads", "Pads:Pads"},
        {"Pads:Pads 20:", "Pads:Pads 20:"},
        {"Pads:Pads :0", "Pads:Pads :0"},
        {"Pads:Pads20:0", "Pads:Pads20:0"},  // no space before the address: part of the name
        {"20:0", "20:0"},
        {" 20:0", " 20:0"},  // nothing would be left
    };
    for (const auto& [raw, expected] : cases) EXPECT_EQ(withoutSequencerAddress(raw), expected) << raw;
}

TEST(MidiNames, NamesAreCutOnACharacterBoundary) {
    const std::string e = "\xC3\xA9";          // two bytes
    const std::string euro = "\xE2\x82\xAC";   // three bytes
    const std::string clef = "\xF0\x9D\x84\x9E";  // four bytes
    struct Case {
        std::string text;
        std::size_t limit;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"abcdef", 4, "abcd"},
        {"abc", 4, "abc"},
        {"ab" + e, 3, "ab"},
        {"ab" + e, 4, "ab" + e},
        {"a" + euro, 2, "a"},
        {"a" + euro, 3, "a"},
        {"a" + euro, 4, "a" + euro},
        {clef + clef, 7, clef},
        {clef, 0, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(cutUtf8(c.text, c.limit), c.expected) << c.text << " " << c.limit;
}

TEST(MidiNames, ListedNamesAreUniqueAndFitTheLimit) {
    const std::string longName(200, 'x');
    const std::vector<std::string> names = {"Keys", "Keys", "Pads", "Keys", longName, longName};
    const auto unique = uniqueNames(names, maxMidiNameBytes);
    ASSERT_EQ(unique.size(), names.size());
    EXPECT_EQ(unique[0], "Keys");
    EXPECT_EQ(unique[1], "Keys (2)");
    EXPECT_EQ(unique[2], "Pads");
    EXPECT_EQ(unique[3], "Keys (3)");
    EXPECT_EQ(unique[4], std::string(maxMidiNameBytes, 'x'));
    EXPECT_EQ(unique[5], std::string(maxMidiNameBytes - 4, 'x') + " (2)");
    EXPECT_EQ(std::set<std::string>(unique.begin(), unique.end()).size(), unique.size());
    for (const auto& name : unique) EXPECT_LE(name.size(), maxMidiNameBytes);

    // A name that already looks like a renamed one is taken as it is.
    const auto tricky = uniqueNames({"A (2)", "A", "A"}, maxMidiNameBytes);
    EXPECT_EQ(tricky, (std::vector<std::string>{"A (2)", "A", "A (3)"}));
}

class MidiSelection : public ::testing::Test {
protected:
    void TearDown() override { resetMidiService(); }
};

TEST_F(MidiSelection, NoneListsNothingAndOpensNothing) {
    testing_support::ScopedEnvironment none("VELKARN_MIDI", "none");
    resetMidiService();
    EXPECT_EQ(midiInputCount(), 0u);
    EXPECT_EQ(midiOutputCount(), 0u);
    MidiHandle handle = noMidiHandle;
    EXPECT_EQ(midiOutputOpen(0, handle), midiBadDeviceId);
}

TEST_F(MidiSelection, FakeFromTheEnvironmentNamesItsPortsAndLogsWhatIsSent) {
    testing_support::TemporaryDirectory directory;
    const std::string log = directory.file("sent.txt");
    testing_support::ScopedEnvironment fake("VELKARN_MIDI", "fake");
    testing_support::ScopedEnvironment inputs("VELKARN_MIDI_FAKE_INPUTS", "One;Two;Three");
    testing_support::ScopedEnvironment outputs("VELKARN_MIDI_FAKE_OUTPUTS", std::nullopt);
    testing_support::ScopedEnvironment logFile("VELKARN_MIDI_FAKE_LOG", log);
    resetMidiService();
    platform::VirtualClock::enable(2000);
    ASSERT_EQ(midiInputCount(), 3u);
    ASSERT_EQ(midiOutputCount(), 2u);
    std::string name;
    ASSERT_EQ(midiInputName(2, name), midiOk);
    EXPECT_EQ(name, "Three");
    ASSERT_EQ(midiOutputName(1, name), midiOk);
    EXPECT_EQ(name, "Fake MIDI Out 2");
    MidiHandle handle = noMidiHandle;
    ASSERT_EQ(midiOutputOpen(1, handle), midiOk);
    ASSERT_EQ(midiOutputShortMessage(handle, 0xF8), midiOk);
    platform::VirtualClock::advance(14);
    ASSERT_EQ(midiOutputShortMessage(handle, pack(0xB2, 7, 64)), midiOk);
    ASSERT_EQ(midiOutputClose(handle), midiOk);
    platform::VirtualClock::disable();
    const std::string h = std::to_string(handle);
    EXPECT_EQ(testing_support::readFile(log), "2000000000 " + h + " F8\n2014000000 " + h + " B2 07 40\n");
}

TEST_F(MidiSelection, FakeFromTheEnvironmentRepeatsItsMessageIntoStartedInputs) {
    testing_support::ScopedEnvironment fake("VELKARN_MIDI", "fake");
    testing_support::ScopedEnvironment inputs("VELKARN_MIDI_FAKE_INPUTS", "One");
    testing_support::ScopedEnvironment repeat("VELKARN_MIDI_FAKE_REPEAT", "B0 07 40");
    resetMidiService();
    RecordingTarget target;
    const platform::WindowHandle window = platform::registerWindow(&target);
    MidiHandle handle = noMidiHandle;
    ASSERT_EQ(midiInputOpen(0, window, handle), midiOk);
    ASSERT_EQ(midiInputStart(handle), midiOk);
    int repeated = 0;
    EXPECT_TRUE(testing_support::eventually([&] {
        platform::dispatchQueuedMessages();
        for (const Message& message : target.received) {
            if (message.id == platform::midiInDataMessage) {
                EXPECT_EQ(message.lParam, static_cast<std::intptr_t>(pack(0xB0, 7, 64)));
                ++repeated;
            }
        }
        target.received.clear();
        return repeated >= 2;
    }));
    ASSERT_EQ(midiInputClose(handle), midiOk);
    resetMidiService();  // the repeater ends with its backend
    platform::dispatchQueuedMessages();
    platform::unregisterWindow(window);
}

// The real backend, in a child process: without a sequencer, empty lists and
// not a line on stdout or stderr from RtMidi or ALSA.
TEST(MidiRealBackend, WithoutASequencerListsNothingAndStaysQuiet) {
    if (::access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this machine has an ALSA sequencer";
    testing_support::TemporaryDirectory directory;
    const std::string output = directory.file("output.txt");
    testing_support::ScopedEnvironment backend("VELKARN_MIDI", std::nullopt);
    EXPECT_EQ(testing_support::runProgram({VELKARN_DEVICE_PROBE, "midi"}, output), 0);
    EXPECT_EQ(testing_support::readFile(output), "");
}

}  // namespace

// ---- The real backend on a sequencer (skipped where none exists) ---------

namespace sequencer {

bool present() { return ::access("/dev/snd/seq", R_OK | W_OK) == 0; }

// Polls until the condition holds or about ten seconds have passed: a peer
// process needs time to start, but nothing here measures speed.
template <typename Condition>
bool waitFor(Condition condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

bool endsWithAddress(const std::string& name) {
    const std::size_t space = name.rfind(' ');
    if (space == std::string::npos) return false;
    const std::string tail = name.substr(space + 1);
    const std::size_t colon = tail.find(':');
    return colon != std::string::npos && colon > 0 && colon + 1 < tail.size() &&
           tail.find_first_not_of("0123456789:") == std::string::npos;
}

int findPort(bool input, const std::string& part) {
    const unsigned count = input ? midiInputCount() : midiOutputCount();
    for (unsigned i = 0; i < count; ++i) {
        std::string name;
        if ((input ? midiInputName(i, name) : midiOutputName(i, name)) != midiOk) continue;
        if (name.find(part) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace sequencer

TEST(MidiSequencer, APeersMessagesArriveAndNamesCarryNoAddress) {
    if (!sequencer::present()) GTEST_SKIP() << "no ALSA sequencer (/dev/snd/seq)";
    testing_support::ScopedEnvironment backend("VELKARN_MIDI", std::nullopt);
    resetMidiService();
    testing_support::TemporaryDirectory directory;
    const std::string go = directory.file("go");
    const std::string done = directory.file("done");
    std::thread peer([&] {
        testing_support::runProgram({::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3",
                                     testing_support::sourceDirectory() + "/tests/platform/midi_peer.py",
                                     "Velkarn Test Peer", go, done},
                                    directory.file("peer.txt"));
    });
    RecordingTarget target;
    const platform::WindowHandle window = platform::registerWindow(&target);
    int index = -1;
    EXPECT_TRUE(sequencer::waitFor([&] { return (index = sequencer::findPort(true, "Velkarn Test Peer")) >= 0; }));
    MidiHandle handle = noMidiHandle;
    if (index >= 0) {
        std::string name;
        ASSERT_EQ(midiInputName(static_cast<unsigned>(index), name), midiOk);
        EXPECT_FALSE(sequencer::endsWithAddress(name)) << name;
        EXPECT_EQ(midiInputOpen(static_cast<unsigned>(index), window, handle), midiOk);
        EXPECT_EQ(midiInputStart(handle), midiOk);
    }
    testing_support::writeFile(go, "");
    std::vector<std::intptr_t> data;
    sequencer::waitFor([&] {
        platform::dispatchQueuedMessages();
        data.clear();
        for (const Message& message : target.received) {
            if (message.id == platform::midiInDataMessage && message.wParam == handle) data.push_back(message.lParam);
        }
        return data.size() >= 2;
    });
    if (handle != noMidiHandle) midiInputClose(handle);
    testing_support::writeFile(done, "");
    peer.join();
    platform::dispatchQueuedMessages();
    platform::unregisterWindow(window);
    resetMidiService();
    // The note-on at velocity 0 arrives as it was sent; the listener reads it as a note-off.
    EXPECT_EQ(data, (std::vector<std::intptr_t>{static_cast<std::intptr_t>(pack(0xB0, 20, 127)),
                                                 static_cast<std::intptr_t>(pack(0x91, 60, 0))}));
}

TEST(MidiSequencer, ClockBytesReachAPeerAcrossCloseAndReopen) {
    if (!sequencer::present()) GTEST_SKIP() << "no ALSA sequencer (/dev/snd/seq)";
    testing_support::ScopedEnvironment backend("VELKARN_MIDI", std::nullopt);
    resetMidiService();
    testing_support::TemporaryDirectory directory;
    const std::string dump = directory.file("dump.txt");
    std::thread peer([&] { testing_support::runProgram({"timeout", "5", "aseqdump"}, dump); });
    int index = -1;
    EXPECT_TRUE(sequencer::waitFor([&] { return (index = sequencer::findPort(false, "aseqdump")) >= 0; }));
    int clocks = 0;
    for (int round = 0; round < 2 && index >= 0; ++round) {
        MidiHandle handle = noMidiHandle;
        ASSERT_EQ(midiOutputOpen(static_cast<unsigned>(index), handle), midiOk) << round;
        EXPECT_EQ(midiOutputShortMessage(handle, 0xF8), midiOk);
        EXPECT_EQ(midiOutputClose(handle), midiOk);
        ++clocks;
    }
    peer.join();
    resetMidiService();
    const std::string text = testing_support::readFile(dump);
    int seen = 0;
    for (std::size_t at = text.find("Clock"); at != std::string::npos; at = text.find("Clock", at + 1)) ++seen;
    EXPECT_EQ(seen, clocks) << text;
    EXPECT_EQ(clocks, 2);
}
