#include "framework/GUIIndicator.h"

#include "framework/Image.h"
#include "framework/Log.h"
#include "framework/Window.h"

GUIIndicator::GUIIndicator(int x, int y, const std::string& imageKey)
    : onImage_(std::make_unique<Image>(imageKey + "On", false)),
      offImage_(std::make_unique<Image>(imageKey + "Off", false)),
      disabledImage_(std::make_unique<Image>(imageKey + "Disabled", false)) {
    for (const Image* other : {offImage_.get(), disabledImage_.get()}) {
        if (other->width() != onImage_->width() || other->height() != onImage_->height()) {
            fatalError("Dimensions of Indicator images don't match.", __FILE__, __LINE__);
        }
    }
    setOriginSize(x, y, onImage_->width(), onImage_->height());
}

GUIIndicator::~GUIIndicator() = default;

void GUIIndicator::setState(bool enabled, bool on) {
    const bool wasEnabled = enabled_;
    const bool wasOn = on_;
    enabled_ = enabled;
    if (enabled) on_ = on;
    if (enabled_ != wasEnabled || on_ != wasOn) redraw();
}

void GUIIndicator::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (!isVisible() || target == nullptr) return;
    const Image& face = !enabled_ ? *disabledImage_ : on_ ? *onImage_ : *offImage_;
    target->blendImage(face, clip.x0, clip.y0, clip.x0 - x0, clip.y0 - y0, clip.width, clip.height);
}
