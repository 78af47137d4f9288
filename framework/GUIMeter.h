// A level meter: its image shows from a top row down to its bottom edge,
// the top row following a level between a minimum and a maximum (at the
// minimum the bottom row alone shows, at the maximum the whole image).
// User-interface thread only.
#ifndef VELKARN_FRAMEWORK_GUIMETER_H
#define VELKARN_FRAMEWORK_GUIMETER_H

#include "framework/GUIComponent.h"

#include <memory>
#include <string>

class Image;

class GUIMeter : public GUIComponent {
public:
    // At (x, y) with the image's size; the level starts at the minimum.
    GUIMeter(int x, int y, const std::string& imageKey, float minimum, float maximum);
    ~GUIMeter() override;

    // Clamps the level into the range (NaN counts as the minimum) and
    // redraws the rows between the old and the new top, when it moved.
    void setValue(float value);
    float level() const { return level_; }
    // The first window row shown; y0 - 1 at the maximum.
    int barTop() const { return barTop_; }

    void draw(const GUIRectangle& clip) override;

private:
    std::unique_ptr<Image> image_;
    float minimum_;
    float maximum_;
    float level_;
    int barTop_;
    int previousTop_;
};

#endif
