#include "framework/GUISlider.h"

#include "framework/Image.h"
#include "framework/ImageHolder.h"
#include "framework/Log.h"
#include "framework/ResponseCurves.h"
#include "framework/SliderClient.h"
#include "framework/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

GUISlider::GUISlider(int x, int y, int width, int height, const std::string& imageKey, float value, float minimum,
                     float maximum, bool linear, SliderClient* client, bool vertical)
    : knob_(std::make_unique<Image>(imageKey + "Slider", false)),
      mask_(std::make_unique<ImageHolder>(imageKey + "Mask")),
      value_(value),
      minimum_(minimum),
      maximum_(maximum),
      range_(maximum - minimum),
      linear_(linear),
      client_(client),
      vertical_(vertical) {
    setOriginSize(x, y, width, height);
    if (vertical_) {
        travel_ = height - knob_->height();
        across_ = (width - knob_->width()) / 2;
    } else {
        travel_ = width - knob_->width();
        across_ = (height - knob_->height()) / 2;
    }
    placeKnob();
    drawnAlong_ = along_;
}

GUISlider::~GUISlider() = default;

void GUISlider::checkSkin(const char* source, int line) const {
    const Image& mask = *mask_->image();
    if (mask.width() != knob_->width() || mask.height() != knob_->height()) {
        fatalError("Dimensions of slider and mask don't match.", source, line);
    }
    if (travel_ < 0) fatalError("Slider knob does not fit the slider.", source, line);
}

void GUISlider::placeKnob() {
    long double f = (static_cast<long double>(value_) - minimum_) / range_;
    if (!(f >= 0.0L)) f = 0.0L;  // NaN too
    if (f > 1.0L) f = 1.0L;
    if (!linear_) f = logarithmicScale(static_cast<float>(f));
    const long double offset = f * travel_;
    along_ = static_cast<int>(vertical_ ? travel_ - offset : offset);
}

float GUISlider::valueAt(int along) const {
    const long double p = vertical_ ? travel_ - along : along;
    if (linear_) return static_cast<float>(p * range_ / travel_ + minimum_);
    const float position = static_cast<float>(p / travel_);
    return static_cast<float>(static_cast<long double>(exponentialScale(position)) * range_ + minimum_);
}

GUIRectangle GUISlider::knobRectangle() const {
    GUIRectangle r;
    if (vertical_) {
        r.setOriginSize(x0 + across_, y0 + along_, knob_->width(), knob_->height());
    } else {
        r.setOriginSize(x0 + along_, y0 + across_, knob_->width(), knob_->height());
    }
    return r;
}

GUIRectangle GUISlider::knobArea() const {
    const int low = std::min(along_, drawnAlong_);
    const int extra = std::abs(along_ - drawnAlong_);
    GUIRectangle r;
    if (vertical_) {
        r.setOriginSize(x0 + across_, y0 + low, knob_->width(), knob_->height() + extra);
    } else {
        r.setOriginSize(x0 + low, y0 + across_, knob_->width() + extra, knob_->height());
    }
    return r;
}

void GUISlider::setValue(float value) {
    // A NaN passes unchanged and places the knob at the minimum.
    value_ = value < minimum_ ? minimum_ : value > maximum_ ? maximum_ : value;
    placeKnob();
    redraw(knobArea());
    drawnAlong_ = along_;
}

void GUISlider::notifyListener() {
    if (client_ != nullptr) client_->sliderChanged(this, value_);
}

void GUISlider::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (!isVisible() || target == nullptr) return;
    const GUIRectangle knob = knobRectangle();
    GUIRectangle part;
    if (!clip.intersect(knob, part)) return;
    target->blendImage(*knob_, part.x0, part.y0, part.x0 - knob.x0, part.y0 - knob.y0, part.width, part.height);
}

void GUISlider::mouseDown(const GUIPoint& point, bool /*doubleClick*/) {
    const GUIRectangle knob = knobRectangle();
    if (!knob.contains(point) || mask_->image()->isTransparent(point.x - knob.x0, point.y - knob.y0)) return;
    dragging_ = true;
    dragStart_ = pointerAlong(point);
    dragStartAlong_ = along_;
}

void GUISlider::mouseUp(const GUIPoint& /*point*/) {
    if (!dragging_) return;
    dragging_ = false;
    if (client_ != nullptr) client_->sliderReleased(this, value_);
}

void GUISlider::mouseMove(const GUIPoint& point) {
    if (!dragging_) return;
    const long long wanted = static_cast<long long>(dragStartAlong_) + pointerAlong(point) - dragStart_;
    const int a = static_cast<int>(std::clamp<long long>(wanted, 0, travel_));
    if (a == along_) return;
    along_ = a;
    redraw(knobArea());
    drawnAlong_ = along_;
    value_ = valueAt(along_);
    if (client_ != nullptr) client_->sliderChanged(this, value_);
}
