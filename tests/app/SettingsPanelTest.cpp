// The settings panel on a window of its own, over a recording application
// interface and fake sound devices (three waveOut entries and two
// DirectSound outputs): its controls through Qt's event path (pages chosen
// by their tabs, buttons clicked; number sliders set as a drag sets them),
// the calls each makes, the quiet before activate, the records save writes
// (decoded by tests/app/settings_records.py), factory, the "WMA Support"
// dialog in its three states, the MIDI side on the fake ports and the USB
// controllers on the fake HID units.
#include "AppTestSupport.h"
#include "RecordingApplication.h"

#include "app/MidiDeviceList.h"
#include "app/NumberButtonGroup.h"
#include "app/MixerParameters.h"
#include "app/PanelSettings.h"
#include "app/MidiIn.h"
#include "app/MidiOut.h"
#include "app/PMD1208LS.h"
#include "app/PMDSettingsDialog.h"
#include "app/SiLabs.h"
#include "app/SiLabsSettingsDialog.h"
#include "audio/AudioDeviceList.h"
#include "framework/AudioEngineServices.h"
#include "framework/GUIButton.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/Shell.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/hid/FakeHid.h"
#include "platform/midi/FakeMidi.h"

#include "Eventually.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace input = platform::test_input;

namespace {

using Calls = std::vector<std::string>;
using app_test::decodeStored;
using app_test::Fields;
using app_test::pythonFloat;

platform::Point centre(const GUIRectangle& r) { return {(r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2}; }

// An xdg-open in bin that appends its arguments to bin/opened, first on
// the PATH returned.
testing_support::ScopedEnvironment fakeOpener(testing_support::TemporaryDirectory& bin) {
    testing_support::writeScript(bin.file("xdg-open"), "printf '%s\\n' \"$@\" >> '" + bin.file("opened") + "'\n");
    return testing_support::ScopedEnvironment("PATH", bin.path() + ":/bin");
}

// A number slider moved to the value as a drag there would leave it.
void slide(GUINumberSlider* slider, float value) {
    slider->setValue(value);
    slider->notifyListener();
}


class SettingsPanel : public app_test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        fakeMidi.emplace();  // no MIDI port unless a test lists some
        fakeHid.emplace();   // no USB unit either
        useDevices(3, 2);
        devices = std::make_unique<AudioDeviceList>(FormatAudio(2, 44100, 16));
        freshWindow();
    }

    // A new window with an empty group for the next panel.
    void freshWindow() {
        window.reset();
        WindowParameters parameters;
        parameters.backgroundKey = "velkarn/background/main";
        parameters.title = "Settings";
        window = std::make_unique<Window>(parameters);
        app.window = window.get();
        group = new GUIPanelGroupHorizontal(1, 30, nullptr);
        window->add(group);
        panel = nullptr;
    }

    void TearDown() override {
        window.reset();
        fakeHid.reset();
        setWmaLibraryLoader(nullptr, nullptr);
        checkWmaLibrary();
        setWmaRebootNeeded(false);
        fakeMidi.reset();
        AppTest::TearDown();
    }

    // The panel built from the stored records (defaults where none are).
    PanelSettings& build() {
        startUp.load();
        startUp2.load();
        startUp3.load();
        startUp4.load();
        startUp5.load();
        startUp6.load();
        panel = new PanelSettings(group, &app, startUp, startUp2, startUp3, startUp4, startUp5, startUp6,
                                  devices.get(), &midiDevices);
        window->redraw(GUIRectangle(0, 0, window->width() - 1, window->height() - 1));
        return *panel;
    }

    PanelSettings& buildActive() {
        build();
        panel->refresh();
        panel->activate();
        app.take();
        return *panel;
    }

    void click(GUIComponent* component) { ASSERT_TRUE(input::click(window->handle(), centre(*component))); }

    // The page's tab in the band above the sub-panels.
    void choosePage(int page) {
        const GUIRectangle& r = *panel->subPanels();
        const int width = r.x1 - r.x0 + 1;
        const int x = r.x0 + (width * page + width / 2) / PanelSettings::subPanelCount;
        ASSERT_TRUE(input::click(window->handle(), {x, r.y0 + 10}));
        ASSERT_EQ(panel->subPanels()->selectedIndex(), page);
    }

    std::string wave(int index) const { return devices->name(AudioDeviceList::Kind::WaveOut, index); }
    std::string sound(int index) const { return devices->name(AudioDeviceList::Kind::DirectSound, index); }

    std::optional<platform::midi::FakeMidi> fakeMidi;
    std::optional<platform::hid::FakeHid> fakeHid;
    RecordingApplication app;
    std::unique_ptr<AudioDeviceList> devices;
    MidiDeviceList midiDevices;
    std::unique_ptr<Window> window;
    GUIPanelGroupHorizontal* group = nullptr;
    PanelSettings* panel = nullptr;
    VelkarnStartUpValues startUp;
    VelkarnStartUpValues2 startUp2;
    VelkarnStartUpValues3 startUp3;
    VelkarnStartUpValues4 startUp4;
    VelkarnStartUpValues5 startUp5;
    VelkarnStartUpValues6 startUp6;
};

// What a change does: the page it is on, the change, the calls, and what
// the panel shows or answers afterwards.
struct Change {
    const char* name;
    int page;
    std::function<void(PanelSettings&)> act;
    std::function<Calls(const AudioDeviceList&)> calls;
    std::function<void(PanelSettings&, const AudioDeviceList&)> check;
};

std::string wave(const AudioDeviceList& d, int i) { return d.name(AudioDeviceList::Kind::WaveOut, i); }
std::string sound(const AudioDeviceList& d, int i) { return d.name(AudioDeviceList::Kind::DirectSound, i); }

Calls reopen(int output, const std::string& kind, const std::string& name, const std::string& latency) {
    const std::string o = std::to_string(output);
    return {"stopOutputDevice " + o, "openOutputDevice " + o + " " + kind + " " + name + " " + latency,
            "startOutputDevice " + o};
}

