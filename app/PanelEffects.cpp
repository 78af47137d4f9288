#include "app/PanelEffects.h"

#include "app/NumberButtonGroup.h"
#include "framework/GUIButton.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanelGroup.h"
#include "framework/GUIPanelGroupHorizontal.h"

#include <cmath>
#include <string>

namespace {

// Each deck's sub-panels stand here; deck two's 428 pixels further right.
constexpr int deckXs[2] = {20, 448};
constexpr int subPanelY = 490;
constexpr int buttonY = 546;
constexpr int sliderY = 589;

const char* const subPanels[3] = {"velkarn/panelGroup/effectsDelay", "velkarn/panelGroup/effectsFlanger",
                                  "velkarn/panelGroup/effectsReverb"};
const char* const reverbKeys[3] = {"velkarn/button/effects/small", "velkarn/button/effects/medium",
                                   "velkarn/button/effects/large"};

const std::vector<float>& lengthValues(int effect) {
    static const std::vector<float> delays{0.25f, 0.5f, 1, 2, 4, 8};
    static const std::vector<float> flangers{0.25f, 1, 4, 16, 64, 256};
    return effect == PanelEffects::delay ? delays : flangers;
}

}  // namespace

struct PanelEffects::Deck {
    explicit Deck(ButtonGroupClient* client) : reverbGroup(client) {}
    std::array<std::unique_ptr<NumberButtonGroup>, 2> lengths;
    std::array<GUIButton*, 2> dotted{};
    std::array<GUINumberSlider*, 2> amounts{};
    std::array<GUIButton*, 3> reverb{};
    GUIButtonManager reverbGroup;
};

PanelEffects::PanelEffects(GUIPanelGroup* group, ApplicationInterface* /*application*/)
    : GUIPanel(10, 445, "velkarn/panelGroup/effects", true) {
    for (int d = 0; d < 2; ++d) {
        const std::size_t di = static_cast<std::size_t>(d);
        const int left = deckXs[d];
        auto* deckGroup = new GUIPanelGroupHorizontal(3, 30, nullptr);
        groups_[di] = deckGroup;
        add(deckGroup);
        decks_[di] = std::make_unique<Deck>(this);
        Deck& deck = *decks_[di];
        for (int e = 0; e < 2; ++e) {
            const std::size_t ei = static_cast<std::size_t>(e);
            auto* panel = new GUIPanel(left, subPanelY, subPanels[e], true);
            deck.lengths[ei] =
                std::make_unique<NumberButtonGroup>(*panel, lengthValues(e), left + 20, buttonY, 40, 0, 0, this);
            deck.dotted[ei] = new GUIButton(left + 270, buttonY, "velkarn/button/effects/D", this, GUIButton::toggle,
                                            false);
            panel->add(deck.dotted[ei]);
            deck.amounts[ei] = new GUINumberSlider(left + 20, sliderY, 156, 32, 55, 26, "beatMapper/slider/small",
                                                   "scope/font/arial13grey/", 1, 0.0f, 0.0f, 100.0f, true, this);
            panel->add(deck.amounts[ei]);
            deckGroup->add(panel);
        }
        auto* reverbPanel = new GUIPanel(left, subPanelY, subPanels[2], true);
        for (std::size_t k = 0; k < 3; ++k) {
            deck.reverb[k] = new GUIButton(left + 20 + 80 * static_cast<int>(k), buttonY, reverbKeys[k],
                                           &deck.reverbGroup, GUIButton::latching, k == 1);
            reverbPanel->add(deck.reverb[k]);
            deck.reverbGroup.add(deck.reverb[k]);
        }
        deckGroup->add(reverbPanel);
        store(d);
    }
    group->add(this);
}

PanelEffects::~PanelEffects() = default;

const NumberButtonGroup& PanelEffects::lengths(int deck, int effect) const {
    return *decks_[static_cast<std::size_t>(deck)]->lengths[static_cast<std::size_t>(effect)];
}

GUIButton* PanelEffects::dottedButton(int deck, int effect) const {
    return decks_[static_cast<std::size_t>(deck)]->dotted[static_cast<std::size_t>(effect)];
}

