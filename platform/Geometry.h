// Plain rectangles and points of the layer, in pixels.
#ifndef VELKARN_PLATFORM_GEOMETRY_H
#define VELKARN_PLATFORM_GEOMETRY_H

namespace platform {

struct Point {
    int x = 0;
    int y = 0;
};

// Left, top, width and height; empty when width or height is 0 or less.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    bool isZero() const { return x == 0 && y == 0 && width == 0 && height == 0; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The thickness of a window's frame on each side.
struct FrameExtents {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

}  // namespace platform

#endif
