// The MIDI device list over the fake MIDI ports: the 16-device limit, name
// length, the no-device text, index look-ups, validateName, and entries
// whose name query failed or that vanished since the last listing.
#include "app/MidiDeviceList.h"
#include "platform/UiScript.h"
#include "platform/midi/FakeMidi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace platform::midi;

namespace {

class MidiDevices : public ::testing::Test {
protected:
    void SetUp() override { platform::uiScript::enable(); }
    void TearDown() override { platform::uiScript::disable(); }

    std::vector<std::string> boxes() const {
        std::vector<std::string> shown;
        for (const auto& request : platform::uiScript::requests()) shown.push_back(request.caption + "|" + request.text);
        return shown;
    }

    FakeMidi fake;
    MidiDeviceList list;
};

std::vector<FakeMidiPort> ports(const char* stem, int count) {
    std::vector<FakeMidiPort> made;
    for (int i = 0; i < count; ++i) made.push_back({std::string(stem) + " " + std::to_string(i + 1)});
    return made;
}

TEST_F(MidiDevices, AtMostSixteenOfEachKind) {
    fake.inputs = ports("In", 17);
    fake.outputs = ports("Out", 3);
    EXPECT_EQ(list.refreshInputs(), 16);
    EXPECT_EQ(list.refreshOutputs(), 3);
    EXPECT_STREQ(list.inputName(15), "In 16");
    EXPECT_STREQ(list.inputName(16), MidiDeviceList::noDeviceName);
    // The seventeenth is never found by name.
    EXPECT_EQ(list.inputIndex("In 17"), 0);
    EXPECT_EQ(list.inputIndex("In 16"), 15);
    EXPECT_EQ(list.outputIndex("Out 3"), 2);
}

TEST_F(MidiDevices, LongNamesAreCutTo127BytesOnACharacterBoundary) {
    // 126 ASCII bytes then a two-byte character that would end at byte 128.
    const std::string accented = std::string(126, 'a') + "\xC3\xA9" + std::string(72, 'b');
    const std::string plain(200, 'x');
    fake.inputs = {{plain}};
    fake.outputs = {{accented}};
    const std::string in = list.inputName(0);
    const std::string out = list.outputName(0);
    EXPECT_EQ(in, std::string(127, 'x'));
    EXPECT_EQ(out, std::string(126, 'a'));
    // Stored names are looked up as listed.
    EXPECT_EQ(list.inputIndex(in.c_str()), 0);
    char stored[MidiDeviceList::nameSize];
    std::snprintf(stored, sizeof stored, "%s", in.c_str());
    list.validateName(false, stored);
    EXPECT_EQ(std::string(stored), in);
}

TEST_F(MidiDevices, NoDeviceGivesTheNoDeviceText) {
    EXPECT_EQ(list.refreshInputs(), 0);
    EXPECT_EQ(list.refreshOutputs(), 0);
    for (int index : {0, 1, 15, 16, -1}) {
        EXPECT_STREQ(list.inputName(index), "<no device available>") << index;
        EXPECT_STREQ(list.outputName(index), "<no device available>") << index;
    }
    EXPECT_EQ(list.inputIndex("<no device available>"), 0);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(MidiDevices, IndexLookupIsExactAndZeroWhenNotListed) {
    fake.inputs = {{"Keys"}, {"Pads"}, {"Pads 2"}};
    struct Case {
        const char* name;
        int index;
    };
    const Case cases[] = {{"Keys", 0}, {"Pads", 1}, {"Pads 2", 2}, {"pads", 0}, {"Pad", 0},
                          {"Pads ", 0}, {"", 0}, {"Drums", 0}};
    for (const Case& c : cases) EXPECT_EQ(list.inputIndex(c.name), c.index) << c.name;
    // Unplugging renumbers at the next look-up.
    fake.inputs.erase(fake.inputs.begin());
    EXPECT_EQ(list.inputIndex("Pads 2"), 1);
}

TEST_F(MidiDevices, ValidateNameKeepsListedNamesAndReplacesOthers) {
    struct Case {
        const char* what;
        bool output;
        std::vector<FakeMidiPort> devices;
        const char* stored;
        const char* validated;
    };
    const Case cases[] = {
        {"input listed", false, {{"Keys"}, {"Pads"}}, "Pads", "Pads"},
        {"input unlisted", false, {{"Keys"}, {"Pads"}}, "Drums", "Keys"},
        {"input none", false, {}, "Pads", "<no device available>"},
        {"output listed", true, {{"Synth"}, {"Clock Box"}}, "Clock Box", "Clock Box"},
        {"output unlisted", true, {{"Synth"}, {"Clock Box"}}, "", "Synth"},
        {"output none", true, {}, "Synth", "<no device available>"},
        {"the no-device text with devices", true, {{"Synth"}}, "<no device available>", "Synth"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        (c.output ? fake.outputs : fake.inputs) = c.devices;
        (c.output ? fake.inputs : fake.outputs) = {{"Other"}};
        char name[MidiDeviceList::nameSize];
        std::memset(name, 'z', sizeof name);
        std::snprintf(name, sizeof name, "%s", c.stored);
        list.validateName(c.output, name);
        EXPECT_STREQ(name, c.validated);
    }
}

TEST_F(MidiDevices, AFailedNameQueryLeavesAnEmptyNameNotTheOldOne) {
    fake.inputs = {{"Keys"}, {"Pads"}};
    fake.outputs = {{"Synth"}, {"Clock Box"}};
    ASSERT_STREQ(list.inputName(1), "Pads");
    ASSERT_STREQ(list.outputName(1), "Clock Box");

    fake.inputs[1].failName = midiNoMemory;
    fake.outputs[1].failName = midiNoMemory;
    EXPECT_STREQ(list.inputName(1), "");
    EXPECT_TRUE(boxes().empty());  // inputs show no box
    EXPECT_STREQ(list.outputName(1), "");
    EXPECT_EQ(boxes(), (std::vector<std::string>{
                           "Midi Out Device Error|There is not enough memory for the MIDI device."}));
    // The entry no longer matches the name it had.
    EXPECT_EQ(list.outputIndex("Clock Box"), 0);

    platform::uiScript::clearRequests();
    fake.outputs[1].failName = 99;
    EXPECT_STREQ(list.outputName(1), "");
    EXPECT_EQ(boxes(), (std::vector<std::string>{
                           "Midi Out Device Error|A midi out device error occurred, but details are not available."}));
}

TEST_F(MidiDevices, AnIndexBeyondTheRefreshedListReadsNoDevice) {
    fake.inputs = {{"Keys"}, {"Pads"}, {"Drums"}};
    fake.outputs = {{"Synth"}, {"Clock Box"}};
    ASSERT_STREQ(list.inputName(2), "Drums");
    ASSERT_STREQ(list.outputName(1), "Clock Box");
    fake.inputs.pop_back();
    fake.outputs.pop_back();
    EXPECT_STREQ(list.inputName(2), "<no device available>");
    EXPECT_STREQ(list.outputName(1), "<no device available>");
    EXPECT_STREQ(list.outputName(0), "Synth");
}

}  // namespace
