// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the listen tool's panel on its background, answering its
// tool's questions with the panel's initial choices (setters for tests).
#ifndef VELKARN_APP_PANELLISTEN_H
#define VELKARN_APP_PANELLISTEN_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <atomic>
#include <cstdint>

class PanelListen : public GUIPanel {
public:
    PanelListen(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(830, 10, "velkarn/panelGroup/listen", true), application_(application) {
        group->add(this);
    }

    // The second output's deck gains: vertical x (1 - horizontal) and
    // vertical x horizontal. Read on the output thread.
    void listenGains(float& first, float& second) const {
        const float h = horizontal_.load(std::memory_order_relaxed);
        const float v = vertical_.load(std::memory_order_relaxed);
        first = v * (1.0f - h);
        second = v * h;
    }
    void setSliders(float horizontal, float vertical) {
        horizontal_.store(horizontal, std::memory_order_relaxed);
        vertical_.store(vertical, std::memory_order_relaxed);
    }
    // The mix time at which the pre-listen started.
    std::int64_t listenStartTime() const { return listenStartTime_.load(std::memory_order_relaxed); }
    void setListenStartTime(std::int64_t time) { listenStartTime_.store(time, std::memory_order_relaxed); }
    int refreshCount() const { return refreshes_; }
    void refresh() { ++refreshes_; }

private:
    ApplicationInterface* application_;
    std::atomic<float> horizontal_{0.5f};
    std::atomic<float> vertical_{0.9f};
    std::atomic<std::int64_t> listenStartTime_{0};
    int refreshes_ = 0;
};

#endif
