#include "framework/GUINumberSlider.h"

#include "framework/GUINumberHorizontal.h"
#include "framework/GUISliderHorizontal.h"

// The slider base takes the slider's own skin and place; every operation
// is passed to the two parts.
GUINumberSlider::GUINumberSlider(int x, int y, int sliderWidth, int gap, int numberWidth, int height,
                                 const std::string& sliderKey, const std::string& digitsKey, int pointPosition,
                                 float value, float minimum, float maximum, bool linear, SliderClient* listener)
    : GUISlider(x, y, sliderWidth, height, sliderKey, value, minimum, maximum, linear, nullptr, false),
      slider_(std::make_unique<GUISliderHorizontal>(x, y, sliderWidth, height, sliderKey, value, minimum, maximum,
                                                    linear, this)),
      display_(std::make_unique<GUINumberHorizontal>(x + sliderWidth + gap, y, numberWidth, height, digitsKey,
                                                     pointPosition, this)),
      listener_(listener) {
    setOriginSize(x, y, sliderWidth + gap + numberWidth, height);
}

GUINumberSlider::~GUINumberSlider() = default;

void GUINumberSlider::attach(Window* window) {
    GUIComponent::attach(window);
    slider_->attach(window);
    display_->attach(window);
}

void GUINumberSlider::draw(const GUIRectangle& clip) {
    if (!isVisible()) return;
    GUIRectangle part;
    if (clip.intersect(*slider_, part)) slider_->draw(part);
    if (clip.intersect(*display_, part)) display_->draw(part);
}

void GUINumberSlider::mouseDown(const GUIPoint& point, bool doubleClick) {
    slider_->mouseDown(point, doubleClick);
    display_->mouseDown(point, doubleClick);
}

void GUINumberSlider::mouseUp(const GUIPoint& point) {
    slider_->mouseUp(point);
    display_->mouseUp(point);
}

void GUINumberSlider::mouseMove(const GUIPoint& point) {
    slider_->mouseMove(point);
    display_->mouseMove(point);
}

void GUINumberSlider::setValue(float value) {
    slider_->setValue(value);
    display_->setValue(value);
}

float GUINumberSlider::value() { return slider_->value(); }

void GUINumberSlider::notifyListener() { slider_->notifyListener(); }

void GUINumberSlider::sliderChanged(GUISlider* /*slider*/, float value) {
    display_->setValue(value);
    if (listener_ != nullptr) listener_->sliderChanged(this, value);
}

void GUINumberSlider::sliderReleased(GUISlider* /*slider*/, float value) {
    if (listener_ != nullptr) listener_->sliderReleased(this, value);
}

void GUINumberSlider::valueChanged(GUINumber* /*number*/, float value) {
    slider_->setValue(value);
    slider_->notifyListener();
}
