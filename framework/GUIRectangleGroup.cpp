#include "framework/GUIRectangleGroup.h"

#include "framework/Log.h"

GUIRectangleGroup::GUIRectangleGroup() = default;

GUIRectangleGroup::~GUIRectangleGroup() = default;

int GUIRectangleGroup::add(const GUIRectangle& rectangle) {
    if (count() >= maximumCount) fatalError("Maximum number of GUI rectangles reached.", __FILE__, __LINE__);
    rectangles_.emplace_back(rectangle.x0, rectangle.y0, rectangle.x1, rectangle.y1);
    return count();
}

void GUIRectangleGroup::clear() { rectangles_.clear(); }
