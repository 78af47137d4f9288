// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the mixer panel on its background; its overlay is only a
// shown flag (the image comes with the panel); no cue deck and no key lock
// at first (setters for tests).
#ifndef VELKARN_APP_PANELDECKS_H
#define VELKARN_APP_PANELDECKS_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <atomic>

class PanelDecks : public GUIPanel {
public:
    PanelDecks(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(10, 445, "velkarn/panelGroup/decks", true), application_(application) {
        group->add(this);
    }

    // The deck whose cue is down, or -1. Read on the output threads.
    int cueDeck() const { return cueDeck_.load(std::memory_order_relaxed); }
    void setCueDeck(int deck) { cueDeck_.store(deck, std::memory_order_relaxed); }
    bool isKeyLock() const { return keyLock_; }
    void setKeyLock(bool on) {
        keyLock_ = on;
        application_->setRenderFlag(on);
    }
    bool isOverlayShown() const { return overlayShown_; }
    void showOverlay() { overlayShown_ = true; }
    void hideOverlay() { overlayShown_ = false; }
    int refreshCount() const { return refreshes_; }
    void refresh() { ++refreshes_; }

private:
    ApplicationInterface* application_;
    bool overlayShown_ = true;
    std::atomic<int> cueDeck_{-1};
    bool keyLock_ = false;
    int refreshes_ = 0;
};

#endif
