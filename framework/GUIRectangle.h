// An integer pixel rectangle in window coordinates with inclusive corners
// that also carries its size: every component's area, every clip handed to
// a draw call and every dirty area of a window's back surface. It is never
// empty: a constructor or setter whose result would have x1 < x0 or y1 < y0
// stops the program with "Rectangle is misoriented.".
#ifndef VELKARN_FRAMEWORK_GUIRECTANGLE_H
#define VELKARN_FRAMEWORK_GUIRECTANGLE_H

#include "framework/GUIPoint.h"
#include "platform/Geometry.h"

class Image;

class GUIRectangle {
public:
    // The single pixel (0, 0).
    GUIRectangle() = default;
    GUIRectangle(const GUIRectangle&) = default;
    GUIRectangle& operator=(const GUIRectangle&) = default;
    // The whole image: (0, 0)-(width - 1, height - 1).
    explicit GUIRectangle(const Image& image);
    GUIRectangle(int x0, int y0, int x1, int y1);
    // A platform rectangle (left, top, width, height; its right and bottom
    // edges exclusive), such as a paint's update rectangle.
    explicit GUIRectangle(const platform::Rect& rect);
    virtual ~GUIRectangle() = default;

    void set(int x0, int y0, int x1, int y1);
    // Corners from an origin and a size of at least 1 x 1.
    void setOriginSize(int x, int y, int width, int height);

    // All four edges belong to the rectangle.
    bool contains(int x, int y) const { return x0 <= x && x <= x1 && y0 <= y && y <= y1; }
    bool contains(const GUIPoint& point) const { return contains(point.x, point.y); }
    void offset(int dx, int dy);
    // The overlap with other into out; false, with out unchanged, when they
    // do not meet. A shared edge is a one-pixel overlap.
    bool intersect(const GUIRectangle& other, GUIRectangle& out) const;

    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    int width = 1;   // x1 - x0 + 1
    int height = 1;  // y1 - y0 + 1

private:
    void checkOrientation() const;
};

// True when the platform rectangle is all zero: the update rectangle of a
// paint request made while nothing was invalid.
bool isZeroRect(const platform::Rect& rect);

#endif