Calls operator+(Calls first, const Calls& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::vector<Change> changes(const std::function<void(GUIComponent*)>& click) {
    using Panel = PanelSettings;
    using Devices = AudioDeviceList;
    auto none = [](const Devices&) { return Calls{}; };
    auto calls = [](Calls c) { return [c](const Devices&) { return c; }; };
    return {
        {"refresh 25", Panel::various, [](Panel& p) { slide(p.refreshSlider(), 25); },
         calls({"setRefreshInterval 40"}), nullptr},
        {"knee 40", Panel::various, [](Panel& p) { slide(p.kneeSlider(), 40); }, calls({"setCrossfadeKnee 0.4"}),
         [](Panel& p, const Devices&) { EXPECT_FLOAT_EQ(p.deckGain(), 0.4f); }},
        {"overlay up and down", Panel::various,
         [click](Panel& p) {
             click(p.overlayButton());
             click(p.overlayButton());
         },
         calls({"hideOverlays", "showOverlays"}), [](Panel& p, const Devices&) { EXPECT_TRUE(p.overlayButton()->isDown()); }},
        {"overlap 120", Panel::sound, [](Panel& p) { slide(p.overlapSlider(), 120); }, calls({"setOverlapMs 120"}),
         nullptr},
        {"filter radio 2", Panel::sound, [click](Panel& p) { click(p.filterButtons().button(2)); },
         calls({"setFilterOrder 6"}), [](Panel& p, const Devices&) { EXPECT_EQ(p.filterButtons().selectedIndex(), 2); }},
        {"filter radio 3 then 0", Panel::sound,
         [click](Panel& p) {
             click(p.filterButtons().button(3));
             click(p.filterButtons().button(0));
         },
         calls({"setFilterOrder 8", "setFilterOrder 2"}), nullptr},
        {"exit on load", Panel::browser, [click](Panel& p) { click(p.exitOnLoadButton()); }, none,
         [](Panel& p, const Devices&) { EXPECT_FALSE(p.isExitOnLoad()); }},
        {"MIDI on, map, previous, next, clock", Panel::midi,
         [click](Panel& p) {
             click(p.midiOnButton());
             platform::uiScript::setDialogResponder(PanelSettings::mapDialog,
                                                    [](platform::Dialog& d) { d.press(platform::cancelButton); });
             click(p.mapButton());
             click(p.midiPreviousButton(0));
             click(p.midiNextButton(1));
             click(p.generateClockButton());
         },
         none,
         [](Panel& p, const Devices&) {
             EXPECT_TRUE(p.midiOnButton()->isDown());
             EXPECT_FALSE(p.generateClockButton()->isDown());  // no MIDI output: it goes up again
             EXPECT_FALSE(p.mapButton()->isDown());
         }},
        {"main output to DirectSound", Panel::audio1, [click](Panel& p) { click(p.typeButton(1)); },
         [](const Devices& d) { return reopen(0, "ds", sound(d, 0), "50"); },
         [](Panel& p, const Devices& d) {
             EXPECT_EQ(p.outputType(), 1);
             EXPECT_FALSE(p.typeButton(0)->isDown());
             EXPECT_EQ(p.deviceText(0)->text(), sound(d, 0));
         }},
        {"main output latency 80", Panel::audio1, [](Panel& p) { slide(p.latencySlider(0), 80); },
         [](const Devices& d) { return reopen(0, "mm", wave(d, 0), "80"); }, nullptr},
        {"main output latency unchanged", Panel::audio1, [](Panel& p) { slide(p.latencySlider(0), 50); }, none,
         nullptr},
        {"main output previous on the first", Panel::audio1, [click](Panel& p) { click(p.previousButton(0)); },
         [](const Devices& d) { return reopen(0, "mm", wave(d, 2), "50"); },
         [](Panel& p, const Devices& d) { EXPECT_EQ(p.deviceText(0)->text(), wave(d, 2)); }},
        {"main output next past the last DirectSound output", Panel::audio1,
         [click](Panel& p) {
             click(p.typeButton(1));
             for (int i = 0; i < p.deviceCount(0); ++i) click(p.nextButton(0));
         },
         [](const Devices& d) {
             Calls expected = reopen(0, "ds", sound(d, 0), "50");
             const int count = d.count(AudioDeviceList::Kind::DirectSound);
             for (int i = 1; i <= count; ++i) expected = expected + reopen(0, "ds", sound(d, i % count), "50");
             return expected;
         },
         [](Panel& p, const Devices& d) { EXPECT_EQ(p.deviceText(0)->text(), sound(d, 0)); }},
        {"second output active down and up", Panel::audio2,
         [click](Panel& p) {
             click(p.activeButton());
             click(p.activeButton());
         },
         [](const Devices& d) {
             return reopen(1, "mm", wave(d, 0), "50") + Calls{"stopOutputDevice 1", "closeOutputDevice 1"};
         },
         nullptr},
        {"second output next and latency while inactive", Panel::audio2,
         [click](Panel& p) {
             click(p.nextButton(1));
             slide(p.latencySlider(1), 120);
         },
         none, [](Panel& p, const Devices& d) { EXPECT_EQ(p.deviceText(1)->text(), wave(d, 1)); }},
        {"second output next and latency while active", Panel::audio2,
         [click](Panel& p) {
             click(p.activeButton());
             click(p.nextButton(1));
             slide(p.latencySlider(1), 120);
         },
         [](const Devices& d) {
             return reopen(1, "mm", wave(d, 0), "50") + reopen(1, "mm", wave(d, 1), "50") +
                    reopen(1, "mm", wave(d, 1), "120");
         },
         nullptr},
        {"second output previous on the first, on the waveOut list", Panel::audio2,
         [click](Panel& p) {
             click(p.activeButton());
             click(p.previousButton(1));
         },
         [](const Devices& d) { return reopen(1, "mm", wave(d, 0), "50") + reopen(1, "mm", wave(d, 2), "50"); },
         nullptr},
    };
}

TEST_F(SettingsPanel, TheFakeDevicesAreThreeWaveOutsAndTwoDirectSoundOutputs) {
    EXPECT_EQ(devices->count(AudioDeviceList::Kind::WaveOut), 3);
    EXPECT_GE(devices->count(AudioDeviceList::Kind::DirectSound), 2);
    EXPECT_NE(wave(0), wave(2));
}

TEST_F(SettingsPanel, EachControlMakesItsCalls) {
    for (const Change& change : changes([this](GUIComponent* c) { click(c); })) {
        SCOPED_TRACE(change.name);
        freshWindow();
        buildActive();
        choosePage(change.page);
        change.act(*panel);
        EXPECT_EQ(app.take(), change.calls(*devices));
        if (change.check) change.check(*panel, *devices);
    }
}

TEST_F(SettingsPanel, NothingIsCalledBeforeActivate) {
    for (const Change& change : changes([this](GUIComponent* c) { click(c); })) {
        SCOPED_TRACE(change.name);
        freshWindow();
        build();
        panel->refresh();
        choosePage(change.page);
        change.act(*panel);
        click(panel->saveButton());
        click(panel->factoryButton());
        EXPECT_EQ(app.take(), Calls{});
    }
    // Nothing was saved either: the store holds what the first load wrote.
    const auto records = app_test::firstStartRecords();
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(app_test::storedValue(records[i].first), records[i].second) << i;
}

TEST_F(SettingsPanel, AfterActivateARefreshAppliesTheSlidersButReopensNoOutput) {
    build();
    panel->refresh();
    EXPECT_FALSE(panel->isReady());
    EXPECT_EQ(app.take(), Calls{});
    panel->activate();
    EXPECT_TRUE(panel->isReady());
    EXPECT_EQ(app.take(), Calls{});
    panel->refresh();
    EXPECT_EQ(app.take(), (Calls{"setCrossfadeKnee 0.75", "setRefreshInterval 50", "setOverlapMs 10"}));
}

TEST_F(SettingsPanel, AKneeDraggedThroughTheToolkitReachesTheRenderAndTheRenderers) {
    buildActive();
    GUISliderHorizontal* knob = panel->kneeSlider()->slider();
    const platform::Point from = centre(knob->knobRectangle());
    ASSERT_TRUE(input::press(window->handle(), from));
    ASSERT_TRUE(input::move(window->handle(), {from.x - 40, from.y}));
    ASSERT_TRUE(input::release(window->handle(), {from.x - 40, from.y}));
    const float value = panel->kneeSlider()->value();
    EXPECT_LT(value, 75.0f);
    EXPECT_FLOAT_EQ(panel->deckGain(), value * 0.01f);
    const Calls calls = app.take();
    ASSERT_FALSE(calls.empty());
    for (const std::string& call : calls) EXPECT_EQ(call.rfind("setCrossfadeKnee ", 0), 0u) << call;
    // The call is recorded to six decimals.
    EXPECT_NEAR(std::stod(calls.back().substr(17)), value * 0.01, 1e-6);
}

TEST_F(SettingsPanel, SaveWritesEveryRecordFromTheControlsAndKeepsWhatItDoesNotShow) {
    // Stored beforehand: the database path, the MIDI devices and map, the
    // PMD's use and calibration.
    VelkarnStartUpValues2 path;
    std::snprintf(path.databasePath, sizeof path.databasePath, "%s", "/music/tracks.db");
    path.save();
    VelkarnStartUpValues3 clock;
    clock.midiClockOn = true;
    std::snprintf(clock.midiOutputDevice, sizeof clock.midiOutputDevice, "%s", "Clock Out");
    clock.save();
    VelkarnStartUpValues4 midi;
    midi.midiInOn = true;
    std::snprintf(midi.midiInputDevice, sizeof midi.midiInputDevice, "%s", "Keys In");
    for (int i = 0; i < 10; ++i) midi.controllerNumbers[i] = 40 + i;
    midi.save();
    VelkarnStartUpValues6 pmd;
    pmd.pmdInUse = true;
    pmd.slidersControlEffects = true;
    for (int i = 0; i < VelkarnStartUpValues6::inputCount; ++i) {
        pmd.calibrationMinimum[i] = 1000.0f + static_cast<float>(i);
        pmd.calibrationMaximum[i] = 1500.5f + static_cast<float>(i);
    }
    pmd.save();
    fakeMidi->inputs = {{"Keys In"}};
    fakeMidi->outputs = {{"Clock Out"}};

    buildActive();
    slide(panel->kneeSlider(), 60);
    slide(panel->refreshSlider(), 25);
    slide(panel->overlapSlider(), 30);
    choosePage(PanelSettings::sound);
    click(panel->filterButtons().button(3));
    choosePage(PanelSettings::browser);
    click(panel->exitOnLoadButton());
    choosePage(PanelSettings::audio1);
    click(panel->typeButton(1));
    click(panel->nextButton(0));
    slide(panel->latencySlider(0), 80);
    choosePage(PanelSettings::audio2);
    click(panel->activeButton());
    click(panel->nextButton(1));
    slide(panel->latencySlider(1), 120);
    choosePage(PanelSettings::various);
    click(panel->overlayButton());
    app.take();
    click(panel->saveButton());
    EXPECT_EQ(app.take(), Calls{});

    auto number = [](GUINumberSlider* slider) { return pythonFloat(slider->value()); };
    EXPECT_EQ(decodeStored("StartUp"), (Fields{{"crossfadeKnee", number(panel->kneeSlider())},
                                               {"filterOrder", "8"},
                                               {"overlapMs", number(panel->overlapSlider())},
                                               {"reserved", "0"},
                                               {"refreshRate", number(panel->refreshSlider())},
                                               {"outputType", "1"},
                                               {"outputDevice", sound(1)},
                                               {"latencyMs", number(panel->latencySlider(0))}}));
    EXPECT_EQ(decodeStored("StartUp2"), (Fields{{"databasePath", "/music/tracks.db"}, {"exitOnLoad", "0"}}));
    EXPECT_EQ(decodeStored("StartUp3"), (Fields{{"secondOutputOn", "1"},
                                                {"secondOutputType", "0"},
                                                {"secondOutputDevice", wave(1)},
                                                {"secondLatencyMs", number(panel->latencySlider(1))},
                                                {"midiClockOn", "1"},
                                                {"midiOutputDevice", "Clock Out"}}));
    EXPECT_EQ(decodeStored("StartUp4"), (Fields{{"midiInOn", "1"},
                                                {"midiInputDevice", "Keys In"},
                                                {"controllerNumbers", "40,41,42,43,44,45,46,47,48,49"}}));
    EXPECT_EQ(decodeStored("StartUp5"), (Fields{{"overlaysShown", "0"}}));
    EXPECT_EQ(decodeStored("StartUp6"),
              (Fields{{"pmdInUse", "1"},
                      {"slidersControlEffects", "1"},
                      {"calibrationMinimum", "1000.0,1001.0,1002.0,1003.0,1004.0,1005.0,1006.0,1007.0"},
                      {"calibrationMaximum", "1500.5,1501.5,1502.5,1503.5,1504.5,1505.5,1506.5,1507.5"}}));
    // The values the sliders were moved to, as stored.
    EXPECT_EQ(number(panel->kneeSlider()), "60.0");
    EXPECT_EQ(number(panel->latencySlider(1)), "120.0");
}

TEST_F(SettingsPanel, FactoryAppliesTheDefaultsAndLeavesTheStoreAsItWas) {
    VelkarnStartUpValues main;
    main.crossfadeKnee = 30.0f;
    main.filterOrder = 8;
    main.overlapMs = 100.0f;
    main.refreshRate = 10.0f;
    main.outputType = 1;
    std::snprintf(main.outputDevice, sizeof main.outputDevice, "%s", sound(1).c_str());
    main.latencyMs = 150.0f;
    main.save();
    VelkarnStartUpValues2 browser;
    browser.exitOnLoad = false;
    browser.save();
    VelkarnStartUpValues3 second;
    second.secondOutputOn = true;
    std::snprintf(second.secondOutputDevice, sizeof second.secondOutputDevice, "%s", wave(2).c_str());
    second.secondLatencyMs = 20.0f;
    second.midiClockOn = true;
    second.save();
    VelkarnStartUpValues4 midi;
    midi.midiInOn = true;
    midi.controllerNumbers[3] = 99;
    midi.save();
    VelkarnStartUpValues5 overlays;
    overlays.overlaysShown = false;
    overlays.save();
    VelkarnStartUpValues6 pmd;
    pmd.pmdInUse = true;
    pmd.save();

    buildActive();
    EXPECT_EQ(panel->deviceText(0)->text(), sound(1));
    EXPECT_EQ(panel->deviceText(1)->text(), wave(2));
    const char* names[] = {"StartUp", "StartUp2", "StartUp3", "StartUp4", "StartUp5", "StartUp6"};
    std::vector<std::optional<std::string>> before;
    for (const char* name : names) before.push_back(app_test::storedValue(name));

    click(panel->factoryButton());
    EXPECT_EQ(app.take(), (Calls{"setCrossfadeKnee 0.75", "setRefreshInterval 50", "setOverlapMs 10",
                                 "setFilterOrder 2"} +
                           reopen(0, "mm", wave(0), "50") +
                           Calls{"stopOutputDevice 1", "closeOutputDevice 1", "showOverlays"}));
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(app_test::storedValue(names[i]), before[i]) << names[i];

    EXPECT_FLOAT_EQ(panel->deckGain(), 0.75f);
    EXPECT_EQ(panel->kneeSlider()->value(), 75.0f);
    EXPECT_EQ(panel->filterButtons().selectedIndex(), 0);
    EXPECT_EQ(panel->outputType(), 0);
    EXPECT_EQ(panel->deviceText(0)->text(), wave(0));
    EXPECT_EQ(panel->deviceText(1)->text(), wave(0));
    EXPECT_FALSE(panel->activeButton()->isDown());
    EXPECT_TRUE(panel->overlayButton()->isDown());
    EXPECT_TRUE(panel->isExitOnLoad());
    EXPECT_FALSE(panel->midiOnButton()->isDown());
    EXPECT_FALSE(panel->generateClockButton()->isDown());

    // Saved afterwards, the records are the defaults (the chosen device
    // named, the database path kept).
    click(panel->saveButton());
    const auto records = app_test::firstStartRecords();
    for (std::size_t i = 2; i < 6; ++i) {
        if (i == 2 || i == 3) continue;  // StartUp3 and StartUp4 name the devices looked up again
        EXPECT_EQ(app_test::storedValue(records[i].first), records[i].second) << records[i].first;
    }
    const Fields third = decodeStored("StartUp3");
    EXPECT_EQ(third.at("secondOutputOn"), "0");
    EXPECT_EQ(third.at("secondOutputDevice"), wave(0));
    EXPECT_EQ(third.at("midiClockOn"), "0");
    EXPECT_EQ(third.at("midiOutputDevice"), "<no device available>");
    EXPECT_EQ(decodeStored("StartUp4"), (Fields{{"midiInOn", "0"},
                                                {"midiInputDevice", "<no device available>"},
                                                {"controllerNumbers", "20,21,22,23,24,25,26,27,28,29"}}));
    EXPECT_EQ(decodeStored("StartUp").at("outputDevice"), wave(0));
    EXPECT_EQ(decodeStored("StartUp").at("refreshRate"), "20.0");
}

TEST_F(SettingsPanel, WmaSupportShowsItsThreeStatesAndDownloadOpensTheLibraryPage) {
    testing_support::TemporaryDirectory bin;
    const testing_support::ScopedEnvironment pathVariable = fakeOpener(bin);
    struct State {
        const char* name;
        bool decoder;
        bool rebootNeeded;
        const char* text;
        bool downloadEnabled;
    };
    const State states[] = {
        {"decoder present", true, false, PanelSettings::wmaSupported, false},
        {"decoder present, restart flagged", true, true, PanelSettings::wmaSupported, false},
        {"restart pending", false, true, PanelSettings::wmaRebootFirst, false},
        {"nothing installed", false, false, PanelSettings::wmaDownloadFirst, true},
    };
    buildActive();
    for (const State& state : states) {
        SCOPED_TRACE(state.name);
        const bool decoder = state.decoder;
        setWmaLibraryLoader([decoder] { return decoder; }, [] {});
        checkWmaLibrary();
        setWmaRebootNeeded(state.rebootNeeded);
        int shown = 0;
        std::string caption;
        std::string text;
        bool enabled = false;
        platform::uiScript::setDialogResponder(PanelSettings::wmaDialog, [&](platform::Dialog& dialog) {
            ++shown;
            caption = dialog.caption();
            text = dialog.text(PanelSettings::wmaTextControl, 1024);
            enabled = dialog.controlEnabled(PanelSettings::wmaDownloadButton);
            if (enabled) dialog.press(PanelSettings::wmaDownloadButton);
            dialog.press(platform::okButton);
        });
        click(panel->wmaButton());
        platform::waitForShellOpeners();
        EXPECT_EQ(shown, 1);
        EXPECT_EQ(caption, "WMA Support");
        EXPECT_EQ(text, state.text);
        EXPECT_EQ(enabled, state.downloadEnabled);
        EXPECT_FALSE(panel->wmaButton()->isDown());
    }
    // Only the state without a decoder offered the download, once.
    EXPECT_EQ(testing_support::readFile(bin.file("opened")), std::string(PanelSettings::wmaDownloadPage) + "\n");
    EXPECT_EQ(app.take(), Calls{});
}

TEST_F(SettingsPanel, CancelClosesWmaSupportWithoutOpeningAnything) {
    testing_support::TemporaryDirectory bin;
    const testing_support::ScopedEnvironment pathVariable = fakeOpener(bin);
    buildActive();
    int shown = 0;
    platform::uiScript::setDialogResponder(PanelSettings::wmaDialog, [&](platform::Dialog& dialog) {
        ++shown;
        dialog.press(platform::cancelButton);
    });
    click(panel->wmaButton());
    platform::waitForShellOpeners();
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(std::filesystem::exists(bin.file("opened")));
}

// ---------------------------------------------------------------------------
// MIDI: the input and clock output on the fake ports, the controller map.

using ControllerMap = SettingsPanel;
using SettingsMidi = SettingsPanel;

std::uint32_t controlChangeMessage(int controller, int value) {
    return 0xB0u | static_cast<std::uint32_t>(controller) << 8 | static_cast<std::uint32_t>(value) << 16;
}

// The service calls of the fake since the mark, without the listing ones.
Calls midiCallsSince(const platform::midi::FakeMidi& fake, std::size_t mark) {
    const Calls all = fake.calls();
    return Calls(all.begin() + static_cast<std::ptrdiff_t>(std::min(mark, all.size())), all.end());
}

std::array<float, MixerParameters::count> positions(const MixerParameters& mixer) {
    std::array<float, MixerParameters::count> all{};
    for (int i = 0; i < MixerParameters::count; ++i) all[static_cast<std::size_t>(i)] = mixer.position(i);
    return all;
}

TEST_F(ControllerMap, ControlChangesMoveTheFirstMappedParameterOnly) {
    VelkarnStartUpValues4 stored;
    stored.midiInOn = true;
    std::snprintf(stored.midiInputDevice, sizeof stored.midiInputDevice, "%s", "Keys");
    stored.controllerNumbers[3] = 50;  // deck one high-pass ...
    stored.controllerNumbers[4] = 50;  // ... and low-pass share 50: only the first moves
    stored.save();
    fakeMidi->inputs = {{"Keys"}};
    buildActive();
    ASSERT_NE(panel->midiIn(), nullptr);

    struct Case {
        int controller;
        int value;
        int parameter;  // -1: nothing moves
        float position;
    };
    const Case cases[] = {
        {20, 127, 0, 1.0f},
        {20, 0, 0, 0.0f},
        {20, 64, 0, 64.0f * 0.007874016f},
        {21, 1, 1, 0.007874016f},
        {25, 100, 6, 100.0f * 0.007874016f},
        {29, 127, 11, 1.0f},
        {50, 90, 3, 90.0f * 0.007874016f},
        {23, 10, -1, 0.0f},  // entry 3 now holds 50
        {30, 127, -1, 0.0f},
        {0, 127, -1, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.controller) + " " + std::to_string(c.value));
        auto expected = positions(app.mixer);
        if (c.parameter >= 0) expected[static_cast<std::size_t>(c.parameter)] = c.position;
        fakeMidi->inject("Keys", controlChangeMessage(c.controller, c.value));
        platform::dispatchPostedMessages();
        EXPECT_EQ(positions(app.mixer), expected);
    }
}