GUINumberSlider* PanelEffects::amountSlider(int deck, int effect) const {
    return decks_[static_cast<std::size_t>(deck)]->amounts[static_cast<std::size_t>(effect)];
}

GUIButton* PanelEffects::reverbButton(int deck, int index) const {
    return decks_[static_cast<std::size_t>(deck)]->reverb[static_cast<std::size_t>(index)];
}

void PanelEffects::setChoice(int deck, const DeckChoice& choice) {
    Deck& d = *decks_[static_cast<std::size_t>(deck)];
    d.lengths[delay]->select(choice.delayIndex);
    d.lengths[flanger]->select(choice.flangerIndex);
    NumberButtonGroup::setButtonState(d.dotted[delay], choice.delayDotted);
    NumberButtonGroup::setButtonState(d.dotted[flanger], choice.flangerDotted);
    d.amounts[delay]->setValue(choice.delaySlider);
    d.amounts[flanger]->setValue(choice.flangerSlider);
    d.reverbGroup.select(choice.reverbIndex);
    store(deck);
}

void PanelEffects::delayTimes(float* times, float x) const {
    for (int d = 0; d < 2; ++d) {
        const int index = delayIndex_[d].load(std::memory_order_relaxed);
        const float dotted = delayDotted_[d].load(std::memory_order_relaxed) ? 1.5f : 1.0f;
        times[d] = std::ldexp(1.0f, index - 2) * dotted * x;
    }
}

void PanelEffects::delayAmounts(float* amounts) const {
    for (int d = 0; d < 2; ++d) amounts[d] = delaySlider_[d].load(std::memory_order_relaxed) * 0.01f;
}

void PanelEffects::flangerRates(float* rates, float x) const {
    for (int d = 0; d < 2; ++d) {
        const int index = flangerIndex_[d].load(std::memory_order_relaxed);
        const float dotted = flangerDotted_[d].load(std::memory_order_relaxed) ? 1.5f : 1.0f;
        rates[d] = 1.0f / (std::pow(4.0f, static_cast<float>(index - 1)) * dotted * x);
    }
}

void PanelEffects::flangerAmounts(float* amounts) const {
    for (int d = 0; d < 2; ++d) amounts[d] = flangerSlider_[d].load(std::memory_order_relaxed) * 0.01f;
}

void PanelEffects::reverbSizes(float* sizes) const {
    for (int d = 0; d < 2; ++d) {
        sizes[d] = static_cast<float>(reverbIndex_[d].load(std::memory_order_relaxed) + 1) * 0.5f;
    }
}

void PanelEffects::refresh() {
    for (const auto& deck : decks_) {
        for (GUINumberSlider* amount : deck->amounts) amount->notifyListener();
    }
}

void PanelEffects::buttonPressed(GUIButton* /*button*/) {
    store(0);
    store(1);
}

void PanelEffects::buttonReleased(GUIButton* /*button*/) {
    store(0);
    store(1);
}

void PanelEffects::groupButtonPressed(GUIButtonManager* /*group*/, int /*index*/) {
    store(0);
    store(1);
}

void PanelEffects::sliderChanged(GUISlider* /*slider*/, float /*value*/) {
    store(0);
    store(1);
}

void PanelEffects::store(int deck) {
    Deck& d = *decks_[static_cast<std::size_t>(deck)];
    delayIndex_[deck].store(d.lengths[delay]->selectedIndex(), std::memory_order_relaxed);
    flangerIndex_[deck].store(d.lengths[flanger]->selectedIndex(), std::memory_order_relaxed);
    delayDotted_[deck].store(d.dotted[delay]->isDown(), std::memory_order_relaxed);
    flangerDotted_[deck].store(d.dotted[flanger]->isDown(), std::memory_order_relaxed);
    delaySlider_[deck].store(d.amounts[delay]->value(), std::memory_order_relaxed);
    flangerSlider_[deck].store(d.amounts[flanger]->value(), std::memory_order_relaxed);
    reverbIndex_[deck].store(d.reverbGroup.selectedIndex(), std::memory_order_relaxed);
}
