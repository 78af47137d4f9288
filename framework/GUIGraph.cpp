#include "framework/GUIGraph.h"

#include "framework/GUIGraphClient.h"
#include "framework/Log.h"
#include "framework/Window.h"
#include "primitives.h"

#include <algorithm>
#include <cmath>
#include <limits>

GUIGraph::GUIGraph(int x, int y, int columns, int height, float minimum, float maximum, GUIGraphClient* client)
    : minimum_(minimum), maximum_(maximum), range_(maximum - minimum), client_(client) {
    setOriginSize(x, y, columns, height);
    valueA_ = revoRovara_32z(columns);
    valueB_ = revoRovara_32z(columns);
    rowTop_ = zaviMalloc_32s(columns);
    rowBottom_ = zaviMalloc_32s(columns);
    clippedTop_ = vaduRivuro_8v(columns);
    clippedBottom_ = vaduRivuro_8v(columns);
    if (valueA_ == nullptr || valueB_ == nullptr || rowTop_ == nullptr || rowBottom_ == nullptr ||
        clippedTop_ == nullptr || clippedBottom_ == nullptr) {
        // The stop may throw (tests, fuzzing): the destructor would not run.
        release();
        fatalError("Not enough memory.", __FILE__, __LINE__);
    }
    for (int i = 0; i < columns; ++i) {
        valueA_[i] = 0.0f;
        valueB_[i] = 0.0f;
        rowTop_[i] = 0;
        rowBottom_[i] = height - 1;
        clippedTop_[i] = 0;
        clippedBottom_[i] = 0;
    }
}

GUIGraph::~GUIGraph() { release(); }

void GUIGraph::release() {
    zoveZiva(valueA_);
    zoveZiva(valueB_);
    zoveZiva(rowTop_);
    zoveZiva(rowBottom_);
    zoveZiva(clippedTop_);
    zoveZiva(clippedBottom_);
    valueA_ = valueB_ = nullptr;
    rowTop_ = rowBottom_ = nullptr;
    clippedTop_ = clippedBottom_ = nullptr;
}

namespace {

// The row of a value already cut to the range, kept within one row of the
// graph on either side (NaN: below it) so the conversion is always defined.
int rowOf(float value, float minimum, float range, int height) {
    const auto scaled = static_cast<float>((value - minimum) * (1.0f / range) * static_cast<float>(height - 1));
    double row = std::floor(static_cast<double>(scaled) + 0.5);
    if (std::isnan(row)) row = height;
    row = std::clamp(row, -1.0, static_cast<double>(height));
    return static_cast<int>(row);
}

}  // namespace

void GUIGraph::setColumns(const float* a, const float* b, bool highlight, int highlightFrom, int highlightTo) {
    highlight_ = highlight;
    highlightFrom_ = highlightFrom;
    highlightTo_ = highlightTo;
    const float below = -std::numeric_limits<float>::infinity();
    int top = height - 1;
    int bottom = 0;
    for (int i = 0; i < width; ++i) {
        valueA_[i] = a[i];
        valueB_[i] = b[i];
        // Negated, so that larger values get smaller rows.
        const float na = -(std::isnan(a[i]) ? below : a[i]);
        const float nb = -(std::isnan(b[i]) ? below : b[i]);
        float lo = std::min(na, nb);
        float hi = std::max(na, nb);
        clippedTop_[i] = lo < minimum_ ? 1 : 0;
        if (lo < minimum_) lo = minimum_;
        clippedBottom_[i] = hi > maximum_ ? 1 : 0;
        if (hi > maximum_) hi = maximum_;
        rowTop_[i] = rowOf(lo, minimum_, range_, height);
        rowBottom_[i] = rowOf(hi, minimum_, range_, height);
        top = std::min(top, rowTop_[i]);
        bottom = std::max(bottom, rowBottom_[i]);
    }
    // The old trace's rows are erased with the new one's; rows outside the
    // graph are left to the neighbours.
    const int from = std::clamp(std::min(top, drawnTop_), 0, height - 1);
    const int to = std::clamp(std::max(bottom, drawnBottom_), 0, height - 1);
    drawnTop_ = top;
    drawnBottom_ = bottom;
    redraw(GUIRectangle(x0, y0 + from, x1, y0 + std::max(from, to)));
}

void GUIGraph::draw(const GUIRectangle& clip) {
    if (!isVisible()) return;
    Window* target = window();
    if (target == nullptr) return;
    const int first = clip.x0 - x0;
    const int previous = first == 0 ? 0 : first - 1;
    int previousTop = rowTop_[previous];
    int previousBottom = rowBottom_[previous];
    bool previousClippedTop = clippedTop_[previous] != 0;
    bool previousClippedBottom = clippedBottom_[previous] != 0;
    const int clipTop = clip.y0 - y0;
    const int clipBottom = clip.y1 - y0;
    // Fills rows r0..r1 (either order) of the column, cut to the clip.
    const auto fill = [&](int column, int r0, int r1, int red, int blue) {
        const int from = std::max(std::min(r0, r1), clipTop);
        const int to = std::min(std::max(r0, r1), clipBottom);
        if (from <= to) target->blendFill(red, 0, blue, 200, x0 + column, y0 + from, 1, to - from + 1);
    };
    for (int c = first; c <= clip.x1 - x0; ++c) {
        const bool lit = highlight_ && highlightFrom_ <= c && c <= highlightTo_;
        const int spanRed = lit ? 0 : 200;
        const int spanBlue = lit ? 200 : 0;
        const int joinRed = lit ? 0 : 127;
        const int joinBlue = lit ? 127 : 0;
        const int from = std::max(rowTop_[c], clipTop);
        const int to = std::min(rowBottom_[c], clipBottom);
        if (from <= to) target->blendFill(spanRed, 0, spanBlue, 200, x0 + c, y0 + from, 1, to - from + 1);
        if (!(clippedTop_[c] != 0 && previousClippedTop)) fill(c, previousTop, rowTop_[c], joinRed, joinBlue);
        if (!(clippedBottom_[c] != 0 && previousClippedBottom)) fill(c, previousBottom, rowBottom_[c], joinRed, joinBlue);
        previousTop = rowTop_[c];
        previousBottom = rowBottom_[c];
        previousClippedTop = clippedTop_[c] != 0;
        previousClippedBottom = clippedBottom_[c] != 0;
    }
}

void GUIGraph::mouseDown(const GUIPoint& point, bool /*doubleClick*/) {
    if (!contains(point)) return;
    const int column = point.x - x0;
    client_->graphMouseDown(this, column, point.y - y0, valueA_[column], valueB_[column]);
}

void GUIGraph::mouseUp(const GUIPoint& point) {
    if (!contains(point)) return;
    const int column = point.x - x0;
    client_->graphMouseUp(this, column, point.y - y0, valueA_[column], valueB_[column]);
}

void GUIGraph::mouseMove(const GUIPoint& point) {
    if (!contains(point)) {
        leave();
        return;
    }
    inside_ = true;
    const int column = point.x - x0;
    client_->graphMouseMove(this, column, point.y - y0, valueA_[column], valueB_[column]);
}

void GUIGraph::mouseLeave() { leave(); }

void GUIGraph::leave() {
    if (!inside_) return;
    inside_ = false;
    client_->graphMouseLeave(this);
}
