// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the effect settings panel on its background, answering the
// render path's five value functions over its initial selections (delay
// and flanger buttons 0, D toggles up, sliders 0, reverb "medium"); setters
// for tests. Read on the output thread once per block.
#ifndef VELKARN_APP_PANELEFFECTS_H
#define VELKARN_APP_PANELEFFECTS_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <atomic>
#include <cmath>

class PanelEffects : public GUIPanel {
public:
    struct DeckChoice {
        int delayIndex = 0;
        bool delayDotted = false;
        float delaySlider = 0.0f;  // 0 .. 100
        int flangerIndex = 0;
        bool flangerDotted = false;
        float flangerSlider = 0.0f;
        int reverbIndex = 1;
    };

    PanelEffects(GUIPanelGroup* group, ApplicationInterface* /*application*/)
        : GUIPanel(10, 445, "velkarn/panelGroup/effects", true) {
        group->add(this);
        for (int d = 0; d < 2; ++d) setChoice(d, DeckChoice{});
    }

    void setChoice(int deck, const DeckChoice& c) {
        delayIndex_[deck].store(c.delayIndex, std::memory_order_relaxed);
        delayDotted_[deck].store(c.delayDotted, std::memory_order_relaxed);
        delaySlider_[deck].store(c.delaySlider, std::memory_order_relaxed);
        flangerIndex_[deck].store(c.flangerIndex, std::memory_order_relaxed);
        flangerDotted_[deck].store(c.flangerDotted, std::memory_order_relaxed);
        flangerSlider_[deck].store(c.flangerSlider, std::memory_order_relaxed);
        reverbIndex_[deck].store(c.reverbIndex, std::memory_order_relaxed);
    }

    // Seconds for a beat period of x seconds: 2^(index - 2) x, 1.5 times
    // that with the D toggle down.
    void delayTimes(float* times, float x) const {
        for (int d = 0; d < 2; ++d) {
            const DeckChoice c = choice(d);
            times[d] = std::ldexp(1.0f, c.delayIndex - 2) * (c.delayDotted ? 1.5f : 1.0f) * x;
        }
    }
    void delayAmounts(float* amounts) const {
        for (int d = 0; d < 2; ++d) amounts[d] = choice(d).delaySlider * 0.01f;
    }
    // Hertz: 1 / (4^(index - 1) x), with 1.5 x under the D toggle.
    void flangerRates(float* rates, float x) const {
        for (int d = 0; d < 2; ++d) {
            const DeckChoice c = choice(d);
            rates[d] = 1.0f / (std::pow(4.0f, static_cast<float>(c.flangerIndex - 1)) *
                               (c.flangerDotted ? 1.5f : 1.0f) * x);
        }
    }
    void flangerAmounts(float* amounts) const {
        for (int d = 0; d < 2; ++d) amounts[d] = choice(d).flangerSlider * 0.01f;
    }
    void reverbSizes(float* sizes) const {
        for (int d = 0; d < 2; ++d) sizes[d] = static_cast<float>(choice(d).reverbIndex + 1) * 0.5f;
    }
    int refreshCount() const { return refreshes_; }
    void refresh() { ++refreshes_; }

private:
    DeckChoice choice(int deck) const {
        return DeckChoice{delayIndex_[deck].load(std::memory_order_relaxed),
                          delayDotted_[deck].load(std::memory_order_relaxed),
                          delaySlider_[deck].load(std::memory_order_relaxed),
                          flangerIndex_[deck].load(std::memory_order_relaxed),
                          flangerDotted_[deck].load(std::memory_order_relaxed),
                          flangerSlider_[deck].load(std::memory_order_relaxed),
                          reverbIndex_[deck].load(std::memory_order_relaxed)};
    }

    std::atomic<int> delayIndex_[2], flangerIndex_[2], reverbIndex_[2];
    std::atomic<bool> delayDotted_[2], flangerDotted_[2];
    std::atomic<float> delaySlider_[2], flangerSlider_[2];
    int refreshes_ = 0;
};

#endif
