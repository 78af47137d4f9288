// The mixer panel: the sliders of the mixer parameters (crossfader, each
// deck's high-pass, low-pass, effect level and gain) with a band bar per
// deck between its two filter positions, the one-effect-per-deck toggles,
// tempo read-outs, song and deck-number texts, the cue toggles (at most one
// down) and key lock, and the overlay image shown with the other overlays.
// The cue deck is a relaxed atomic that the output thread reads.
#ifndef VELKARN_APP_PANELDECKS_H
#define VELKARN_APP_PANELDECKS_H

#include "framework/ButtonClient.h"
#include "framework/GUIPanel.h"
#include "framework/SliderClient.h"

#include <array>
#include <atomic>
#include <string>

class ApplicationInterface;
class GUIBar;
class GUIButton;
class GUIImage;
class GUINumberHorizontal;
class GUIPanelGroup;
class GUISlider;
class GUITextHorizontal;
class MixerParameters;

class PanelDecks : public GUIPanel, public ButtonClient, public SliderClient {
public:
    // The sliders, in the order of sliderParameters().
    enum SliderIndex : int {
        crossfader, highPass0, lowPass0, highPass1, lowPass1, effect0, effect1, gain0, gain1, sliderCount
    };
    enum Effect : int { delay, flanger, reverb };

    PanelDecks(GUIPanelGroup* group, ApplicationInterface* application);

    // The mixer parameter each slider sets.
    static const std::array<int, sliderCount>& sliderParameters();

    // The deck whose cue is down, or -1. Any thread.
    int cueDeck() const { return cueDeck_.load(std::memory_order_relaxed); }
    // That deck's cue down (-1: both up), without the toggles' clients.
    void setCueDeck(int deck);
    bool isKeyLock() const;
    // The key-lock toggle set and the application's render flag with it.
    void setKeyLock(bool on);

    // The overlay image loaded or unloaded (an unloaded one lets the panel
    // show through).
    bool isOverlayShown() const;
    void showOverlay();
    void hideOverlay();

    // Every slider whose position differs from its parameter's is moved,
    // without telling anyone; a band bar is redrawn when a filter of its
    // deck moved.
    void syncFromMixer(const MixerParameters& mixer);
    void setSongText(int deck, const std::string& text);
    // n in decimal, nothing for 0.
    void setDeckNumber(int deck, int n);
    void setDeckTempos(float first, float second);
    void setCommonTempo(float bpm);
    // Every slider tells its value; both band bars are redrawn.
    void refresh();

    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;
    void sliderChanged(GUISlider* slider, float value) override;

    GUISlider* slider(int index) const { return sliders_[static_cast<std::size_t>(index)]; }
    GUIButton* effectButton(int deck, int effect) const {
        return effects_[static_cast<std::size_t>(deck)][static_cast<std::size_t>(effect)];
    }
    GUIButton* cueButton(int deck) const { return cues_[static_cast<std::size_t>(deck)]; }
    GUIButton* keyLockButton() const { return keyLock_; }
    GUIBar* bandBar(int deck) const { return bands_[static_cast<std::size_t>(deck)]; }
    GUITextHorizontal* songText(int deck) const { return songTexts_[static_cast<std::size_t>(deck)]; }
    GUITextHorizontal* deckNumberText(int deck) const { return numberTexts_[static_cast<std::size_t>(deck)]; }
    GUINumberHorizontal* tempoNumber(int index) const { return tempos_[static_cast<std::size_t>(index)]; }

private:
    void showBand(int deck, bool redrawNow);
    void updateCueDeck();
    void switchOn(int deck, int effect);
    void switchOff(int deck, int effect);

    ApplicationInterface* application_;
    MixerParameters* mixer_;
    std::array<GUISlider*, sliderCount> sliders_{};
    std::array<GUIBar*, 2> bands_{};
    std::array<GUINumberHorizontal*, 3> tempos_{};  // deck one, deck two, common
    std::array<std::array<GUIButton*, 3>, 2> effects_{};
    std::array<GUITextHorizontal*, 2> songTexts_{};
    std::array<GUITextHorizontal*, 2> numberTexts_{};
    std::array<int, 2> deckNumbers_{};
    GUIImage* overlay_ = nullptr;
    GUIButton* keyLock_ = nullptr;
    std::array<GUIButton*, 2> cues_{};
    std::atomic<int> cueDeck_{-1};
};

#endif
