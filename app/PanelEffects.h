// The effect settings panel: per deck a group of three sub-panels (delay,
// flanger, reverb). Delay and flanger each offer six note lengths, a D
// toggle that makes them half as long again, and an amount from 0 to 100;
// the reverb a small, medium or large room. The render path reads the
// values once per block through relaxed atomics that the panel sets as
// its controls change.
#ifndef VELKARN_APP_PANELEFFECTS_H
#define VELKARN_APP_PANELEFFECTS_H

#include "framework/ButtonClient.h"
#include "framework/ButtonGroupClient.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIPanel.h"
#include "framework/SliderClient.h"

#include <array>
#include <atomic>
#include <memory>

class ApplicationInterface;
class GUIButton;
class GUINumberSlider;
class GUIPanelGroup;
class GUIPanelGroupHorizontal;
class NumberButtonGroup;

class PanelEffects : public GUIPanel, public ButtonClient, public ButtonGroupClient, public SliderClient {
public:
    // What a deck's controls show, for tests and programmatic set-up.
    struct DeckChoice {
        int delayIndex = 0;
        bool delayDotted = false;
        float delaySlider = 0.0f;  // 0 .. 100
        int flangerIndex = 0;
        bool flangerDotted = false;
        float flangerSlider = 0.0f;
        int reverbIndex = 1;
    };

    PanelEffects(GUIPanelGroup* group, ApplicationInterface* application);
    ~PanelEffects() override;

    // Sets the deck's controls (their clients not told) and the values.
    void setChoice(int deck, const DeckChoice& choice);

    // Seconds for a beat period of x seconds: 2^(index - 2) x, 1.5 times
    // that with the D toggle down.
    void delayTimes(float* times, float x) const;
    void delayAmounts(float* amounts) const;
    // Hertz: 1 / (4^(index - 1) x), with 1.5 x under the D toggle.
    void flangerRates(float* rates, float x) const;
    void flangerAmounts(float* amounts) const;
    // 0.5, 1.0 or 1.5.
    void reverbSizes(float* sizes) const;
    // The six sliders tell their values.
    void refresh();

    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;
    void groupButtonPressed(GUIButtonManager* group, int index) override;
    void sliderChanged(GUISlider* slider, float value) override;

    enum Effect : int { delay, flanger };
    GUIPanelGroupHorizontal* deckGroup(int deck) const { return groups_[static_cast<std::size_t>(deck)]; }
    const NumberButtonGroup& lengths(int deck, int effect) const;
    GUIButton* dottedButton(int deck, int effect) const;
    GUINumberSlider* amountSlider(int deck, int effect) const;
    GUIButton* reverbButton(int deck, int index) const;

private:
    struct Deck;
    void store(int deck);

    std::array<GUIPanelGroupHorizontal*, 2> groups_{};
    std::array<std::unique_ptr<Deck>, 2> decks_;
    std::atomic<int> delayIndex_[2], flangerIndex_[2], reverbIndex_[2];
    std::atomic<bool> delayDotted_[2], flangerDotted_[2];
    std::atomic<float> delaySlider_[2], flangerSlider_[2];
};

#endif
