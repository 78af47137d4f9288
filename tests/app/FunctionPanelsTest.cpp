// The mixer and effect panels on a window of their own, over a recording
// application interface, used through Qt's event path: knobs dragged,
// toggles and tabs clicked; then the mixer parameters, the application
// calls and the values the render path reads.
#include "AppTestSupport.h"
#include "RecordingApplication.h"

#include "app/NumberButtonGroup.h"
#include "app/PanelDecks.h"
#include "app/PanelEffects.h"
#include "framework/GUIBar.h"
#include "framework/GUIButton.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUISlider.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUITextHorizontal.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/Image.h"
#include "framework/Surface.h"
#include "framework/Window.h"
#include "platform/TestInput.h"

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace input = platform::test_input;

namespace {

using Calls = std::vector<std::string>;

platform::Point centre(const GUIRectangle& r) { return {(r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2}; }

class FunctionPanels : public app_test::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        WindowParameters parameters;
        parameters.backgroundKey = "velkarn/background/main";
        parameters.title = "Panels";
        window = std::make_unique<Window>(parameters);
        app.window = window.get();
        group = new GUIPanelGroupHorizontal(2, 30, nullptr);
        window->add(group);
        decks = new PanelDecks(group, &app);
        effects = new PanelEffects(group, &app);
        decks->refresh();
        effects->refresh();
        app.take();
    }

    void TearDown() override {
        window.reset();
        AppTest::TearDown();
    }

    void click(GUIComponent* component) { ASSERT_TRUE(input::click(window->handle(), centre(*component))); }

    // The knob pressed at its centre, moved by (dx, dy) in steps, released.
    void dragKnob(GUISlider* slider, int dx, int dy) {
        const platform::Point from = centre(slider->knobRectangle());
        ASSERT_TRUE(input::press(window->handle(), from));
        for (int i = 1; i <= 4; ++i) {
            ASSERT_TRUE(input::move(window->handle(), {from.x + dx * i / 4, from.y + dy * i / 4}));
        }
        ASSERT_TRUE(input::release(window->handle(), {from.x + dx, from.y + dy}));
    }

    std::array<float, MixerParameters::count> positions() const {
        std::array<float, MixerParameters::count> all{};
        for (int i = 0; i < MixerParameters::count; ++i) all[static_cast<std::size_t>(i)] = app.mixer.position(i);
        return all;
    }

    // The bar's columns coloured (not white), as a string of '#' and '.'.
    static std::string bandColumns(const GUIBar& bar) {
        std::string columns;
        for (int x = 0; x < bar.image().width(); ++x) {
            const Color c = bar.image().getPixel(x, 0);
            columns += c.red == 255 && c.green == 255 && c.blue == 255 ? '.' : '#';
        }
        return columns;
    }

    RecordingApplication app;
    std::unique_ptr<Window> window;
    GUIPanelGroupHorizontal* group = nullptr;
    PanelDecks* decks = nullptr;
    PanelEffects* effects = nullptr;
};

TEST_F(FunctionPanels, EachSliderSetsItsOwnMixerParameter) {
    const char* names[] = {"crossfader", "high-pass 1", "low-pass 1", "high-pass 2", "low-pass 2",
                           "effect 1",   "effect 2",    "gain 1",     "gain 2"};
    const std::array<int, PanelDecks::sliderCount> expected{
        MixerParameters::crossfader,       MixerParameters::deck0LowerCutoff, MixerParameters::deck0UpperCutoff,
        MixerParameters::deck1LowerCutoff, MixerParameters::deck1UpperCutoff, MixerParameters::deck0EffectLevel,
        MixerParameters::deck1EffectLevel, MixerParameters::deck0Gain,        MixerParameters::deck1Gain};
    for (int i = 0; i < PanelDecks::sliderCount; ++i) {
        SCOPED_TRACE(names[i]);
        GUISlider* slider = decks->slider(i);
        const int parameter = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(slider->value(), app.mixer.position(parameter));
        // Towards the middle, so the knob has room; filters stay apart.
        const bool vertical = slider->y1 - slider->y0 > 60;
        const int away = slider->value() > 0.5f ? -30 : 30;
        const auto before = positions();
        dragKnob(slider, vertical ? 0 : away, vertical ? -away : 0);
        const auto after = positions();
        EXPECT_NE(after[static_cast<std::size_t>(parameter)], before[static_cast<std::size_t>(parameter)]);
        EXPECT_EQ(after[static_cast<std::size_t>(parameter)], slider->value());
        for (int k = 0; k < MixerParameters::count; ++k) {
            if (k != parameter) {
                EXPECT_EQ(after[static_cast<std::size_t>(k)], before[static_cast<std::size_t>(k)]) << k;
            }
        }
    }
    EXPECT_EQ(app.take(), Calls{});
}

