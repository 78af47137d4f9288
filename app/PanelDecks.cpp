#include "app/PanelDecks.h"

#include "app/ApplicationInterface.h"
#include "app/MixerParameters.h"
#include "app/NumberButtonGroup.h"
#include "framework/Color.h"
#include "framework/Font.h"
#include "framework/GUIBar.h"
#include "framework/GUIButton.h"
#include "framework/GUIImage.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUIPanelGroup.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextHorizontal.h"

#include <string>

namespace {

struct SliderPlace {
    int x, y, width, height;
    const char* key;
    bool vertical;
};

// In the order of PanelDecks::SliderIndex.
constexpr SliderPlace sliderPlaces[PanelDecks::sliderCount] = {
    {310, 495, 205, 35, "velkarn/slider/", false},      {96, 495, 175, 35, "velkarn/slider/left", false},
    {131, 495, 175, 35, "velkarn/slider/right", false}, {524, 495, 175, 35, "velkarn/slider/left", false},
    {559, 495, 175, 35, "velkarn/slider/right", false}, {96, 575, 206, 35, "velkarn/slider/small", false},
    {524, 575, 206, 35, "velkarn/slider/small", false}, {35, 495, 45, 109, "slider/flat20", true},
    {745, 495, 45, 109, "slider/flat20", true},
};

constexpr int effectXs[2] = {103, 531};
constexpr int effectStep = 65;
constexpr int effectY = 541;
const char* const effectWords[3] = {"delay", "flanger", "reverb"};

// The application's switch of a deck's effect.
void switchEffect(ApplicationInterface& application, int deck, int effect, bool on) {
    switch (effect) {
    case PanelDecks::delay:
        on ? application.enableDelay(deck) : application.disableDelay(deck);
        break;
    case PanelDecks::flanger:
        on ? application.enableFlanger(deck) : application.disableFlanger(deck);
        break;
    default:
        on ? application.enableReverb(deck) : application.disableReverb(deck);
        break;
    }
}

const Color bandColour{56, 182, 236, 255};
const Color textColour{226, 228, 232, 255};

const Font& narrowFont() {
    static const Font font(1);
    return font;
}

}  // namespace

const std::array<int, PanelDecks::sliderCount>& PanelDecks::sliderParameters() {
    static const std::array<int, sliderCount> parameters{
        MixerParameters::crossfader,       MixerParameters::deck0LowerCutoff, MixerParameters::deck0UpperCutoff,
        MixerParameters::deck1LowerCutoff, MixerParameters::deck1UpperCutoff, MixerParameters::deck0EffectLevel,
        MixerParameters::deck1EffectLevel, MixerParameters::deck0Gain,        MixerParameters::deck1Gain};
    return parameters;
}

PanelDecks::PanelDecks(GUIPanelGroup* group, ApplicationInterface* application)
    : GUIPanel(10, 445, "velkarn/panelGroup/decks", true),
      application_(application),
      mixer_(application->mixerParameters()) {
    for (int i = 0; i < sliderCount; ++i) {
        const SliderPlace& p = sliderPlaces[i];
        const float position = mixer_->position(sliderParameters()[static_cast<std::size_t>(i)]);
        GUISlider* slider =
            p.vertical
                ? static_cast<GUISlider*>(
                      new GUISliderVertical(p.x, p.y, p.width, p.height, p.key, position, 0.0f, 1.0f, true, this))
                : new GUISliderHorizontal(p.x, p.y, p.width, p.height, p.key, position, 0.0f, 1.0f, true, this);
        add(slider);
        sliders_[static_cast<std::size_t>(i)] = slider;
    }
    bands_[0] = new GUIBar(131, 509, 130, 2, bandColour);
    bands_[1] = new GUIBar(559, 509, 130, 2, bandColour);
    add(bands_[0]);
    add(bands_[1]);
    const int tempoXs[3] = {331, 447, 389};
    for (std::size_t i = 0; i < tempos_.size(); ++i) {
        tempos_[i] = new GUINumberHorizontal(tempoXs[i], 541, 40, 26, "scope/font/arial13grey/", 0, nullptr);
        add(tempos_[i]);
    }
    for (std::size_t d = 0; d < 2; ++d) {
        for (std::size_t e = 0; e < 3; ++e) {
            effects_[d][e] = new GUIButton(effectXs[d] + effectStep * static_cast<int>(e), effectY,
                                           std::string("velkarn/button/decks/") + effectWords[e], this,
                                           GUIButton::toggle, false);
            add(effects_[d][e]);
        }
    }
    const int songXs[2] = {102, 530};
    const int numberXs[2] = {41, 751};
    for (std::size_t d = 0; d < 2; ++d) {
        songTexts_[d] = new GUITextHorizontal(songXs[d], 615, 191, 22, &narrowFont(), textColour, 0, nullptr);
        numberTexts_[d] = new GUITextHorizontal(numberXs[d], 615, 31, 22, &narrowFont(), textColour, 1, nullptr);
        add(songTexts_[d]);
        add(numberTexts_[d]);
    }
    overlay_ = new GUIImage(21, 481, "velkarn/image/overlayDecks");
    add(overlay_);
    keyLock_ = new GUIButton(389, 588, "velkarn/button/decks/keyLock", this, GUIButton::toggle, false);
    add(keyLock_);
    cues_[0] = new GUIButton(331, 588, "velkarn/button/decks/cue", this, GUIButton::toggle, false);
    cues_[1] = new GUIButton(447, 588, "velkarn/button/decks/cue", this, GUIButton::toggle, false);
    add(cues_[0]);
    add(cues_[1]);
    group->add(this);
}

