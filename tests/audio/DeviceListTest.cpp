// The device list on scripted devices: what is listed, what is left out
// and logged, the look-ups, and the check of a stored choice.
#include "AudioTestSupport.h"

#include "TestEnvironment.h"
#include "audio/AudioDeviceList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

using namespace audio_test;
using namespace platform::audio;
using Kind = AudioDeviceList::Kind;

namespace {

FakeWaveEntry wave(const std::string& name, std::uint32_t formats = waveFormat4S16, bool fail = false) {
    return {WaveDeviceCaps{name, formats, 2}, fail};
}

FakeOutputEntry output(const std::string& name, std::uint32_t flags = 0x0F) {
    return {guidFromText(name), name, OutputCaps{flags}, false, false};
}

FakeOutputEntry alias() { return {std::nullopt, "Primary Sound Driver", OutputCaps{0x0F}, false, false}; }

FakeCaptureEntry capture(const std::string& name, std::uint32_t flags = 0, std::uint32_t formats = waveFormat4S16) {
    return {guidFromText(name), name, CaptureCaps{flags, formats, 2}, false, false};
}

std::vector<std::string> names(const AudioDeviceList& list, Kind kind) {
    std::vector<std::string> result;
    for (int i = 0; i < list.count(kind); ++i) result.emplace_back(list.name(kind, i));
    return result;
}

struct Choice {
    std::int32_t useDirectSound;
    char name[AudioDeviceList::nameSize];
    float latency;
};

Choice validated(const AudioDeviceList& list, bool output, std::int32_t useDirectSound, const std::string& name,
                 float latency) {
    Choice choice{useDirectSound, {}, latency};
    std::snprintf(choice.name, sizeof choice.name, "%s", name.c_str());
    list.validateChoice(output, choice.useDirectSound, choice.name, choice.latency);
    return choice;
}

struct Case {
    const char* what;
    std::function<void(FakeAudio&)> script;
    std::function<void(const AudioDeviceList&, const FakeAudio&)> check;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        {"seventeen wave outputs: number 16 is never asked",
         [](FakeAudio& fake) {
             for (int i = 0; i < 17; ++i) fake.waveOut.push_back(wave("out " + std::to_string(i)));
         },
         [](const AudioDeviceList& list, const FakeAudio& fake) {
             EXPECT_EQ(list.count(Kind::WaveOut), 16);
             EXPECT_STREQ(list.name(Kind::WaveOut, 15), "out 15");
             EXPECT_TRUE(fake.called("waveOutCapabilities 15"));
             EXPECT_FALSE(fake.called("waveOutCapabilities 16"));
         }},
        {"wave outputs without capabilities or CD format are left out",
         [](FakeAudio& fake) {
             fake.waveOut = {wave("A"), wave("B", waveFormat4S16, true), wave("C", 0x400), wave("D")};
         },
         [](const AudioDeviceList& list, const FakeAudio&) {
             EXPECT_EQ(names(list, Kind::WaveOut), (std::vector<std::string>{"A", "D"}));
             EXPECT_EQ(list.waveOutDeviceId("A"), 0);
             EXPECT_EQ(list.waveOutDeviceId("D"), 3);
             EXPECT_EQ(list.waveOutDeviceId("B"), -1);
         }},
        {"long names are cut to 127 bytes, never inside a character",
         [](FakeAudio& fake) {
             fake.waveOut = {wave(std::string(200, 'n')), wave(std::string(126, 'x') + "\xC3\xA9" + "tail")};
             fake.waveIn = {wave(std::string(125, 'y') + "\xE2\x82\xAC" + "tail")};
         },
         [](const AudioDeviceList& list, const FakeAudio&) {
             EXPECT_EQ(std::string(list.name(Kind::WaveOut, 0)), std::string(127, 'n'));
             EXPECT_EQ(std::string(list.name(Kind::WaveOut, 1)), std::string(126, 'x'));
             EXPECT_EQ(std::string(list.name(Kind::WaveIn, 0)), std::string(125, 'y'));
         }},
        {"wave inputs alike",
         [](FakeAudio& fake) {
             for (int i = 0; i < 17; ++i) fake.waveIn.push_back(wave("in " + std::to_string(i)));
             fake.waveIn[1].failCapabilities = true;
             fake.waveIn[2].caps.formats = 0;
         },
         [](const AudioDeviceList& list, const FakeAudio& fake) {
             EXPECT_EQ(list.count(Kind::WaveIn), 14);
             EXPECT_STREQ(list.name(Kind::WaveIn, 1), "in 3");
             EXPECT_FALSE(fake.called("waveInCapabilities 16"));
             EXPECT_EQ(list.indexOfWaveInDevice("in 3"), 1);
         }},
        {"capture devices: failures and emulated drivers are skipped, at most 16",
         [](FakeAudio& fake) {
             fake.captures = {capture("no create"), capture("no caps"), capture("emulated", captureEmulated),
                              capture("no CD", 0, 0x400)};
             fake.captures[0].failCreate = true;
             fake.captures[1].failCapabilities = true;
             for (int i = 0; i < 17; ++i) fake.captures.push_back(capture("mic " + std::to_string(i)));
         },
         [](const AudioDeviceList& list, const FakeAudio& fake) {
             EXPECT_EQ(list.count(Kind::Capture), 16);
             EXPECT_STREQ(list.name(Kind::Capture, 0), "mic 0");
             EXPECT_STREQ(list.name(Kind::Capture, 15), "mic 15");
             EXPECT_TRUE(fake.called("captureCapabilities mic 16")) << "the enumeration stopped early";
             EXPECT_TRUE(logContains("DirectX trouble in file AudioDeviceList.cpp, line "));
             EXPECT_TRUE(logContains("BackendError (scripted failure)"));
         }},
        {"outputs: the first entry, emulated and unsuitable devices are left out",
         [](FakeAudio& fake) {
             fake.outputs = {output("first"), output("emulated", 0x0F | outputEmulated), output("mono only", 0x09),
                             output("good"), output("also good", 0x0A)};
             fake.outputs[4].caps.flags = 0x0A;
         },
         [](const AudioDeviceList& list, const FakeAudio&) {
             EXPECT_EQ(names(list, Kind::DirectSound), (std::vector<std::string>{"good", "also good"}));
             // The enumeration's storage was overwritten after each entry.
             EXPECT_EQ(*list.directSoundGuid("good"), guidFromText("good"));
             EXPECT_EQ(*list.directSoundGuid("also good"), guidFromText("also good"));
             EXPECT_EQ(list.indexOfDirectSoundDevice("also good"), 1);
         }},
        {"outputs: the first entry alone is never listed",
         [](FakeAudio& fake) { fake.outputs = {alias()}; },
         [](const AudioDeviceList& list, const FakeAudio& fake) {
             EXPECT_EQ(list.count(Kind::DirectSound), 0);
             EXPECT_FALSE(fake.called("outputCapabilities Primary Sound Driver"));
         }},
        {"an enumeration that fails midway keeps what it got",
         [](FakeAudio& fake) {
             fake.outputs = {alias(), output("one"), output("two"), output("three")};
             fake.failures.outputEnumerationAfter = 3;
             fake.captures = {capture("mic"), capture("line")};
             fake.failures.captureEnumerationAfter = 1;
         },
         [](const AudioDeviceList& list, const FakeAudio&) {
             EXPECT_EQ(names(list, Kind::DirectSound), (std::vector<std::string>{"one", "two"}));
             EXPECT_EQ(names(list, Kind::Capture), (std::vector<std::string>{"mic"}));
             EXPECT_TRUE(logContains("DirectX trouble in file AudioDeviceList.cpp, line "));
         }},
        {"look-ups: exact names, 0, -1 and the default identifier",
         [](FakeAudio& fake) {
             fake.waveOut = {wave("Speakers"), wave("Headphones")};
             fake.outputs = {alias(), output("Speakers")};
         },
         [](const AudioDeviceList& list, const FakeAudio&) {
             EXPECT_EQ(list.indexOfWaveOutDevice("Headphones"), 1);
             EXPECT_EQ(list.indexOfWaveOutDevice("headphones"), 0);
             EXPECT_EQ(list.indexOfWaveOutDevice("Headphones "), 0);
             EXPECT_EQ(list.indexOfCaptureDevice("anything"), 0);
             EXPECT_EQ(list.waveOutDeviceId("Headphones"), 1);
             EXPECT_EQ(list.waveOutDeviceId("Speaker"), -1);
             EXPECT_EQ(*list.directSoundGuid("Speakers"), guidFromText("Speakers"));
             EXPECT_EQ(*list.directSoundGuid("Headphones"), defaultPlaybackGuid);
             EXPECT_STREQ(list.name(Kind::WaveOut, 2), "");
         }},
        {"stored choices: kept when listed, else the first wave device at 50 ms",
         [](FakeAudio& fake) {
             fake.waveOut = {wave("Speakers"), wave("Headphones")};
             fake.waveIn = {wave("Mic")};
             fake.outputs = {alias(), output("Card")};
             fake.captures = {capture("Line in")};
         },
         [](const AudioDeviceList& list, const FakeAudio&) {
             struct Row {
                 bool output;
                 std::int32_t directSound;
                 const char* name;
                 std::int32_t wantDirectSound;
                 const char* wantName;
                 float wantLatency;
             };
             const Row rows[] = {
                 {true, 0, "Headphones", 0, "Headphones", 20.0f},
                 {true, 1, "Card", 1, "Card", 20.0f},
                 {true, 1, "Gone", 0, "Speakers", 50.0f},
                 {true, 0, "Gone", 0, "Speakers", 50.0f},
                 {true, 0, "", 0, "Speakers", 50.0f},
                 {true, 1, "Headphones", 0, "Speakers", 50.0f},
                 {false, 0, "Mic", 0, "Mic", 20.0f},
                 {false, 1, "Line in", 1, "Line in", 20.0f},
                 {false, 1, "Gone", 0, "Mic", 50.0f},
             };
             for (const Row& row : rows) {
                 const Choice choice = validated(list, row.output, row.directSound, row.name, 20.0f);
                 EXPECT_EQ(choice.useDirectSound, row.wantDirectSound) << row.name;
                 EXPECT_STREQ(choice.name, row.wantName) << row.name;
                 EXPECT_EQ(choice.latency, row.wantLatency) << row.name;
             }
         }},
        {"stored choices with empty lists",
         [](FakeAudio&) {},
         [](const AudioDeviceList& list, const FakeAudio&) {
             // An empty name equals the empty first slot and is kept.
             Choice kept = validated(list, true, 1, "", 20.0f);
             EXPECT_EQ(kept.useDirectSound, 1);
             EXPECT_EQ(kept.latency, 20.0f);
             Choice replaced = validated(list, false, 1, "Mic", 20.0f);
             EXPECT_EQ(replaced.useDirectSound, 0);
             EXPECT_STREQ(replaced.name, "");
             EXPECT_EQ(replaced.latency, 50.0f);
             for (Kind kind : {Kind::WaveIn, Kind::WaveOut, Kind::Capture, Kind::DirectSound}) {
                 EXPECT_EQ(list.count(kind), 0);
             }
         }},
    };
    return table;
}

TEST(AudioDeviceList, ScriptedDevices) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        testing_support::clearLog();
        FakeAudio fake;
        c.script(fake);
        const AudioDeviceList list{FormatAudio()};
        c.check(list, fake);
    }
}

// Only CD format is listed: another format finds no wave or capture device.
TEST(AudioDeviceList, OtherFormatsFindNoWaveDevice) {
    FakeAudio fake;
    fake.waveOut = {wave("Speakers")};
    fake.waveIn = {wave("Mic")};
    fake.captures = {capture("Line in")};
    fake.outputs = {alias(), output("Card")};
    const AudioDeviceList list{FormatAudio(2, 48000, 16)};
    EXPECT_EQ(list.count(Kind::WaveOut), 0);
    EXPECT_EQ(list.count(Kind::WaveIn), 0);
    EXPECT_EQ(list.count(Kind::Capture), 0);
    EXPECT_EQ(list.count(Kind::DirectSound), 1);
}

}  // namespace
