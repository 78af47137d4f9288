#include "framework/GUIImage.h"

#include "framework/Image.h"
#include "framework/Window.h"

GUIImage::GUIImage(int x, int y, const std::string& imageKey)
    : imageKey_(imageKey.substr(0, maximumKeyLength)), image_(std::make_unique<Image>(imageKey_, false)) {
    setOriginSize(x, y, image_->width(), image_->height());
}

GUIImage::~GUIImage() = default;

void GUIImage::load() {
    if (image_ != nullptr) return;
    image_ = std::make_unique<Image>(imageKey_, false);
    redraw();
}

void GUIImage::unload() {
    if (image_ == nullptr) return;
    image_.reset();
    redraw();
}

void GUIImage::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (image_ == nullptr || target == nullptr) return;
    target->blendImage(*image_, clip.x0, clip.y0, clip.x0 - x0, clip.y0 - y0, clip.width, clip.height);
}
