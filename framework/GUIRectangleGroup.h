// The bounded list in which a window's back surface collects the areas it
// must copy to the screen, in the order added. Rectangles are neither merged
// nor tested for duplicates.
#ifndef VELKARN_FRAMEWORK_GUIRECTANGLEGROUP_H
#define VELKARN_FRAMEWORK_GUIRECTANGLEGROUP_H

#include "framework/GUIRectangle.h"

#include <vector>

class GUIRectangleGroup {
public:
    static constexpr int maximumCount = 10000;

    GUIRectangleGroup();
    virtual ~GUIRectangleGroup();

    // Stores a copy and returns the new count; the 10001st stops the program
    // with "Maximum number of GUI rectangles reached.".
    int add(const GUIRectangle& rectangle);
    void clear();

    int count() const { return static_cast<int>(rectangles_.size()); }
    const GUIRectangle& operator[](int index) const { return rectangles_[static_cast<std::size_t>(index)]; }

private:
    std::vector<GUIRectangle> rectangles_;
};

#endif