TEST_F(FunctionPanels, ADecksFilterKnobsPushEachOtherAndTheBandBarFollows) {
    for (int deck = 0; deck < 2; ++deck) {
        SCOPED_TRACE(deck);
        GUISlider* high = decks->slider(deck == 0 ? PanelDecks::highPass0 : PanelDecks::highPass1);
        GUISlider* low = decks->slider(deck == 0 ? PanelDecks::lowPass0 : PanelDecks::lowPass1);
        const int highParameter = deck == 0 ? MixerParameters::deck0LowerCutoff : MixerParameters::deck1LowerCutoff;
        const int lowParameter = deck == 0 ? MixerParameters::deck0UpperCutoff : MixerParameters::deck1UpperCutoff;
        // The band from 0.2 to 0.6 (set as a drag would set it).
        high->setValue(0.2f);
        high->notifyListener();
        low->setValue(0.6f);
        low->notifyListener();
        // Coloured from 0.2 to 0.6 of its 130 columns, white around.
        const std::string band = bandColumns(*decks->bandBar(deck));
        EXPECT_EQ(band.find('#'), 26u) << band;
        EXPECT_NEAR(static_cast<double>(band.rfind('#')), 77.5, 0.5) << band;
        EXPECT_EQ(band.find('.', 26), band.rfind('#') + 1) << band;

        // The high-pass dragged far right takes the low-pass with it.
        dragKnob(high, 400, 0);
        EXPECT_EQ(high->value(), 1.0f);
        EXPECT_EQ(low->value(), 1.0f);
        EXPECT_EQ(app.mixer.position(lowParameter), 1.0f);
        EXPECT_EQ(bandColumns(*decks->bandBar(deck)).find('#'), 129u);
        // The low-pass dragged far left takes the high-pass with it.
        dragKnob(low, -400, 0);
        EXPECT_EQ(low->value(), 0.0f);
        EXPECT_EQ(high->value(), 0.0f);
        EXPECT_EQ(app.mixer.position(highParameter), 0.0f);
        // Apart again: dragging one no longer moves the other.
        dragKnob(low, 60, 0);
        EXPECT_GT(low->value(), 0.3f);
        EXPECT_EQ(high->value(), 0.0f);
        EXPECT_EQ(app.mixer.position(highParameter), 0.0f);
    }
}

TEST_F(FunctionPanels, AtMostOneEffectPerDeckIsOnAndEveryChangeReachesTheApplication) {
    struct Click {
        int deck;
        int effect;
        Calls calls;
        std::array<const char*, 2> on;  // per deck: "d", "f", "r" or "-"
    };
    const std::vector<Click> clicks{
        {0, PanelDecks::delay, {"enableDelay 0"}, {"d", "-"}},
        {1, PanelDecks::flanger, {"enableFlanger 1"}, {"d", "f"}},
        {0, PanelDecks::reverb, {"disableDelay 0", "enableReverb 0"}, {"r", "f"}},
        {0, PanelDecks::flanger, {"disableReverb 0", "enableFlanger 0"}, {"f", "f"}},
        {0, PanelDecks::flanger, {"disableFlanger 0"}, {"-", "f"}},
        {1, PanelDecks::delay, {"disableFlanger 1", "enableDelay 1"}, {"-", "d"}},
        {1, PanelDecks::delay, {"disableDelay 1"}, {"-", "-"}},
    };
    const char letters[] = {'d', 'f', 'r'};
    for (std::size_t i = 0; i < clicks.size(); ++i) {
        const Click& c = clicks[i];
        SCOPED_TRACE(i);
        click(decks->effectButton(c.deck, c.effect));
        EXPECT_EQ(app.take(), c.calls);
        for (int d = 0; d < 2; ++d) {
            std::string on = "-";
            for (int e = 0; e < 3; ++e) {
                if (decks->effectButton(d, e)->isDown()) on = on == "-" ? std::string(1, letters[e]) : on + letters[e];
            }
            EXPECT_EQ(on, c.on[static_cast<std::size_t>(d)]) << "deck " << d;
        }
    }
}

TEST_F(FunctionPanels, CueTogglesExcludeEachOtherAndKeyLockSetsTheRenderFlag) {
    struct Step {
        GUIButton* button;
        int cueDeck;
        Calls calls;
    };
    const std::vector<Step> steps{
        {decks->cueButton(0), 0, {}},
        {decks->cueButton(1), 1, {}},
        {decks->cueButton(0), 0, {}},
        {decks->cueButton(0), -1, {}},
        {decks->keyLockButton(), -1, {"setRenderFlag true"}},
        {decks->keyLockButton(), -1, {"setRenderFlag false"}},
    };
    EXPECT_EQ(decks->cueDeck(), -1);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        click(steps[i].button);
        EXPECT_EQ(decks->cueDeck(), steps[i].cueDeck);
        EXPECT_FALSE(decks->cueButton(0)->isDown() && decks->cueButton(1)->isDown());
        EXPECT_EQ(app.take(), steps[i].calls);
    }
    EXPECT_FALSE(decks->isKeyLock());
    click(decks->keyLockButton());
    EXPECT_TRUE(decks->isKeyLock());
}

