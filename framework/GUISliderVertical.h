// The slider whose knob moves bottom to top: the maximum at the top edge.
#ifndef VELKARN_FRAMEWORK_GUISLIDERVERTICAL_H
#define VELKARN_FRAMEWORK_GUISLIDERVERTICAL_H

#include "framework/GUISlider.h"

class GUISliderVertical : public GUISlider {
public:
    GUISliderVertical(int x, int y, int width, int height, const std::string& imageKey, float value, float minimum,
                      float maximum, bool linear, SliderClient* client);
};

#endif
