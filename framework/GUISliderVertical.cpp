#include "framework/GUISliderVertical.h"

GUISliderVertical::GUISliderVertical(int x, int y, int width, int height, const std::string& imageKey, float value,
                                     float minimum, float maximum, bool linear, SliderClient* client)
    : GUISlider(x, y, width, height, imageKey, value, minimum, maximum, linear, client, true) {
    checkSkin(__FILE__, __LINE__);
}
