// The scope's controls driven through the toolkit's input events on the
// virtual clock: buttons, the frequency sliders that keep their order, the
// slider throttle, the tabs and the about button.
#include "ScopeTestSupport.h"

#include "framework/GUIButton.h"
#include "framework/GUIIndicator.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/TestInput.h"
#include "scope/GUINote.h"

#include <cstdio>

namespace {

namespace input = platform::test_input;
using scope_test::ScopeTest;

platform::Point centreOf(const GUIComponent* component) {
    return {(component->x0 + component->x1) / 2, (component->y0 + component->y1) / 2};
}

// Shows the tab's panel: a click in the band's tab.
void chooseTab(Scope& scope, int index) {
    GUIPanelGroupHorizontal* group = scope.panelGroup();
    const int width = group->x1 - group->x0 + 1;
    const int x = group->x0 + width * index / 4 + width / 8;
    ASSERT_TRUE(input::click(scope.controlWindow()->handle(), {x, group->y0 + 10}));
    ASSERT_EQ(group->selectedIndex(), index);
}

void clickButton(Scope& scope, GUIButton* button) {
    ASSERT_TRUE(input::click(scope.controlWindow()->handle(), centreOf(button)));
}

TEST_F(ScopeTest, TheTabBandSelectsEachOfTheFourPanels) {
    Scope& scope = open();
    for (int index : {1, 2, 3, 0, 2}) chooseTab(scope, index);
}

TEST_F(ScopeTest, EachButtonActsOnItsPressAndItsRelease) {
    Scope& scope = open();
    struct State {
        bool running, triggered, spectrum, lostEnabled, frequencyLit, noteShown;
    };
    auto state = [&] {
        return State{scope.isRunning(), scope.isTriggered(), scope.isSpectrumMode(),
                     scope.triggerLostIndicator()->isEnabled(), scope.frequencyIndicator()->isOn(),
                     scope.noteReadOut()->isVisible()};
    };
    auto same = [](const State& a, const State& b) {
        return a.running == b.running && a.triggered == b.triggered && a.spectrum == b.spectrum &&
               a.lostEnabled == b.lostEnabled && a.frequencyLit == b.frequencyLit && a.noteShown == b.noteShown;
    };
    const State initial = state();
    EXPECT_TRUE(initial.running);
    EXPECT_TRUE(scope.runningIndicator()->isOn());
    EXPECT_FALSE(initial.triggered || initial.spectrum || initial.noteShown);

    const struct {
        const char* name;
        int tab;  // -1: on the window itself
        GUIButton* (Scope::*button)() const;
        bool updatesOnPress;
        State pressed;
        State released;
    } cases[] = {
        {"run", -1, &Scope::runButton, false, {true, false, false, false, false, false},
         {false, false, false, false, false, false}},
        {"trigger", -1, &Scope::triggerButton, true, {true, true, false, true, false, false},
         {true, false, false, false, false, false}},
        {"frequency", -1, &Scope::frequencyButton, true, {true, false, true, false, true, false},
         {true, false, false, false, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GUIButton* button = (scope.*c.button)();
        // The run button starts down: up first, then down and up again.
        if (button->isDown()) clickButton(scope, button);
        const int updates = scope.updateCount();
        clickButton(scope, button);
        EXPECT_TRUE(button->isDown());
        EXPECT_TRUE(same(state(), c.pressed) || c.button == &Scope::runButton);
        EXPECT_GE(scope.updateCount() - updates, c.updatesOnPress ? 1 : 0);
        clickButton(scope, button);
        EXPECT_FALSE(button->isDown());
        EXPECT_EQ(state().running, c.released.running);
        EXPECT_EQ(state().triggered, c.released.triggered);
        EXPECT_EQ(state().spectrum, c.released.spectrum);
        EXPECT_EQ(state().lostEnabled, c.released.lostEnabled);
        EXPECT_EQ(state().frequencyLit, c.released.frequencyLit);
        if (c.button == &Scope::runButton) {
            EXPECT_FALSE(scope.runningIndicator()->isOn());
            clickButton(scope, button);
            EXPECT_TRUE(scope.isRunning());
            EXPECT_TRUE(scope.runningIndicator()->isOn());
        }
    }

    // labelMax shows the note read-outs only in spectrum mode.
    chooseTab(scope, 1);
    clickButton(scope, scope.labelMaxButton());
    EXPECT_FALSE(scope.noteReadOut()->isVisible());
    clickButton(scope, scope.frequencyButton());
    EXPECT_TRUE(scope.noteReadOut()->isVisible());
    EXPECT_TRUE(scope.frequencyReadOut()->isVisible());
    int updates = scope.updateCount();
    clickButton(scope, scope.logFreqScaleButton());
    EXPECT_EQ(scope.updateCount(), updates + 1);
    clickButton(scope, scope.labelMaxButton());
    EXPECT_FALSE(scope.noteReadOut()->isVisible());
    EXPECT_FALSE(scope.frequencyReadOut()->isVisible());
    clickButton(scope, scope.frequencyButton());
    updates = scope.updateCount();
    clickButton(scope, scope.logFreqScaleButton());
    EXPECT_EQ(scope.updateCount(), updates) << "the log scale redraws only the spectrum";
}

TEST_F(ScopeTest, TheFrequencySlidersDragEachOtherAlong) {
    Scope& scope = open();
    GUINumberSlider* low = scope.lowFrequencySlider();
    GUINumberSlider* high = scope.highFrequencySlider();
    const struct {
        const char* name;
        bool moveLow;
        float value;
        float low;
        float high;
    } cases[] = {
        {"low below high stays alone", true, 1000.0f, 1000.0f, 22050.0f},
        {"high above low stays alone", false, 5000.0f, 1000.0f, 5000.0f},
        {"low above high drags high up", true, 8000.0f, 8000.0f, 8000.0f},
        {"high below low drags low down", false, 300.0f, 300.0f, 300.0f},
        {"high up again leaves low", false, 20000.0f, 300.0f, 20000.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GUINumberSlider* moved = c.moveLow ? low : high;
        moved->setValue(c.value);
        moved->notifyListener();
        EXPECT_EQ(low->value(), c.low);
        EXPECT_EQ(high->value(), c.high);
    }
}

TEST_F(ScopeTest, SliderChangesCloserThanTheirSpacingUpdateOnce) {
    Scope& scope = open();
    platform::VirtualClock::advance(1000);
    GUINumberSlider* span = scope.timeSpanSlider();
    const struct {
        std::uint64_t afterMs;
        int updates;
    } steps[] = {{0, 1}, {50, 0}, {50, 0}, {1, 1}, {100, 0}, {500, 1}};
    for (const auto& step : steps) {
        platform::VirtualClock::advance(step.afterMs);
        const int before = scope.updateCount();
        span->setValue(span->value() + 1.0f);
        span->notifyListener();
        EXPECT_EQ(scope.updateCount() - before, step.updates) << "after " << step.afterMs << " ms";
    }
    // Gain and refresh act only through their values.
    const int before = scope.updateCount();
    platform::VirtualClock::advance(500);
    scope.gainSlider()->notifyListener();
    scope.refreshIntervalSlider()->notifyListener();
    scope.triggerLevelSlider()->notifyListener();
    EXPECT_EQ(scope.updateCount(), before);
}

TEST_F(ScopeTest, TheStartUpButtonStoresTheControlsAsTheRecord) {
    Scope& scope = open();
    // Controls away from their defaults.
    clickButton(scope, scope.triggerButton());
    clickButton(scope, scope.frequencyButton());
    scope.timeSpanSlider()->setValue(123.0f);
    scope.gainSlider()->setValue(250.0f);
    scope.triggerLevelSlider()->setValue(35.0f);
    scope.refreshIntervalSlider()->setValue(80.0f);
    scope.lowFrequencySlider()->setValue(55.0f);
    scope.highFrequencySlider()->setValue(9000.0f);
    chooseTab(scope, 1);
    clickButton(scope, scope.logFreqScaleButton());
    clickButton(scope, scope.labelMaxButton());
    chooseTab(scope, 2);
    clickButton(scope, scope.startUpButton());

    const std::vector<float> values{1.0f, 1.0f, 1.0f, 123.0f, 250.0f, 35.0f, 80.0f, 55.0f, 9000.0f, 0.0f, 1.0f};
    std::vector<std::string> arguments;
    for (float value : values) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
        arguments.push_back(text);
    }
    const std::string hex = testing_support::runPython("scope/scope_settings.py", arguments);

    namespace registry = platform::registry;
    registry::Key key = 0;
    bool created = false;
    ASSERT_EQ(registry::createKey(registry::currentUser, "Software\\Pelgrave Software\\Scope\\1", key, created),
              registry::success);
    std::uint32_t type = 0;
    std::uint8_t bytes[64] = {};
    std::uint32_t size = sizeof bytes;
    const int read = registry::queryValue(key, "StartUp", &type, bytes, &size);
    registry::closeKey(key);
    ASSERT_EQ(read, registry::success);
    EXPECT_EQ(size, 44u);
    std::string stored;
    for (std::uint32_t i = 0; i < size; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        stored += pair;
    }
    EXPECT_EQ(stored + "\n", hex);

    // The next scope starts from them.
    this->scope.reset();  // the fixture's scope, closed
    Scope& again = open();
    EXPECT_TRUE(again.isTriggered());
    EXPECT_TRUE(again.isSpectrumMode());
    EXPECT_EQ(again.timeSpanSlider()->value(), 123.0f);
    EXPECT_EQ(again.highFrequencySlider()->value(), 9000.0f);
    EXPECT_FALSE(again.logFreqScaleButton()->isDown());
    EXPECT_TRUE(again.labelMaxButton()->isDown());
}

TEST_F(ScopeTest, TheAboutButtonOpensTheHomePage) {
    testing_support::TemporaryDirectory bin;
    testing_support::writeScript(bin.file("xdg-open"), "printf '%s\\n' \"$@\" > '" + bin.file("opened") + "'\n");
    testing_support::ScopedEnvironment path("PATH", bin.path() + ":/bin");
    Scope& scope = open();
    chooseTab(scope, 3);
    clickButton(scope, scope.aboutButton());
    platform::waitForShellOpeners();
    EXPECT_EQ(testing_support::readFile(bin.file("opened")), std::string(velkarnHomePage) + "\n");
    EXPECT_FALSE(scope.aboutButton()->isDown());
}

}  // namespace