void PanelDecks::setCueDeck(int deck) {
    for (int d = 0; d < 2; ++d) NumberButtonGroup::setButtonState(cues_[static_cast<std::size_t>(d)], d == deck);
    updateCueDeck();
}

bool PanelDecks::isKeyLock() const { return keyLock_->isDown(); }

void PanelDecks::setKeyLock(bool on) {
    NumberButtonGroup::setButtonState(keyLock_, on);
    application_->setRenderFlag(on);
}

bool PanelDecks::isOverlayShown() const { return overlay_->isLoaded(); }
void PanelDecks::showOverlay() { overlay_->load(); }
void PanelDecks::hideOverlay() { overlay_->unload(); }

void PanelDecks::syncFromMixer(const MixerParameters& mixer) {
    bool moved[2] = {false, false};
    for (int i = 0; i < sliderCount; ++i) {
        GUISlider* slider = sliders_[static_cast<std::size_t>(i)];
        const float position = mixer.position(sliderParameters()[static_cast<std::size_t>(i)]);
        if (slider->value() == position) continue;
        slider->setValue(position);
        if (i == highPass0 || i == lowPass0) moved[0] = true;
        if (i == highPass1 || i == lowPass1) moved[1] = true;
    }
    for (int d = 0; d < 2; ++d) {
        if (moved[d]) showBand(d, true);
    }
}

void PanelDecks::setSongText(int deck, const std::string& text) {
    GUITextHorizontal* shown = songTexts_[static_cast<std::size_t>(deck)];
    if (shown->text() != text) shown->setText(text);
}

void PanelDecks::setDeckNumber(int deck, int n) {
    int& kept = deckNumbers_[static_cast<std::size_t>(deck)];
    if (kept == n) return;
    kept = n;
    numberTexts_[static_cast<std::size_t>(deck)]->setText(n == 0 ? std::string() : std::to_string(n));
}

void PanelDecks::setDeckTempos(float first, float second) {
    tempos_[0]->setValue(first);
    tempos_[1]->setValue(second);
}

void PanelDecks::setCommonTempo(float bpm) { tempos_[2]->setValue(bpm); }

void PanelDecks::refresh() {
    for (GUISlider* slider : sliders_) slider->notifyListener();
    showBand(0, true);
    showBand(1, true);
}

void PanelDecks::buttonPressed(GUIButton* button) {
    for (int d = 0; d < 2; ++d) {
        for (int e = 0; e < 3; ++e) {
            if (button == effectButton(d, e)) switchOn(d, e);
        }
        if (button == cueButton(d)) {
            cueButton(1 - d)->setUp();
            updateCueDeck();
        }
    }
    if (button == keyLock_) application_->setRenderFlag(true);
}

void PanelDecks::buttonReleased(GUIButton* button) {
    for (int d = 0; d < 2; ++d) {
        for (int e = 0; e < 3; ++e) {
            if (button == effectButton(d, e)) switchOff(d, e);
        }
        if (button == cueButton(d)) updateCueDeck();
    }
    if (button == keyLock_) application_->setRenderFlag(false);
}

void PanelDecks::sliderChanged(GUISlider* slider, float value) {
    int index = 0;
    while (index < sliderCount && sliders_[static_cast<std::size_t>(index)] != slider) ++index;
    if (index == sliderCount) return;
    mixer_->setPosition(sliderParameters()[static_cast<std::size_t>(index)], value);
    // A deck's two filter knobs push each other: the band never turns over.
    for (int d = 0; d < 2; ++d) {
        const int high = d == 0 ? highPass0 : highPass1;
        const int low = d == 0 ? lowPass0 : lowPass1;
        if (index != high && index != low) continue;
        GUISlider* other = sliders_[static_cast<std::size_t>(index == high ? low : high)];
        const bool crossed = index == high ? value > other->value() : value < other->value();
        if (crossed) {
            other->setValue(value);
            mixer_->setPosition(sliderParameters()[static_cast<std::size_t>(index == high ? low : high)], value);
        }
        showBand(d, true);
    }
}

void PanelDecks::showBand(int deck, bool redrawNow) {
    const int high = deck == 0 ? highPass0 : highPass1;
    const int low = deck == 0 ? lowPass0 : lowPass1;
    bands_[static_cast<std::size_t>(deck)]->setRange(sliders_[static_cast<std::size_t>(high)]->value(),
                                                     sliders_[static_cast<std::size_t>(low)]->value(), true,
                                                     redrawNow);
}

void PanelDecks::updateCueDeck() {
    int deck = -1;
    if (cues_[0]->isDown()) {
        deck = 0;
    } else if (cues_[1]->isDown()) {
        deck = 1;
    }
    cueDeck_.store(deck, std::memory_order_relaxed);
}

void PanelDecks::switchOn(int deck, int effect) {
    for (int e = 0; e < 3; ++e) {
        GUIButton* other = effectButton(deck, e);
        if (e == effect || !other->isDown()) continue;
        switchEffect(*application_, deck, e, false);
        other->setUp();
    }
    switchEffect(*application_, deck, effect, true);
}

void PanelDecks::switchOff(int deck, int effect) { switchEffect(*application_, deck, effect, false); }
