#include "framework/GUIButton.h"

#include "framework/ButtonClient.h"
#include "framework/Image.h"
#include "framework/ImageHolder.h"
#include "framework/Log.h"
#include "framework/Window.h"

GUIButton::GUIButton(int x, int y, const std::string& imageKey, ButtonClient* client, int mode, bool initiallyDown)
    : upImage_(std::make_unique<Image>(imageKey + "Up", false)),
      downImage_(std::make_unique<Image>(imageKey + "Down", false)),
      mask_(std::make_unique<ImageHolder>(imageKey + "Mask")),
      client_(client),
      mode_(mode),
      down_(initiallyDown) {
    const Image& mask = *mask_->image();
    if (downImage_->width() != upImage_->width() || downImage_->height() != upImage_->height() ||
        mask.width() != upImage_->width() || mask.height() != upImage_->height()) {
        fatalError("Dimensions of button images / mask don't match.", __FILE__, __LINE__);
    }
    setOriginSize(x, y, upImage_->width(), upImage_->height());
}

GUIButton::~GUIButton() = default;

void GUIButton::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (!isVisible() || target == nullptr) return;
    const Image& face = down_ ? *downImage_ : *upImage_;
    target->blendImage(face, clip.x0, clip.y0, clip.x0 - x0, clip.y0 - y0, clip.width, clip.height);
}

void GUIButton::showAtOnce() {
    redraw();
    if (Window* target = window()) target->present();
}

void GUIButton::mouseDown(const GUIPoint& point, bool /*doubleClick*/) {
    if (!contains(point) || mask_->image()->isTransparent(point.x - x0, point.y - y0)) return;
    if (mode_ == toggle) {
        down_ = !down_;
        showAtOnce();
        if (client_ == nullptr) return;
        if (down_) {
            client_->buttonPressed(this);
        } else {
            client_->buttonReleased(this);
        }
        return;
    }
    if (down_) return;
    down_ = true;
    showAtOnce();
    if (client_ != nullptr) client_->buttonPressed(this);
}

void GUIButton::mouseUp(const GUIPoint& /*point*/) {
    if (mode_ != momentary || !down_) return;
    down_ = false;
    if (client_ != nullptr) client_->buttonReleased(this);
    redraw();
}

void GUIButton::setDown() {
    if (down_) return;
    down_ = true;
    redraw();
}

void GUIButton::setUp() {
    if (!down_) return;
    down_ = false;
    redraw();
}
