#include "framework/GUIBar.h"

#include "framework/Image.h"
#include "framework/Window.h"

namespace {

// The column of a fraction of the bar, rounded; the fraction is clamped
// first so that the column lies on the bar.
int columnOf(float fraction, int width) {
    if (!(fraction >= 0.0f)) fraction = 0.0f;  // NaN too
    if (fraction > 1.0f) fraction = 1.0f;
    return static_cast<int>(static_cast<double>(fraction) * (width - 1) + 0.5);
}

}  // namespace

GUIBar::GUIBar(int x, int y, int width, int height, Color colour)
    : colour_(colour), image_(std::make_unique<Image>(width, height, 255, 255, 255, 255)) {
    setOriginSize(x, y, width, height);
}

GUIBar::~GUIBar() = default;

void GUIBar::paintColumns(int first, int last) {
    image_->fillRectRgb(colour_.red, colour_.green, colour_.blue, first, 0, last - first + 1, height);
}

void GUIBar::setRange(float from, float to, bool inside, bool redrawNow) {
    image_->fillRectRgb(255, 255, 255, 0, 0, width, height);
    const int a = columnOf(from, width);
    const int b = columnOf(to, width);
    if (inside) {
        if (a <= b) paintColumns(a, b);
    } else {
        if (a > 0) paintColumns(0, a - 1);
        if (b < width - 1) paintColumns(b + 1, width - 1);
    }
    if (redrawNow) redraw();
}

void GUIBar::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (target == nullptr) return;
    target->blendImage(*image_, clip.x0, clip.y0, clip.x0 - x0, clip.y0 - y0, clip.width, clip.height);
}
