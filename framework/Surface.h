// The off-screen back image of a window's client area and the list of the
// areas to copy to the screen at the next present. Only opaque image copies
// mark an area; blended drawing shows only where an opaque copy of the same
// area preceded it. Row 0 of the back image is the window's top row.
// User-interface thread only.
#ifndef VELKARN_FRAMEWORK_SURFACE_H
#define VELKARN_FRAMEWORK_SURFACE_H

#include "framework/Color.h"
#include "framework/GUIRectangleGroup.h"
#include "framework/Image.h"

namespace platform {
class NativeWindow;
}

class Surface {
public:
    // A back image of the client size, white and opaque, nothing marked.
    // Presents go to the window (none: presenting only forgets the marks).
    Surface(platform::NativeWindow* window, int width, int height);
    virtual ~Surface();

    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    void copyImage(const Image& image, int dstX, int dstY, int srcX, int srcY, int width, int height);
    void blendImage(const Image& image, int dstX, int dstY, int srcX, int srcY, int width, int height);
    void blendFill(int red, int green, int blue, int alpha, int x, int y, int width, int height);
    void blendPixel(Color color, int x, int y);
    void blendVerticalLine(int red, int green, int blue, int alpha, int x, int y0, int y1);
    void blendHorizontalLine(int red, int green, int blue, int alpha, int x0, int x1, int y);
    // The 10001st mark before a present stops the program.
    void markDirty(int x, int y, int width, int height);
    // Hands the marked areas to the window in the order marked, then forgets
    // them; with nothing marked the window is not touched.
    void present();

    int width() const { return width_; }
    int height() const { return height_; }
    Image& backImage() { return back_; }
    const GUIRectangleGroup& dirty() const { return dirty_; }

private:
    platform::NativeWindow* window_;
    int width_;
    int height_;
    Image back_;
    GUIRectangleGroup dirty_;
    std::vector<platform::Rect> presentRects_;  // reused between presents
};

#endif
