// The MIDI input on an offscreen window and the fake MIDI ports: packed
// messages handed to the listener as calls, input only between start and
// stop, the device chosen by name, the destructor, and the input error box.
#include "WindowTestSupport.h"

#include "app/MidiIn.h"
#include "app/MidiInListener.h"
#include "platform/EventLoop.h"
#include "platform/Messages.h"
#include "platform/UiScript.h"
#include "platform/midi/FakeMidi.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace platform::midi;

namespace {

using Calls = std::vector<std::string>;

class RecordingListener : public MidiInListener {
public:
    void noteOn(int note, int velocity) override {
        calls.push_back("noteOn " + std::to_string(note) + " " + std::to_string(velocity));
    }
    void noteOff() override { calls.push_back("noteOff"); }
    void systemMessage() override { calls.push_back("systemMessage"); }
    void controlChange(int controller, int value) override {
        calls.push_back("controlChange " + std::to_string(controller) + " " + std::to_string(value));
    }
    Calls take() {
        Calls taken;
        taken.swap(calls);
        return taken;
    }
    Calls calls;
};

std::uint32_t pack(std::uint32_t status, std::uint32_t data1 = 0, std::uint32_t data2 = 0) {
    return status | data1 << 8 | data2 << 16;
}

class MidiInTest : public WindowTestBase {
protected:
    void SetUp() override {
        WindowTestBase::SetUp();
        fake.inputs = {{"Keys"}, {"Pads"}};
        skins->write("back", 40, 30, 20, 20, 20, 255);
        window = &open("Midi", "back");
    }
    void TearDown() override {
        in.reset();
        WindowTestBase::TearDown();
    }
    Calls delivered() {
        platform::dispatchPostedMessages();
        return listener.take();
    }
    std::vector<std::string> boxes() const {
        std::vector<std::string> shown;
        for (const auto& request : platform::uiScript::requests()) shown.push_back(request.caption + "|" + request.text);
        return shown;
    }

    FakeMidi fake;
    RecordingListener listener;
    Window* window = nullptr;
    std::unique_ptr<MidiIn> in;
};

using MidiDispatch = MidiInTest;

TEST_F(MidiDispatch, PackedMessagesBecomeListenerCalls) {
    in = std::make_unique<MidiIn>("Pads", &listener, window);
    ASSERT_TRUE(in->isOpened());
    in->start();
    const std::uintptr_t handle = in->handle();
    struct Case {
        const char* what;
        std::uint32_t message;
        std::uintptr_t device;
        std::uint32_t packed;
        Calls calls;
    };
    const Case cases[] = {
        {"note on", platform::midiInDataMessage, handle, pack(0x90, 60, 100), {"noteOn 60 100"}},
        {"note on, channel 16", platform::midiInDataMessage, handle, pack(0x9F, 61, 1), {"noteOn 61 1"}},
        {"note on at velocity 0", platform::midiInDataMessage, handle, pack(0x93, 62, 0), {"noteOff"}},
        {"note off", platform::midiInDataMessage, handle, pack(0x80, 60, 64), {"noteOff"}},
        {"note off, channel 12", platform::midiInDataMessage, handle, pack(0x8B, 1, 0), {"noteOff"}},
        {"control change", platform::midiInDataMessage, handle, pack(0xB0, 20, 127), {"controlChange 20 127"}},
        {"control change, channel 11", platform::midiInDataMessage, handle, pack(0xBA, 7, 0), {"controlChange 7 0"}},
        {"timing clock", platform::midiInDataMessage, handle, pack(0xF8), {"systemMessage"}},
        {"active sensing", platform::midiInDataMessage, handle, pack(0xFE), {"systemMessage"}},
        {"song position", platform::midiInDataMessage, handle, pack(0xF2, 1, 2), {"systemMessage"}},
        {"program change", platform::midiInDataMessage, handle, pack(0xC0, 5), {}},
        {"key pressure", platform::midiInDataMessage, handle, pack(0xA0, 60, 10), {}},
        {"channel pressure", platform::midiInDataMessage, handle, pack(0xD4, 10), {}},
        {"pitch bend", platform::midiInDataMessage, handle, pack(0xE0, 0, 64), {}},
        {"a data byte as status", platform::midiInDataMessage, handle, pack(0x3B, 20, 127), {}},
        {"another device's handle", platform::midiInDataMessage, handle + 1000, pack(0xB0, 20, 127), {}},
        {"no handle", platform::midiInDataMessage, noMidiHandle, pack(0x90, 60, 100), {}},
        {"open notice", platform::midiInOpenMessage, handle, pack(0xB0, 20, 127), {}},
        {"close notice", platform::midiInCloseMessage, handle, pack(0xB0, 20, 127), {}},
        {"error notice", platform::midiInErrorMessage, handle, pack(0x90, 60, 100), {}},
        {"long data", platform::midiInLongDataMessage, handle, pack(0xF8), {}},
        {"more data", platform::midiInMoreDataMessage, handle, pack(0xB0, 20, 127), {}},
    };
    delivered();
    for (const Case& c : cases) {
        platform::postMessage(window->handle(), c.message, c.device, static_cast<std::intptr_t>(c.packed));
        EXPECT_EQ(delivered(), c.calls) << c.what;
    }
}

TEST_F(MidiDispatch, DeviceInputFlowsOnlyBetweenStartAndStop) {
    in = std::make_unique<MidiIn>("Keys", &listener, window);
    ASSERT_TRUE(in->isOpened());
    fake.inject("Keys", pack(0xB0, 20, 1));  // opened, not started
    EXPECT_EQ(delivered(), Calls{});
    in->start();
    fake.inject("Keys", pack(0xB0, 20, 127));
    fake.inject("Pads", pack(0xB0, 21, 127));  // not opened
    fake.inject("Keys", pack(0x90, 64, 0));
    EXPECT_EQ(delivered(), (Calls{"controlChange 20 127", "noteOff"}));
    in->stop();
    fake.inject("Keys", pack(0xB0, 20, 2));
    EXPECT_EQ(delivered(), Calls{});
    in->start();
    fake.inject("Keys", pack(0xB5, 20, 3));
    EXPECT_EQ(delivered(), (Calls{"controlChange 20 3"}));

    // Deleted: the window no longer hands it anything, and the device is
    // stopped and closed.
    const std::uintptr_t handle = in->handle();
    fake.inject("Keys", pack(0xB0, 20, 4));  // queued before the delete
    in.reset();
    platform::postMessage(window->handle(), platform::midiInDataMessage, handle, pack(0xB0, 20, 5));
    EXPECT_EQ(delivered(), Calls{});
    EXPECT_EQ(fake.openInputs(), 0);
    const auto calls = fake.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "inputStop");
    EXPECT_EQ(calls.back(), "inputClose");
}