TEST_F(FunctionPanels, SyncingFromTheMixerMovesOnlyChangedSlidersAndNotifiesNothing) {
    // Deck two's band from 0.3 to 0.5 on screen.
    decks->slider(PanelDecks::highPass1)->setValue(0.3f);
    decks->slider(PanelDecks::highPass1)->notifyListener();
    decks->slider(PanelDecks::lowPass1)->setValue(0.5f);
    decks->slider(PanelDecks::lowPass1)->notifyListener();
    // A controller moves the crossfader and lifts deck two's high-pass above
    // its low-pass: the sync shows that as it is, with no push.
    app.mixer.setPosition(MixerParameters::crossfader, 0.8f);
    app.mixer.setPosition(MixerParameters::deck1LowerCutoff, 0.7f);
    const auto before = positions();
    decks->syncFromMixer(app.mixer);
    EXPECT_EQ(positions(), before);
    EXPECT_EQ(decks->slider(PanelDecks::crossfader)->value(), 0.8f);
    EXPECT_EQ(decks->slider(PanelDecks::highPass1)->value(), 0.7f);
    EXPECT_EQ(decks->slider(PanelDecks::lowPass1)->value(), 0.5f);
    // The bar shows no band (its ends are crossed), deck one's is as it was.
    EXPECT_EQ(bandColumns(*decks->bandBar(1)), std::string(130, '.'));
    EXPECT_EQ(app.take(), Calls{});
}

TEST_F(FunctionPanels, TextsAndTempoDisplaysChangeOnlyWhenTheirValuesDo) {
    decks->setSongText(0, "First Song");
    decks->setDeckNumber(1, 12);
    decks->setDeckNumber(0, 0);
    decks->setDeckTempos(128.4f, 90.0f);
    decks->setCommonTempo(125.0f);
    EXPECT_EQ(decks->songText(0)->text(), "First Song");
    EXPECT_EQ(decks->songText(1)->text(), "");
    EXPECT_EQ(decks->deckNumberText(1)->text(), "12");
    EXPECT_EQ(decks->deckNumberText(0)->text(), "");
    decks->setDeckNumber(1, 0);
    EXPECT_EQ(decks->deckNumberText(1)->text(), "");
    EXPECT_EQ(decks->tempoNumber(0)->value(), 128.4f);
    EXPECT_EQ(decks->tempoNumber(1)->value(), 90.0f);
    EXPECT_EQ(decks->tempoNumber(2)->value(), 125.0f);
}

TEST_F(FunctionPanels, AHiddenOverlayLeavesThePanelVisibleBelow) {
    // A spot of the overlay that no control covers.
    const int x = 420;
    const int y = 630;
    window->redraw(GUIRectangle(0, 0, window->width() - 1, window->height() - 1));
    const Color shown = window->surface()->backImage().getPixel(x, y);
    decks->hideOverlay();
    EXPECT_FALSE(decks->isOverlayShown());
    const Color hidden = window->surface()->backImage().getPixel(x, y);
    EXPECT_TRUE(shown.differs(hidden));
    decks->showOverlay();
    EXPECT_TRUE(decks->isOverlayShown());
    EXPECT_FALSE(window->surface()->backImage().getPixel(x, y).differs(shown));
}

// ---- Effects ---------------------------------------------------------------

class EffectPanels : public FunctionPanels {
protected:
    void SetUp() override {
        FunctionPanels::SetUp();
        ASSERT_TRUE(input::click(window->handle(), {610, 460}));  // the effects tab
        ASSERT_EQ(group->selectedIndex(), 1);
    }

    // The sub-panel tab k (delay, flanger, reverb) of a deck.
    void chooseSubPanel(int deck, int k) {
        const int left = deck == 0 ? 20 : 448;
        ASSERT_TRUE(input::click(window->handle(), {left + 60 + 120 * k, 505}));
        ASSERT_EQ(effects->deckGroup(deck)->selectedIndex(), k);
    }
};

