// The listen tool's panel: the stop button of pre-listening and the two
// sliders that set the second output's deck gains (balance across, volume
// down). The gains are kept as relaxed atomics that the panel sets when a
// slider moves, for the output thread to read.
#ifndef VELKARN_APP_PANELLISTEN_H
#define VELKARN_APP_PANELLISTEN_H

#include "framework/ButtonClient.h"
#include "framework/GUIPanel.h"
#include "framework/SliderClient.h"

#include <atomic>
#include <cstdint>

class ApplicationInterface;
class GUIButton;
class GUIPanelGroup;
class GUISliderHorizontal;
class GUISliderVertical;

class PanelListen : public GUIPanel, public ButtonClient, public SliderClient {
public:
    PanelListen(GUIPanelGroup* group, ApplicationInterface* application);

    // The second output's deck gains: vertical x (1 - horizontal) and
    // vertical x horizontal. Any thread.
    void listenGains(float& first, float& second) const;
    // Moves both sliders, and the gains with them.
    void setSliders(float horizontal, float vertical);
    // The mix time at which the pre-listen started.
    std::int64_t listenStartTime() const { return listenStartTime_.load(std::memory_order_relaxed); }
    void setListenStartTime(std::int64_t time) { listenStartTime_.store(time, std::memory_order_relaxed); }
    // Both sliders tell their values (once, after construction).
    void refresh();

    void buttonPressed(GUIButton* button) override;
    void sliderChanged(GUISlider* slider, float value) override;

    GUIButton* stopButton() const { return stop_; }
    GUISliderHorizontal* balanceSlider() const { return horizontal_; }
    GUISliderVertical* volumeSlider() const { return vertical_; }

private:
    ApplicationInterface* application_;
    GUIButton* stop_;
    GUISliderHorizontal* horizontal_;
    GUISliderVertical* vertical_;
    std::atomic<float> horizontalValue_{0.5f};
    std::atomic<float> verticalValue_{0.9f};
    std::atomic<std::int64_t> listenStartTime_{0};
};

#endif