TEST_F(ControllerMap, TheOpenDialogLearnsIntoTheChosenRowAndMovesNothing) {
    fakeMidi->inputs = {{"Keys"}};
    buildActive();
    choosePage(PanelSettings::midi);
    click(panel->midiOnButton());
    const auto before = positions(app.mixer);
    Calls shown;
    platform::uiScript::setDialogResponder(PanelSettings::mapDialog, [&](platform::Dialog& dialog) {
        for (int edit : PanelSettings::mapEdits) shown.push_back(dialog.text(edit, 32));
        for (int radio : PanelSettings::mapLearnRadios) EXPECT_FALSE(dialog.checked(radio));
        // No Learn radio chosen: dropped.
        fakeMidi->inject("Keys", controlChangeMessage(7, 99));
        platform::dispatchPostedMessages();
        for (int e = 0; e < PanelSettings::mapEntries; ++e) {
            EXPECT_EQ(dialog.text(PanelSettings::mapEdits[static_cast<std::size_t>(e)], 32), std::to_string(20 + e));
        }
        dialog.setChecked(1024, true);  // Crossfader
        fakeMidi->inject("Keys", controlChangeMessage(7, 99));
        platform::dispatchPostedMessages();
        EXPECT_EQ(dialog.text(1014, 32), "7");
        EXPECT_EQ(dialog.text(1013, 32), "20");
        dialog.press(platform::okButton);
    });
    click(panel->mapButton());
    EXPECT_EQ(shown, (Calls{"20", "21", "22", "23", "24", "25", "26", "27", "28", "29"}));
    EXPECT_EQ(positions(app.mixer), before);
    EXPECT_EQ(panel->controllerMap()[1], 7);
    // Closed: control change 7 now moves the crossfader.
    fakeMidi->inject("Keys", controlChangeMessage(7, 127));
    platform::dispatchPostedMessages();
    EXPECT_EQ(app.mixer.position(1), 1.0f);
}

