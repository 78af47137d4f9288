#ifndef VELKARN_FRAMEWORK_SLIDERCLIENT_H
#define VELKARN_FRAMEWORK_SLIDERCLIENT_H

class GUISlider;

class SliderClient {
public:
    virtual ~SliderClient() = default;
    // While the knob is dragged, or when the slider is set with notification.
    virtual void sliderChanged(GUISlider* /*slider*/, float /*value*/) {}
    // The mouse was released after a drag.
    virtual void sliderReleased(GUISlider* /*slider*/, float /*value*/) {}
};

#endif
