#include "framework/GUIMeter.h"

#include "framework/Image.h"
#include "framework/Window.h"

#include <algorithm>

GUIMeter::GUIMeter(int x, int y, const std::string& imageKey, float minimum, float maximum)
    : image_(std::make_unique<Image>(imageKey, false)), minimum_(minimum), maximum_(maximum), level_(minimum) {
    setOriginSize(x, y, image_->width(), image_->height());
    barTop_ = y0 + height - 1;
    previousTop_ = y0;
}

GUIMeter::~GUIMeter() = default;

void GUIMeter::setValue(float value) {
    if (!(value > minimum_)) value = minimum_;  // NaN too
    if (value > maximum_) value = maximum_;
    level_ = value;
    // The fraction lies in [0, 1] (0 for an empty range), so the row
    // conversion stays in range.
    double fraction = (static_cast<double>(level_) - minimum_) / (static_cast<double>(maximum_) - minimum_);
    if (!(fraction >= 0.0)) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    previousTop_ = barTop_;
    barTop_ = y0 + height - 1 - static_cast<int>(fraction * height);
    if (barTop_ == previousTop_) return;
    redraw(GUIRectangle(x0, std::min(barTop_, previousTop_), x1, std::max(barTop_, previousTop_)));
}

void GUIMeter::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (!isVisible() || target == nullptr) return;
    GUIRectangle part;
    if (!clip.intersect(GUIRectangle(x0, barTop_, x1, y1), part)) return;
    target->blendImage(*image_, part.x0, part.y0, part.x0 - x0, part.y0 - y0, part.width, part.height);
}