TEST_F(ControllerMap, OkReplacesTheWholeMapCancelKeepsIt) {
    buildActive();
    choosePage(PanelSettings::midi);
    struct Case {
        const char* what;
        int button;
        std::array<const char*, PanelSettings::mapEntries> edits;
        PanelSettings::ControllerMap map;
    };
    const Case cases[] = {
        {"ok",
         platform::okButton,
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"leading numbers read as %d; others keep their entry",
         platform::okButton,
         {"12x", "abc", "", " 40", "-3", "+5", "99999999999", "0", "x12", "127"},
         {12, 2, 3, 40, -3, 5, 7, 0, 9, 127}},
        {"cancel", platform::cancelButton, {"50", "51", "52", "53", "54", "55", "56", "57", "58", "59"},
         {12, 2, 3, 40, -3, 5, 7, 0, 9, 127}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::uiScript::setDialogResponder(PanelSettings::mapDialog, [&](platform::Dialog& dialog) {
            for (std::size_t e = 0; e < c.edits.size(); ++e) dialog.setText(PanelSettings::mapEdits[e], c.edits[e]);
            dialog.press(c.button);
        });
        click(panel->mapButton());
        EXPECT_EQ(panel->controllerMap(), c.map);
    }
}

TEST_F(SettingsMidi, OnAndOffOpenStartStopAndCloseInOrder) {
    fakeMidi->inputs = {{"Keys"}, {"Pads"}};
    VelkarnStartUpValues4 stored;
    std::snprintf(stored.midiInputDevice, sizeof stored.midiInputDevice, "%s", "Pads");
    stored.save();
    buildActive();
    EXPECT_EQ(panel->midiIn(), nullptr);
    choosePage(PanelSettings::midi);
    std::size_t mark = fakeMidi->calls().size();
    click(panel->midiOnButton());
    ASSERT_NE(panel->midiIn(), nullptr);
    EXPECT_EQ(midiCallsSince(*fakeMidi, mark), (Calls{"inputOpen Pads", "inputStart"}));
    mark = fakeMidi->calls().size();
    click(panel->midiOnButton());
    EXPECT_EQ(panel->midiIn(), nullptr);
    EXPECT_EQ(midiCallsSince(*fakeMidi, mark), (Calls{"inputStop", "inputClose"}));
    EXPECT_EQ(fakeMidi->openInputs(), 0);
}

TEST_F(SettingsMidi, PreviousAndNextWrapAndReopenWhatRuns) {
    fakeMidi->inputs = {{"In A"}, {"In B"}, {"In C"}};
    fakeMidi->outputs = {{"Out A"}, {"Out B"}};
    buildActive();
    choosePage(PanelSettings::midi);
    click(panel->midiOnButton());
    click(panel->generateClockButton());
    ASSERT_NE(panel->midiOut(), nullptr);
    struct Step {
        int port;
        int direction;  // -1 previous, 1 next
        const char* name;
        Calls calls;
    };
    const Step steps[] = {
        {0, -1, "In C", {"inputStop", "inputClose", "inputOpen In C", "inputStart"}},
        {0, 1, "In A", {"inputStop", "inputClose", "inputOpen In A", "inputStart"}},
        {0, 1, "In B", {"inputStop", "inputClose", "inputOpen In B", "inputStart"}},
        {1, 1, "Out B", {"outputReset", "outputClose", "outputOpen Out B"}},
        {1, 1, "Out A", {"outputReset", "outputClose", "outputOpen Out A"}},
        {1, -1, "Out B", {"outputReset", "outputClose", "outputOpen Out B"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const std::size_t mark = fakeMidi->calls().size();
        click(step.direction < 0 ? panel->midiPreviousButton(step.port) : panel->midiNextButton(step.port));
        EXPECT_EQ(panel->midiNameText(step.port)->text(), step.name);
        EXPECT_EQ(panel->midiName(step.port), step.name);
        Calls calls;
        for (const std::string& call : midiCallsSince(*fakeMidi, mark)) {
            if (call != "outputShortMessage") calls.push_back(call);
        }
        EXPECT_EQ(calls, step.calls);
    }
    // Off: a step only changes the name.
    click(panel->midiOnButton());
    click(panel->generateClockButton());
    const std::size_t mark = fakeMidi->calls().size();
    click(panel->midiNextButton(0));
    click(panel->midiPreviousButton(1));
    EXPECT_EQ(panel->midiNameText(0)->text(), "In C");
    EXPECT_EQ(panel->midiNameText(1)->text(), "Out A");
    EXPECT_EQ(midiCallsSince(*fakeMidi, mark), Calls{});
}

TEST_F(SettingsMidi, WithoutDevicesStepsDoNothingAndTheClockStaysOff) {
    buildActive();
    choosePage(PanelSettings::midi);
    for (int port = 0; port < 2; ++port) {
        click(panel->midiPreviousButton(port));
        click(panel->midiNextButton(port));
        EXPECT_EQ(panel->midiNameText(port)->text(), "<no device available>");
        EXPECT_EQ(panel->midiIndex(port), 0);
    }
    click(panel->generateClockButton());
    EXPECT_FALSE(panel->generateClockButton()->isDown());
    EXPECT_EQ(panel->midiOut(), nullptr);
    click(panel->midiOnButton());
    EXPECT_TRUE(panel->midiOnButton()->isDown());
    EXPECT_EQ(panel->midiIn(), nullptr);
}

TEST_F(SettingsMidi, TheMapOpensTheInputOnlyWhileTheDialogRuns) {
    fakeMidi->inputs = {{"Keys"}};
    buildActive();
    choosePage(PanelSettings::midi);
    ASSERT_FALSE(panel->midiOnButton()->isDown());
    int openWhileShown = -1;
    platform::uiScript::setDialogResponder(PanelSettings::mapDialog, [&](platform::Dialog& dialog) {
        openWhileShown = fakeMidi->openInputs();
        dialog.setChecked(1029, true);  // Deck One Low Pass Filter
        fakeMidi->inject("Keys", controlChangeMessage(64, 1));
        platform::dispatchPostedMessages();
        dialog.press(platform::okButton);
    });
    click(panel->mapButton());
    EXPECT_EQ(openWhileShown, 1);
    EXPECT_EQ(fakeMidi->openInputs(), 0);
    EXPECT_EQ(panel->midiIn(), nullptr);
    EXPECT_EQ(panel->controllerMap()[4], 64);
}

TEST_F(SettingsMidi, ActivateOpensWhatTheRecordsAskAndFactoryClosesIt) {
    fakeMidi->inputs = {{"Keys"}, {"Pads"}};
    fakeMidi->outputs = {{"Out A"}, {"Out B"}};
    VelkarnStartUpValues3 clock;
    clock.midiClockOn = true;
    std::snprintf(clock.midiOutputDevice, sizeof clock.midiOutputDevice, "%s", "Out B");
    clock.save();
    VelkarnStartUpValues4 input;
    input.midiInOn = true;
    std::snprintf(input.midiInputDevice, sizeof input.midiInputDevice, "%s", "Pads");
    input.controllerNumbers[0] = 70;
    input.save();

    build();
    EXPECT_EQ(fakeMidi->openInputs() + fakeMidi->openOutputs(), 0);  // nothing before activate
    const std::size_t mark = fakeMidi->calls().size();
    panel->activate();
    EXPECT_TRUE(panel->isReady());
    ASSERT_NE(panel->midiIn(), nullptr);
    ASSERT_NE(panel->midiOut(), nullptr);
    EXPECT_TRUE(panel->midiOut()->isRunning());
    EXPECT_EQ(midiCallsSince(*fakeMidi, mark), (Calls{"inputOpen Pads", "inputStart", "outputOpen Out B"}));
    platform::VirtualClock::advance(30);
    int pulses = 0;
    for (const auto& sent : fakeMidi->sent()) pulses += sent.bytes == std::vector<std::uint8_t>{0xF8} ? 1 : 0;
    EXPECT_EQ(pulses, 2);  // at 1 and 22 ms, 120 BPM

    panel->factory();
    EXPECT_EQ(panel->midiIn(), nullptr);
    EXPECT_EQ(panel->midiOut(), nullptr);
    EXPECT_EQ(fakeMidi->openInputs() + fakeMidi->openOutputs(), 0);
    EXPECT_FALSE(panel->midiOnButton()->isDown());
    EXPECT_FALSE(panel->generateClockButton()->isDown());
    // The default names, looked up again: the first devices.
    EXPECT_EQ(panel->midiNameText(0)->text(), "Keys");
    EXPECT_EQ(panel->midiNameText(1)->text(), "Out A");
    EXPECT_EQ(panel->controllerMap(), (PanelSettings::ControllerMap{20, 21, 22, 23, 24, 25, 26, 27, 28, 29}));
}

TEST_F(SettingsMidi, SaveWritesTheLiveMidiState) {
    fakeMidi->inputs = {{"Keys"}, {"Pads"}};
    fakeMidi->outputs = {{"Out A"}, {"Out B"}};
    buildActive();
    choosePage(PanelSettings::midi);
    click(panel->midiNextButton(0));
    click(panel->midiOnButton());
    click(panel->midiPreviousButton(1));
    click(panel->generateClockButton());
    platform::uiScript::setDialogResponder(PanelSettings::mapDialog, [](platform::Dialog& dialog) {
        dialog.setText(1022, "99");
        dialog.press(platform::okButton);
    });
    click(panel->mapButton());
    click(panel->saveButton());
    const Fields third = decodeStored("StartUp3");
    EXPECT_EQ(third.at("midiClockOn"), "1");
    EXPECT_EQ(third.at("midiOutputDevice"), "Out B");
    EXPECT_EQ(decodeStored("StartUp4"), (Fields{{"midiInOn", "1"},
                                                {"midiInputDevice", "Pads"},
                                                {"controllerNumbers", "20,21,22,23,24,25,26,27,28,99"}}));
}

// ---------------------------------------------------------------------------
// USB controllers: the SiLabs unit and the PMD-1208LS on the fake HID.

using platform::hid::HidReport;

constexpr const char* siLabsPath = "/dev/fake-hid/silabs";
constexpr const char* pmdPath = "/dev/fake-hid/pmd";
const HidReport pmdStopReport = {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// A block whose last scan reads first, first + 1, ... on the eight inputs.
HidReport pmdBlock(int first) {
    std::array<std::uint16_t, 64> samples;
    samples.fill(0xFFF);
    for (int c = 0; c < 8; ++c) samples[static_cast<std::size_t>(56 + c)] = static_cast<std::uint16_t>(first + c);
    return platform::hid::pmdFeatureReport(samples, false, 1);
}

PMD1208LS::Readings readings(float first) {
    PMD1208LS::Readings values;
    for (int c = 0; c < 8; ++c) values[static_cast<std::size_t>(c)] = first + static_cast<float>(c);
    return values;
}

std::string joined(const PMD1208LS::Readings& values) {
    std::string text;
    for (float value : values) text += (text.empty() ? "" : ",") + pythonFloat(value);
    return text;
}

class SettingsControllers : public SettingsPanel {
protected:
    // A SiLabs unit that reports only what the test queues, and a PMD unit
    // whose every block reads level, level + 1, ... (answered after 2 ms).
    void plugUnits() {
        fakeHid->units = {platform::hid::fakeSiLabsUnit(), platform::hid::fakePmdUnit(1284, 2)};
        fakeHid->units[1].feature = [this](int) { return pmdBlock(level.load()); };
    }

    void storePmd(bool use, bool effects, float minimum, float maximum) {
        VelkarnStartUpValues6 record;
        record.pmdInUse = use;
        record.slidersControlEffects = effects;
        std::fill(std::begin(record.calibrationMinimum), std::end(record.calibrationMinimum), minimum);
        std::fill(std::begin(record.calibrationMaximum), std::end(record.calibrationMaximum), maximum);
        record.save();
    }

    int callCount(const std::string& call) const {
        const Calls calls = fakeHid->calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), call));
    }

    std::atomic<int> level{1284};
};

TEST_F(SettingsControllers, TheRecordCalibratesThePmdAndActivateStartsOnlyTheReadersAsked) {
    for (const bool use : {false, true}) {
        SCOPED_TRACE(use ? "PMD in use" : "PMD not in use");
        plugUnits();
        storePmd(use, true, 1000.0f, 2000.0f);
        level = 1250;
        build();
        // Found and configured with the panel, the record's calibration in
        // place of the class's own; nothing read before activate.
        ASSERT_TRUE(panel->pmd()->hasDevice());
        ASSERT_TRUE(panel->siLabs()->hasDevice());
        EXPECT_EQ(fakeHid->written(pmdPath).size(), 9u);
        EXPECT_EQ(panel->pmd()->minimum(), (PMD1208LS::Readings{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000}));
        EXPECT_EQ(panel->pmd()->maximum(), (PMD1208LS::Readings{2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000}));
        EXPECT_TRUE(panel->pmd()->effects());
        EXPECT_EQ(panel->isPmdInUse(), use);
        EXPECT_FALSE(panel->siLabs()->isReading());
        EXPECT_FALSE(panel->pmd()->isReading());

        panel->activate();
        EXPECT_TRUE(panel->siLabs()->isReading());
        EXPECT_EQ(panel->pmd()->isReading(), use);
        if (use) {
            // Input 3 (1253) moves deck one's effect, the effects flag being
            // set: (1253 - 1000) / 1000; the gain stays.
            EXPECT_TRUE(testing_support::eventually(
                [&] { return app.mixer.position(MixerParameters::deck0EffectLevel) == 0.253f; }));
            const MixerParameters untouched;
            EXPECT_EQ(app.mixer.position(MixerParameters::deck0Gain), untouched.position(MixerParameters::deck0Gain));
        } else {
            // The SiLabs unit alone drives the crossfader: value 7 at 0x0200.
            ASSERT_TRUE(testing_support::eventually([&] { return callCount(std::string("read ") + siLabsPath) >= 1; }));
            std::array<std::uint16_t, 16> values{};
            values[SiLabs::crossfaderValue] = 0x200;
            fakeHid->queueInput(siLabsPath, platform::hid::siLabsReport(values));
            EXPECT_TRUE(testing_support::eventually(
                [&] { return app.mixer.position(MixerParameters::crossfader) == 512.0f / 1023.0f; }));
            EXPECT_EQ(callCount(std::string("feature ") + pmdPath), 0);
        }
        freshWindow();  // closes the panel and its units
        EXPECT_EQ(fakeHid->openDevices(), 0);
        fakeHid.emplace();
    }
}

TEST_F(SettingsControllers, ThePmdButtonCalibratesWithTheReaderStoppedAndRestartsItOnlyWhenUsed) {
    plugUnits();
    storePmd(true, false, 1030.0f, 1540.0f);
    buildActive();
    ASSERT_TRUE(panel->pmd()->isReading());
    struct Run {
        const char* what;
        bool useBefore;
        int button;        // OK or Cancel
        bool use;          // "Use the PMD" when it closes
        bool effects;      // "Vertical sliders control effects"
        int lowLevel;      // the unit's readings at the two presses
        int highLevel;
        PMD1208LS::Readings minimum;
        PMD1208LS::Readings maximum;
    };
    const Run runs[] = {
        {"calibrated, not used", true, platform::okButton, false, true, 1000, 2000, readings(1000), readings(2000)},
        {"cancelled", false, platform::cancelButton, true, false, 500, 600, readings(1000), readings(2000)},
        {"used again", false, platform::okButton, true, false, 1000, 2000, readings(1000), readings(2000)},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.what);
        int shown = 0;
        platform::uiScript::setDialogResponder(PMDSettingsDialog::templateId, [&](platform::Dialog& dialog) {
            ++shown;
            // The reader ended; a reader that ran sent the unit its stop
            // report.
            EXPECT_FALSE(panel->pmd()->isReading());
            EXPECT_EQ(fakeHid->written(pmdPath).back() == pmdStopReport, run.useBefore);
            EXPECT_EQ(dialog.checked(PMDSettingsDialog::useCheck), run.useBefore);
            level = run.lowLevel;
            dialog.press(PMDSettingsDialog::minimumButton);
            level = run.highLevel;
            dialog.press(PMDSettingsDialog::maximumButton);
            level = 1500;
            dialog.setChecked(PMDSettingsDialog::useCheck, run.use);
            dialog.setChecked(PMDSettingsDialog::effectsCheck, run.effects);
            dialog.press(run.button);
        });
        EXPECT_EQ(panel->pmd()->isReading(), run.useBefore);
        click(panel->pmdButton());
        EXPECT_EQ(shown, 1);
        EXPECT_FALSE(panel->pmdButton()->isDown());
        const bool use = run.button == platform::okButton ? run.use : run.useBefore;
        const bool effects = run.button == platform::okButton ? run.effects : true;  // as the first run left it
        EXPECT_EQ(panel->isPmdInUse(), use);
        EXPECT_EQ(panel->pmd()->isReading(), use);
        EXPECT_EQ(panel->pmd()->effects(), effects);
        EXPECT_EQ(panel->pmd()->minimum(), run.minimum);
        EXPECT_EQ(panel->pmd()->maximum(), run.maximum);

        // Saved from the live unit.
        click(panel->saveButton());
        EXPECT_EQ(decodeStored("StartUp6"), (Fields{{"pmdInUse", use ? "1" : "0"},
                                                    {"slidersControlEffects", effects ? "1" : "0"},
                                                    {"calibrationMinimum", joined(run.minimum)},
                                                    {"calibrationMaximum", joined(run.maximum)}}));
    }
    // Used again, the reader applies the new calibration: input 2 reads
    // 1502 between 1002 and 2002.
    EXPECT_TRUE(testing_support::eventually(
        [&] { return app.mixer.position(MixerParameters::deck0UpperCutoff) == 0.5f; }));
}

