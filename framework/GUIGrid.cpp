#include "framework/GUIGrid.h"

#include "framework/ResponseCurves.h"
#include "framework/Window.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

// Walks v = origin + step, origin + 2 step, ... while v < end, placing each
// v between from and to; stops at the line limit, at a step that is not
// positive and at an addition that leaves v unchanged.
void walk(std::vector<int>& lines, double origin, double step, double end, double from, double to, bool toFloat,
          const std::function<double(double)>& place) {
    lines.clear();
    if (!(step > 0.0)) return;
    double v = origin;
    for (;;) {
        double next = v + step;
        if (toFloat) {
            // Past the float range the walk has no more lines to give.
            if (!(std::fabs(next) <= std::numeric_limits<float>::max())) return;
            next = static_cast<float>(next);
        }
        if (next == v || !(next < end)) return;
        v = next;
        if (from <= v && v <= to) {
            const double position = std::trunc(place(v) + 0.5);
            if (position >= -2147483648.0 && position <= 2147483647.0) {
                lines.push_back(static_cast<int>(position));
                if (static_cast<int>(lines.size()) >= GUIGrid::maximumLines) return;
            }
        }
    }
}

}  // namespace

GUIGrid::GUIGrid(int x, int y, int width, int height) {
    setOriginSize(x, y, width, height);
    layout();
}

void GUIGrid::configure(float xOrigin, float yOrigin, float xFull, float yFull, float xStep, float yStep, float xEnd,
                        float yEnd, float xFrom, float yFrom, float xTo, float yTo, bool xLogarithmic, bool /*flag*/) {
    xOrigin_ = xOrigin;
    yOrigin_ = yOrigin;
    xFull_ = xFull;
    yFull_ = yFull;
    xStep_ = xStep;
    yStep_ = yStep;
    xEnd_ = xEnd;
    yEnd_ = yEnd;
    xFrom_ = xFrom;
    yFrom_ = yFrom;
    xTo_ = xTo;
    yTo_ = yTo;
    xLogarithmic_ = xLogarithmic;
    layout();
    redraw();
}

void GUIGrid::layout() {
    xLines_.clear();
    yLines_.clear();
    if (xLogarithmic_) {
        const float origin = xOrigin_;
        const float span = xFull_ - xOrigin_;
        const auto curve = [origin, span](double u) {
            const double fraction = (u - origin) / span;
            if (!(std::fabs(fraction) <= std::numeric_limits<float>::max())) return std::numeric_limits<float>::quiet_NaN();
            return logarithmicScale(static_cast<float>(fraction));
        };
        const float start = curve(xFrom_);
        const float scale = static_cast<float>(width) / (curve(xTo_) - start);
        if (std::isfinite(scale) && std::isfinite(start)) {
            walk(xLines_, xOrigin_, xStep_, xEnd_, xFrom_, xTo_, true,
                 [&](double v) { return static_cast<double>(scale * (curve(v) - start)); });
        }
    } else {
        const float scale = static_cast<float>(width) / (xTo_ - xFrom_);
        if (std::isfinite(scale)) {
            walk(xLines_, xOrigin_, xStep_, xEnd_, xFrom_, xTo_, false,
                 [&](double v) { return (v - xFrom_) * scale; });
        }
    }
    const float scale = static_cast<float>(height) / (yTo_ - yFrom_);
    if (std::isfinite(scale)) {
        walk(yLines_, yOrigin_, yStep_, yEnd_, yFrom_, yTo_, false, [&](double v) { return (v - yFrom_) * scale; });
    }
}

void GUIGrid::draw(const GUIRectangle& clip) {
    if (!isVisible()) return;
    Window* target = window();
    if (target == nullptr) return;
    for (int position : xLines_) {
        const int column = x0 + position;
        if (clip.x0 <= column && column <= clip.x1) target->blendVerticalLine(0, 0, 0, 31, column, clip.y0, clip.y1);
    }
    for (int position : yLines_) {
        const int row = y0 + position;
        if (clip.y0 <= row && row <= clip.y1) target->blendHorizontalLine(0, 0, 0, 31, clip.x0, clip.x1, row);
    }
}
