// A horizontal slider and a number display side by side, kept in step: the
// knob's value is shown in the display, and a value dragged on the display
// goes through the slider's range limits before the display and the
// listener get it. To its owner it is one slider.
#ifndef VELKARN_FRAMEWORK_GUINUMBERSLIDER_H
#define VELKARN_FRAMEWORK_GUINUMBERSLIDER_H

#include "framework/GUINumberClient.h"
#include "framework/GUISlider.h"
#include "framework/SliderClient.h"

#include <memory>
#include <string>

class GUINumberHorizontal;
class GUISliderHorizontal;

class GUINumberSlider : public GUISlider, public SliderClient, public GUINumberClient {
public:
    // The slider at (x, y), the display `gap` pixels right of it; the
    // listener may be null (not owned). The display shows 0 until the first
    // notifyListener or setValue.
    GUINumberSlider(int x, int y, int sliderWidth, int gap, int numberWidth, int height, const std::string& sliderKey,
                    const std::string& digitsKey, int pointPosition, float value, float minimum, float maximum,
                    bool linear, SliderClient* listener);
    ~GUINumberSlider() override;

    void attach(Window* window) override;
    void draw(const GUIRectangle& clip) override;
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    void mouseUp(const GUIPoint& point) override;
    void mouseMove(const GUIPoint& point) override;

    // The slider keeps the value in its range; the display shows it as
    // given.
    void setValue(float value) override;
    float value() override;
    void notifyListener() override;

    void sliderChanged(GUISlider* slider, float value) override;
    void sliderReleased(GUISlider* slider, float value) override;
    void valueChanged(GUINumber* number, float value) override;

    GUISliderHorizontal* slider() const { return slider_.get(); }
    GUINumberHorizontal* display() const { return display_.get(); }

private:
    std::unique_ptr<GUISliderHorizontal> slider_;
    std::unique_ptr<GUINumberHorizontal> display_;
    SliderClient* listener_;
};

#endif