TEST_F(EffectPanels, TheFreshPanelAnswersTheFirstLengthsNoAmountAndAMediumRoom) {
    float a[2];
    float b[2];
    effects->delayTimes(a, 0.5f);
    EXPECT_EQ(a[0], 0.125f);  // a quarter beat
    EXPECT_EQ(a[1], 0.125f);
    effects->flangerRates(b, 0.5f);
    EXPECT_FLOAT_EQ(b[0], 8.0f);  // 1 / (4^-1 x 0.5)
    EXPECT_FLOAT_EQ(b[1], 8.0f);
    effects->delayAmounts(a);
    effects->flangerAmounts(b);
    EXPECT_EQ(a[0] + a[1] + b[0] + b[1], 0.0f);
    effects->reverbSizes(a);
    EXPECT_EQ(a[0], 1.0f);
    EXPECT_EQ(a[1], 1.0f);
}

TEST_F(EffectPanels, ClickedLengthsDTogglesAndRoomsGiveTheRenderValues) {
    struct Case {
        const char* name;
        std::function<void()> act;
        std::function<void(float*)> read;  // with x = 0.5 where it applies
        std::array<float, 2> expected;
    };
    const float x = 0.5f;
    const std::vector<Case> cases{
        {"delay 1 beat with D on deck one",
         [&] {
             chooseSubPanel(0, 0);
             click(effects->lengths(0, PanelEffects::delay).button(2));
             click(effects->dottedButton(0, PanelEffects::delay));
         },
         [&](float* v) { effects->delayTimes(v, x); }, {1.5f * x, 0.25f * x}},
        {"delay 8 beats on deck two, D up again on deck one",
         [&] {
             chooseSubPanel(1, 0);
             click(effects->lengths(1, PanelEffects::delay).button(5));
             click(effects->dottedButton(0, PanelEffects::delay));
         },
         [&](float* v) { effects->delayTimes(v, x); }, {1.0f * x, 8.0f * x}},
        {"flanger 4 with D up, 256 with D down",
         [&] {
             chooseSubPanel(0, 1);
             chooseSubPanel(1, 1);
             click(effects->lengths(0, PanelEffects::flanger).button(2));
             click(effects->lengths(1, PanelEffects::flanger).button(5));
             click(effects->dottedButton(1, PanelEffects::flanger));
         },
         [&](float* v) { effects->flangerRates(v, x); }, {1.0f / (4.0f * x), 1.0f / (256.0f * 1.5f * x)}},
        {"rooms",
         [&] {
             chooseSubPanel(0, 2);
             chooseSubPanel(1, 2);
             click(effects->reverbButton(0, 0));
             click(effects->reverbButton(1, 2));
         },
         [&](float* v) { effects->reverbSizes(v); }, {0.5f, 1.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        float values[2] = {-1, -1};
        c.read(values);
        EXPECT_FLOAT_EQ(values[0], c.expected[0]);
        EXPECT_FLOAT_EQ(values[1], c.expected[1]);
    }
    EXPECT_EQ(app.take(), Calls{});
}

TEST_F(EffectPanels, TheAmountKnobsGiveHundredthsOfTheirDisplayedValue) {
    chooseSubPanel(0, 0);
    chooseSubPanel(1, 1);
    dragKnob(effects->amountSlider(0, PanelEffects::delay)->slider(), 300, 0);
    dragKnob(effects->amountSlider(1, PanelEffects::flanger)->slider(), 60, 0);
    float delay[2];
    float flanger[2];
    effects->delayAmounts(delay);
    effects->flangerAmounts(flanger);
    EXPECT_FLOAT_EQ(delay[0], 1.0f);
    EXPECT_EQ(delay[1], 0.0f);
    EXPECT_EQ(flanger[0], 0.0f);
    const float shown = effects->amountSlider(1, PanelEffects::flanger)->display()->value();
    EXPECT_GT(shown, 10.0f);
    EXPECT_LT(shown, 90.0f);
    EXPECT_FLOAT_EQ(flanger[1], shown * 0.01f);
}

TEST_F(EffectPanels, AProgrammaticChoiceMovesTheControlsAndTheValues) {
    PanelEffects::DeckChoice choice;
    choice.delayIndex = 3;
    choice.delayDotted = true;
    choice.delaySlider = 40.0f;
    choice.reverbIndex = 0;
    effects->setChoice(1, choice);
    EXPECT_EQ(effects->lengths(1, PanelEffects::delay).selectedIndex(), 3);
    EXPECT_TRUE(effects->dottedButton(1, PanelEffects::delay)->isDown());
    EXPECT_TRUE(effects->reverbButton(1, 0)->isDown());
    EXPECT_FALSE(effects->reverbButton(1, 1)->isDown());
    float v[2];
    effects->delayTimes(v, 1.0f);
    EXPECT_EQ(v[1], 3.0f);  // 2 beats, dotted
    effects->delayAmounts(v);
    EXPECT_FLOAT_EQ(v[1], 0.4f);
}

}  // namespace
