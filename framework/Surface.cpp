#include "framework/Surface.h"

#include "platform/NativeWindow.h"

Surface::Surface(platform::NativeWindow* window, int width, int height)
    : window_(window), width_(width), height_(height), back_(width, height, 255, 255, 255, 255) {}

Surface::~Surface() = default;

void Surface::copyImage(const Image& image, int dstX, int dstY, int srcX, int srcY, int width, int height) {
    back_.copyRect(image, dstX, dstY, srcX, srcY, width, height);
    markDirty(dstX, dstY, width, height);
}

void Surface::blendImage(const Image& image, int dstX, int dstY, int srcX, int srcY, int width, int height) {
    back_.blendRect(image, dstX, dstY, srcX, srcY, width, height);
}

void Surface::blendFill(int red, int green, int blue, int alpha, int x, int y, int width, int height) {
    back_.blendFill(red, green, blue, alpha, x, y, width, height);
}

void Surface::blendPixel(Color color, int x, int y) { back_.blendPixel(color, x, y); }

void Surface::blendVerticalLine(int red, int green, int blue, int alpha, int x, int y0, int y1) {
    back_.blendVerticalLine(red, green, blue, alpha, x, y0, y1);
}

void Surface::blendHorizontalLine(int red, int green, int blue, int alpha, int x0, int x1, int y) {
    back_.blendHorizontalLine(red, green, blue, alpha, x0, x1, y);
}

void Surface::markDirty(int x, int y, int width, int height) {
    GUIRectangle area;
    area.setOriginSize(x, y, width, height);
    dirty_.add(area);
}

void Surface::present() {
    if (dirty_.count() == 0) return;
    presentRects_.clear();
    for (int i = 0; i < dirty_.count(); ++i) {
        const GUIRectangle& area = dirty_[i];
        presentRects_.push_back({area.x0, area.y0, area.width, area.height});
    }
    if (window_ != nullptr) {
        window_->present(back_.pixels(), back_.rowStep(), presentRects_.data(), static_cast<int>(presentRects_.size()));
    }
    dirty_.clear();
}
