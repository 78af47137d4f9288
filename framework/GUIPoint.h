// A pixel position in window coordinates (x to the right, y downwards), as
// mouse events carry it.
#ifndef VELKARN_FRAMEWORK_GUIPOINT_H
#define VELKARN_FRAMEWORK_GUIPOINT_H

class GUIPoint {
public:
    GUIPoint() = default;
    GUIPoint(int x, int y) : x(x), y(y) {}
    GUIPoint(const GUIPoint&) = default;
    GUIPoint& operator=(const GUIPoint&) = default;
    virtual ~GUIPoint() = default;

    int x = 0;
    int y = 0;
};

#endif
