#include "framework/GUIRectangle.h"

#include "framework/Image.h"
#include "framework/Log.h"

#include <algorithm>

GUIRectangle::GUIRectangle(const Image& image) { setOriginSize(0, 0, image.width(), image.height()); }

GUIRectangle::GUIRectangle(int x0, int y0, int x1, int y1) { set(x0, y0, x1, y1); }

GUIRectangle::GUIRectangle(const platform::Rect& rect)
    : x0(rect.x), y0(rect.y), x1(rect.x + rect.width - 1), y1(rect.y + rect.height - 1), width(rect.width),
      height(rect.height) {
    checkOrientation();
}

void GUIRectangle::set(int left, int top, int right, int bottom) {
    x0 = left;
    y0 = top;
    x1 = right;
    y1 = bottom;
    width = right - left + 1;
    height = bottom - top + 1;
    checkOrientation();
}

void GUIRectangle::setOriginSize(int x, int y, int w, int h) {
    x0 = x;
    y0 = y;
    x1 = x + w - 1;
    y1 = y + h - 1;
    width = w;
    height = h;
    checkOrientation();
}

void GUIRectangle::checkOrientation() const {
    if (x1 < x0 || y1 < y0) fatalError("Rectangle is misoriented.", __FILE__, __LINE__);
}

void GUIRectangle::offset(int dx, int dy) {
    x0 += dx;
    x1 += dx;
    y0 += dy;
    y1 += dy;
}

bool GUIRectangle::intersect(const GUIRectangle& other, GUIRectangle& out) const {
    if (other.x1 < x0 || other.x0 > x1 || other.y1 < y0 || other.y0 > y1) return false;
    out.set(std::max(x0, other.x0), std::max(y0, other.y0), std::min(x1, other.x1), std::min(y1, other.y1));
    return true;
}

bool isZeroRect(const platform::Rect& rect) { return rect.isZero(); }
