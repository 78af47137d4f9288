// The outside controls end to end: the application on the stepped null
// output and the virtual clock, with the fake MIDI ports and the fake HID
// units, every control reached through Qt's event path (tabs and buttons
// clicked, MIDI input posted to the main window). Deck one plays clicks (a
// 10 kHz burst on every beat over a 110 Hz tone), deck two a 165 Hz tone,
// both at 120 BPM.
//
// In order: the MIDI input switched on and CC 21 pulling the crossfader to
// deck one; Crossfader learned from CC 7 in the map and saved; the clock
// output switched on; the PMD-1208LS calibrated and used, its input 2
// closing deck one's low-pass; then, the PMD out of use again, the SiLabs
// unit's first report moving the crossfader.
#include "AppTestSupport.h"
#include "ToneSongs.h"
#include "app/MixerParameters.h"
#include "app/PMD1208LS.h"
#include "app/PMDSettingsDialog.h"
#include "app/PanelDecks.h"
#include "app/PanelSettings.h"
#include "app/SiLabs.h"
#include "app/VelkarnStartUpValues4.h"
#include "audio/AudioClient.h"
#include "audio/Motor.h"
#include "audio/TrackAudio.h"
#include "framework/GUIButton.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUISlider.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/hid/FakeHid.h"
#include "platform/midi/FakeMidi.h"

#include "Eventually.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <sstream>
#include <vector>

namespace {

namespace input = platform::test_input;
using platform::hid::HidReport;

constexpr std::int32_t period = 2205;   // the default latency's block
constexpr std::size_t capacity = 1200;  // blocks the run may capture
constexpr double toneTwoHz = 165.0;
constexpr const char* midiInput = "Pads";
constexpr const char* midiOutput = "Clock Out";
constexpr const char* siLabsPath = "/dev/fake-hid/silabs";

// The main output's blocks as the application renders them.
class OutputWatch : public AudioClient {
public:
    explicit OutputWatch(Velkarn& app) : app_(app) { left.assign(capacity * period, 0.0f); }
    void render(Motor* device, float** channels, std::int32_t frames) override {
        app_.render(device, channels, frames);
        if (blocks < capacity && frames == period) {
            std::copy(channels[0], channels[0] + frames, left.begin() + static_cast<std::ptrdiff_t>(blocks * period));
            ++blocks;
        }
    }

    std::vector<float> left;
    std::size_t blocks = 0;

private:
    Velkarn& app_;
};

// The Hann-windowed amplitude of frequency f in a stretch (Goertzel).
double amplitudeAt(const std::vector<float>& signal, std::size_t from, std::size_t count, double f) {
    const double w = 2.0 * std::numbers::pi * f / 44100.0;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0, windowSum = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double window =
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (static_cast<double>(i) + 0.5) / static_cast<double>(count));
        windowSum += window;
        const double s0 = window * signal[from + i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2.0 * std::sqrt(std::max(s1 * s1 + s2 * s2 - coefficient * s1 * s2, 0.0)) / windowSum;
}

// The power between 5 and 20 kHz, sampled every 50 Hz.
double powerAbove5k(const std::vector<float>& signal, std::size_t from, std::size_t count) {
    double power = 0.0;
    for (double f = 5000.0; f <= 20000.0; f += 50.0) {
        const double a = amplitudeAt(signal, from, count, f);
        power += a * a;
    }
    return power;
}

double decibels(double ratio) { return 20.0 * std::log10(ratio); }

std::uint32_t controlChange(int controller, int value) {
    return 0xB0u | static_cast<std::uint32_t>(controller) << 8 | static_cast<std::uint32_t>(value) << 16;
}

// A PMD block whose last scan reads the eight inputs.
HidReport pmdBlock(const std::array<int, 8>& inputs) {
    std::array<std::uint16_t, 64> samples;
    samples.fill(0xFFF);
    for (std::size_t c = 0; c < 8; ++c) samples[56 + c] = static_cast<std::uint16_t>(inputs[c]);
    return platform::hid::pmdFeatureReport(samples, false, 1);
}

class ControllerEndToEnd : public app_test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        fakeMidi.emplace();
        fakeMidi->inputs = {{midiInput}};
        fakeMidi->outputs = {{midiOutput}};
        fakeHid.emplace();
        // The SiLabs unit reports only what the test queues; the PMD unit
        // answers each scan request after 2 ms with the current inputs.
        fakeHid->units = {platform::hid::fakeSiLabsUnit(), platform::hid::fakePmdUnit(1284, 2)};
        fakeHid->units[1].feature = [this](int) {
            std::lock_guard lock(inputsMutex);
            return pmdBlock(pmdInputs);
        };
    }
    void TearDown() override {
        stop();
        fakeHid.reset();
        fakeMidi.reset();
        AppTest::TearDown();
    }

    void setPmdInputs(const std::array<int, 8>& inputs) {
        std::lock_guard lock(inputsMutex);
        pmdInputs = inputs;
    }

    platform::WindowHandle handle() { return application->mainWindow()->handle(); }
    void click(GUIComponent* component) {
        ASSERT_TRUE(input::click(handle(), {(component->x0 + component->x1) / 2, (component->y0 + component->y1) / 2}));
    }
    // A tab of the function band (six across), then for the settings a
    // page of its own band.
    void chooseFunction(int index) { ASSERT_TRUE(input::click(handle(), {10 + 800 * (2 * index + 1) / 12, 460})); }
    void chooseSettingsPage(int page) {
        const GUIRectangle& r = *application->panelSettings()->subPanels();
        const int width = r.x1 - r.x0 + 1;
        ASSERT_TRUE(input::click(handle(), {r.x0 + (width * page + width / 2) / PanelSettings::subPanelCount, r.y0 + 10}));
        ASSERT_EQ(application->panelSettings()->subPanels()->selectedIndex(), page);
    }

    // One period of the output and what it posted; the display refresh
    // only when asked.
    void step(bool refresh = false) {
        stepMainOutput();
        if (refresh) application->windowTimer(application->mainWindow());
    }
    void steps(int count) {
        for (int i = 0; i < count; ++i) step();
    }
    float crossfaderShown() { return application->panelDecks()->slider(PanelDecks::crossfader)->value(); }
    float crossfader() { return application->mixerParameters()->position(MixerParameters::crossfader); }

    // The capture's level of the 165 Hz tone over the last n blocks.
    double toneTwoLevel(std::size_t n) {
        return amplitudeAt(watch->left, (watch->blocks - n) * period, n * period, toneTwoHz);
    }

    std::optional<platform::midi::FakeMidi> fakeMidi;
    std::optional<platform::hid::FakeHid> fakeHid;
    std::mutex inputsMutex;
    std::array<int, 8> pmdInputs{1284, 1284, 1284, 1284, 1284, 1284, 1284, 1284};
    std::unique_ptr<OutputWatch> watch;
};