TEST_F(SettingsControllers, TheSiLabsButtonShowsItsSentenceAndLeavesTheReaderRunning) {
    plugUnits();
    buildActive();
    int shown = 0;
    std::string caption;
    platform::uiScript::setDialogResponder(SiLabsSettingsDialog::templateId, [&](platform::Dialog& dialog) {
        ++shown;
        caption = dialog.caption();
        dialog.press(platform::okButton);
    });
    click(panel->siLabsButton());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(caption, "SiLabs Settings");
    EXPECT_FALSE(panel->siLabsButton()->isDown());
    EXPECT_TRUE(panel->siLabs()->isReading());
}

TEST_F(SettingsControllers, FactoryStopsThePmdAndPutsBackTheRecordDefaults) {
    plugUnits();
    storePmd(true, true, 900.0f, 2100.0f);
    buildActive();
    ASSERT_TRUE(panel->pmd()->isReading());
    const std::optional<std::string> stored = app_test::storedValue("StartUp6");
    click(panel->factoryButton());
    EXPECT_FALSE(panel->isPmdInUse());
    EXPECT_FALSE(panel->pmd()->isReading());
    EXPECT_EQ(fakeHid->written(pmdPath).back(), pmdStopReport);
    EXPECT_FALSE(panel->pmd()->effects());
    // StartUp6's defaults, not the class's 1026 and 1543.
    PMD1208LS::Readings minimum;
    PMD1208LS::Readings maximum;
    minimum.fill(1030.0f);
    maximum.fill(1540.0f);
    EXPECT_EQ(panel->pmd()->minimum(), minimum);
    EXPECT_EQ(panel->pmd()->maximum(), maximum);
    EXPECT_TRUE(panel->siLabs()->isReading());
    EXPECT_EQ(app_test::storedValue("StartUp6"), stored);
}

TEST_F(SettingsControllers, ClosingThePanelEndsBothReadersBeforeTheirUnitsClose) {
    plugUnits();
    storePmd(true, false, 1030.0f, 1540.0f);
    buildActive();
    // The SiLabs reader is blocked in a read that no report will end.
    ASSERT_TRUE(testing_support::eventually([&] { return callCount(std::string("read ") + siLabsPath) >= 1; }));
    ASSERT_TRUE(testing_support::eventually([&] { return callCount(std::string("feature ") + pmdPath) >= 2; }));
    freshWindow();
    EXPECT_EQ(fakeHid->openDevices(), 0);
    EXPECT_EQ(fakeHid->written(pmdPath).back(), pmdStopReport);
    // The last call to each unit is its close: no reader came after it.
    const Calls calls = fakeHid->calls();
    for (const char* path : {siLabsPath, pmdPath}) {
        const std::string suffix = std::string(" ") + path;
        std::string last;
        for (const std::string& call : calls) {
            if (call.size() > suffix.size() && call.compare(call.size() - suffix.size(), suffix.size(), suffix) == 0) {
                last = call;
            }
        }
        EXPECT_EQ(last, "close" + suffix);
    }
}

}  // namespace