TEST_F(MidiDispatch, TheInputIsChosenByItsExactName) {
    struct Case {
        const char* name;
        const char* opened;
    };
    const Case cases[] = {{"Pads", "Pads"}, {"Keys", "Keys"}, {"pads", "Keys"}, {"", "Keys"}, {"Drums", "Keys"}};
    for (const Case& c : cases) {
        const auto before = fake.calls().size();
        in = std::make_unique<MidiIn>(c.name, &listener, window);
        const auto calls = fake.calls();
        ASSERT_GT(calls.size(), before);
        EXPECT_EQ(calls[before], std::string("inputOpen ") + c.opened) << c.name;
        in.reset();
    }
}

TEST_F(MidiDispatch, FailuresShowTheInputBoxButAMissingDeviceDoesNot) {
    struct Case {
        const char* what;
        std::vector<FakeMidiPort> inputs;
        FakeMidiFailure failure;  // none when call is empty
        bool opened;
        std::vector<std::string> boxes;  // after opening, starting and stopping
    };
    const std::string caption = "Midi In Device Error|";
    const Case cases[] = {
        {"no input", {}, {}, false, {}},
        {"a bad device", {{"Keys", midiOk, midiBadDeviceId}}, {}, false, {}},
        {"in use", {{"Keys", midiOk, midiAllocated}}, {}, false, {caption + "The MIDI device is already in use."}},
        {"a code without text", {{"Keys", midiOk, 77}}, {}, false,
         {caption + "A midi in device error occured, but details are not available."}},
        {"start fails", {{"Keys"}}, {"inputStart", midiNoDriver}, true,
         {caption + "No MIDI system is available (no ALSA sequencer)."}},
        {"stop fails", {{"Keys"}}, {"inputStop", 78}, true,
         {caption + "A midi in device error occured, but details are not available."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fake.inputs = c.inputs;
        if (!c.failure.call.empty()) {
            FakeMidiFailure failure = c.failure;
            // Only the next call of that name fails.
            for (const std::string& call : fake.calls()) failure.after += call == failure.call ? 1 : 0;
            fake.fail(failure);
        }
        platform::uiScript::clearRequests();
        in = std::make_unique<MidiIn>("Keys", &listener, window);
        EXPECT_EQ(in->isOpened(), c.opened);
        EXPECT_EQ(in->handle() != noMidiHandle, c.opened);
        in->start();  // a closed input does nothing here
        in->stop();
        EXPECT_EQ(boxes(), c.boxes);
        in.reset();
        EXPECT_EQ(fake.openInputs(), 0);
    }
}

}  // namespace
