// A horizontal strip, white but for a span of its width (or everything
// outside the span) in its colour. It draws whether hidden or not.
// User-interface thread only.
#ifndef VELKARN_FRAMEWORK_GUIBAR_H
#define VELKARN_FRAMEWORK_GUIBAR_H

#include "framework/Color.h"
#include "framework/GUIComponent.h"

#include <memory>

class Image;

class GUIBar : public GUIComponent {
public:
    // At (x, y) with the given size; white and opaque until setRange.
    GUIBar(int x, int y, int width, int height, Color colour);
    ~GUIBar() override;

    // Colours the columns from `from` to `to` (fractions of the width, each
    // clamped into [0, 1], NaN as 0; nothing when from lies after to) with
    // inside, or the columns before and after them without; the rest is
    // white. With redraw the bar is redrawn at once, otherwise the change
    // shows at the next redraw of its area.
    void setRange(float from, float to, bool inside, bool redrawNow);

    void draw(const GUIRectangle& clip) override;
    const Image& image() const { return *image_; }

private:
    void paintColumns(int first, int last);

    Color colour_;
    std::unique_ptr<Image> image_;
};

#endif
