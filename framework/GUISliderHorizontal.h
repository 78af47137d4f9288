// The slider whose knob moves left to right: the minimum at the left edge.
#ifndef VELKARN_FRAMEWORK_GUISLIDERHORIZONTAL_H
#define VELKARN_FRAMEWORK_GUISLIDERHORIZONTAL_H

#include "framework/GUISlider.h"

class GUISliderHorizontal : public GUISlider {
public:
    GUISliderHorizontal(int x, int y, int width, int height, const std::string& imageKey, float value, float minimum,
                        float maximum, bool linear, SliderClient* client);
};

#endif
