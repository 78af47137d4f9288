// Faint grid lines at regular value steps on both axes, the horizontal one
// optionally on the logarithmic response curve. Per axis: lines at origin +
// k x step below `end`, shown where they fall between the values at the two
// edges (`from`, `to`); on the logarithmic x axis `full` is the value at
// which the curve reaches its end. At most 1000 lines per axis; an axis
// whose step is not positive or whose scale is not finite has none.
#ifndef VELKARN_FRAMEWORK_GUIGRID_H
#define VELKARN_FRAMEWORK_GUIGRID_H

#include "framework/GUIComponent.h"

#include <vector>

class GUIGrid : public GUIComponent {
public:
    static constexpr int maximumLines = 1000;

    // The defaults: x lines every 0.1 and y lines every 0.125 over 0..1.
    GUIGrid(int x, int y, int width, int height);

    // Stores the values, lays out the lines again and redraws. The last
    // flag has no effect.
    void configure(float xOrigin, float yOrigin, float xFull, float yFull, float xStep, float yStep, float xEnd,
                   float yEnd, float xFrom, float yFrom, float xTo, float yTo, bool xLogarithmic, bool flag);

    void draw(const GUIRectangle& clip) override;

    // Line positions in pixels from the left or top edge.
    const std::vector<int>& xLines() const { return xLines_; }
    const std::vector<int>& yLines() const { return yLines_; }

private:
    void layout();

    float xOrigin_ = 0.0f, yOrigin_ = 0.0f;
    float xFull_ = 1.0f, yFull_ = 1.0f;
    float xStep_ = 0.1f, yStep_ = 0.125f;
    float xEnd_ = 1.0f, yEnd_ = 1.0f;
    float xFrom_ = 0.0f, yFrom_ = 0.0f;
    float xTo_ = 1.0f, yTo_ = 1.0f;
    bool xLogarithmic_ = false;
    std::vector<int> xLines_;
    std::vector<int> yLines_;
};

#endif