TEST_F(ControllerEndToEnd, MidiMapClockPmdAndSiLabsMoveTheMix) {
    const std::string songs = home->path() + "/songs";
    std::filesystem::create_directories(songs);
    ToneSongSpec clicks;
    clicks.seconds = 40.0;
    clicks.toneAmplitude = 0.1;
    clicks.markerHz = 10000.0;
    clicks.markerMs = 10.0;
    clicks.markerAmplitude = 0.3;
    ToneSongSpec tone;
    tone.seconds = 40.0;
    tone.toneHz = toneTwoHz;
    tone.toneAmplitude = 0.3;
    tone.markerAmplitude = 0.0;
    const ToneSong one = writeToneSong(songs, "clicks", clicks);
    const ToneSong two = writeToneSong(songs, "tone", tone);

    Velkarn& app = start();
    PanelSettings& settings = *app.panelSettings();
    watch = std::make_unique<OutputWatch>(app);
    app.output(0)->setClient(watch.get());
    const int beat = app.nextEditableBeat() + 1;
    ASSERT_TRUE(app.dropSong(0, one.path, beat));
    ASSERT_TRUE(app.dropSong(1, two.path, beat));
    while (app.currentSampleTime() < app.beatAt(beat).position + 44100) step();

    // The crossfader in the middle: both decks sound.
    ASSERT_EQ(crossfader(), 0.5f);
    steps(8);
    const double toneTwoBoth = toneTwoLevel(8);
    ASSERT_GT(toneTwoBoth, 0.02);

    // 1. The MIDI tab, on; CC 21 (map entry 1, the crossfader) at 0.
    chooseFunction(5);
    chooseSettingsPage(PanelSettings::midi);
    click(settings.midiOnButton());
    ASSERT_NE(settings.midiIn(), nullptr);
    ASSERT_EQ(fakeMidi->inject(midiInput, controlChange(21, 0)), 1);
    step();
    EXPECT_EQ(crossfader(), 0.0f);
    EXPECT_EQ(crossfaderShown(), 0.5f);  // the panel follows at the refresh
    step(true);
    EXPECT_EQ(crossfaderShown(), 0.0f);
    steps(2);  // past the block the change fell in
    steps(8);
    const double toneTwoAfter = toneTwoLevel(8);
    EXPECT_LE(decibels(toneTwoAfter / toneTwoBoth), -40.0)
        << "165 Hz at " << toneTwoBoth << " then " << toneTwoAfter;

    // 2. The map: Crossfader learned from CC 7, then OK.
    std::string learned;
    platform::uiScript::setDialogResponder(PanelSettings::mapDialog, [&](platform::Dialog& dialog) {
        dialog.setChecked(PanelSettings::mapLearnRadios[1], true);
        fakeMidi->inject(midiInput, controlChange(7, 64));
        platform::dispatchPostedMessages();
        learned = dialog.text(PanelSettings::mapEdits[1], 32);
        dialog.press(platform::okButton);
    });
    click(settings.mapButton());
    EXPECT_EQ(learned, "7");
    EXPECT_EQ(settings.controllerMap()[1], 7);
    EXPECT_EQ(crossfader(), 0.0f);  // learning moved nothing
    fakeMidi->inject(midiInput, controlChange(21, 127));
    step();
    EXPECT_EQ(crossfader(), 0.0f);  // CC 21 is no longer mapped
    fakeMidi->inject(midiInput, controlChange(7, 127));
    step(true);
    EXPECT_EQ(crossfader(), 1.0f);
    EXPECT_EQ(crossfaderShown(), 1.0f);
    click(settings.saveButton());
    ASSERT_TRUE(app_test::storedValue("StartUp4"));
    VelkarnStartUpValues4 saved;
    saved.load();
    EXPECT_EQ(saved.controllerNumbers[1], 7);
    // Back to deck one only for what follows.
    fakeMidi->inject(midiInput, controlChange(7, 0));
    step(true);
    ASSERT_EQ(crossfader(), 0.0f);

    // 3. The clock: 0xF8 every 21 ms of virtual time at 120 BPM.
    click(settings.generateClockButton());
    ASSERT_NE(settings.midiOut(), nullptr);
    fakeMidi->clearSent();
    steps(20);
    std::vector<std::int64_t> pulses;
    for (const platform::midi::FakeMidiSent& sent : fakeMidi->sent()) {
        if (sent.bytes == std::vector<std::uint8_t>{0xF8}) pulses.push_back(sent.timeNs);
    }
    ASSERT_GE(pulses.size(), 40u);  // a second of pulses
    for (std::size_t i = 1; i < pulses.size(); ++i) EXPECT_EQ(pulses[i] - pulses[i - 1], 21'000'000) << "pulse " << i;

    // 4. "PMD Settings": use the unit, calibrate at 1000 and 2000, OK.
    // Deck one's clicks above 5 kHz first, over a second.
    steps(20);
    const double clicksOpen = powerAbove5k(watch->left, (watch->blocks - 20) * period, 20 * period);
    chooseSettingsPage(PanelSettings::various);
    platform::uiScript::setDialogResponder(PMDSettingsDialog::templateId, [&](platform::Dialog& dialog) {
        dialog.setChecked(PMDSettingsDialog::useCheck, true);
        setPmdInputs({1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000});
        dialog.press(PMDSettingsDialog::minimumButton);
        setPmdInputs({2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000});
        dialog.press(PMDSettingsDialog::maximumButton);
        // Input 2 (deck one's low-pass) half way; the others where the mix
        // already is: crossfader on deck one, high-passes open, low-pass two
        // open, gains at 1.
        setPmdInputs({1000, 1000, 1500, 1000, 1000, 2000, 1000, 1000});
        dialog.press(platform::okButton);
    });
    click(settings.pmdButton());
    ASSERT_TRUE(settings.isPmdInUse());
    ASSERT_TRUE(settings.pmd()->isReading());
    std::istringstream reference(testing_support::runPython("app/mixer_reference.py", {}));
    double half = 0.0;
    for (std::string word; reference >> word;) {
        if (word == "half") reference >> half;
    }
    ASSERT_NEAR(half, 1668.3, 0.1);
    MixerParameters& mixer = *app.mixerParameters();
    EXPECT_TRUE(testing_support::eventually([&] { return mixer.position(MixerParameters::deck0UpperCutoff) == 0.5f; }));
    EXPECT_NEAR(mixer.value(MixerParameters::deck0UpperCutoff), half, half * 4e-7);
    EXPECT_EQ(crossfader(), 0.0f);
    steps(4);
    steps(20);
    const double clicksClosed = powerAbove5k(watch->left, (watch->blocks - 20) * period, 20 * period);
    EXPECT_LE(decibels(std::sqrt(clicksClosed / clicksOpen)), -20.0)
        << "above 5 kHz: " << clicksOpen << " then " << clicksClosed;

    // 5. The PMD out of use again (its reader stops); the SiLabs unit's
    // first report, value 7 at 1023, moves the crossfader to deck two.
    platform::uiScript::setDialogResponder(PMDSettingsDialog::templateId, [](platform::Dialog& dialog) {
        dialog.setChecked(PMDSettingsDialog::useCheck, false);
        dialog.press(platform::okButton);
    });
    click(settings.pmdButton());
    ASSERT_FALSE(settings.pmd()->isReading());
    ASSERT_TRUE(settings.siLabs()->isReading());
    auto siLabsReads = [&] {
        const auto calls = fakeHid->calls();
        return std::count(calls.begin(), calls.end(), std::string("read ") + siLabsPath);
    };
    ASSERT_TRUE(testing_support::eventually([&] { return siLabsReads() >= 1; }));
    EXPECT_EQ(crossfader(), 0.0f);
    std::array<std::uint16_t, 16> values{};
    values[SiLabs::crossfaderValue] = 1023;
    fakeHid->queueInput(siLabsPath, platform::hid::siLabsReport(values));
    EXPECT_TRUE(testing_support::eventually([&] { return crossfader() == 1.0f; }));
    step(true);
    EXPECT_EQ(crossfaderShown(), 1.0f);
    steps(10);
    EXPECT_GT(toneTwoLevel(8), 0.5 * toneTwoBoth);  // deck two sounds again

    EXPECT_TRUE(app_test::boxes().empty());
    ASSERT_LT(watch->blocks, capacity);
}

}  // namespace
