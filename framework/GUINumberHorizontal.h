// A float value shown in a row of equal cells, each a digit image of the
// skin: key + "0" .. "9", "Point", "Plus", "Minus", "Exp", "Space" and
// "Default" (shown in every cell when the value does not fit). The value is
// printed right-aligned with a fixed number of decimals.
//
// With a listener set, pressing on a cell and dragging up or down changes
// the value by one step per 10 pixels; the cell pressed sets the step (the
// right-most cell the smallest, the point's cell nothing). Only cells whose
// image changes are redrawn.
#ifndef VELKARN_FRAMEWORK_GUINUMBERHORIZONTAL_H
#define VELKARN_FRAMEWORK_GUINUMBERHORIZONTAL_H

#include "framework/GUINumber.h"

#include <array>
#include <memory>
#include <string>

class Image;

class GUINumberHorizontal : public GUINumber {
public:
    static constexpr int maximumCells = 20;
    // Image indices of the cells.
    enum : int { point = 10, plus = 11, minus = 12, exponent = 13, space = 14, fallback = 15, imageCount = 16 };

    // Cells: width / the digit images' width. Stops the program with "Not
    // all digit images have the same dimensions.", "Too many digits." (more
    // than 20 cells) or "Illegal position point." (a point position below
    // 0, or above 0 and past the last cell). Shows 0, without a redraw.
    GUINumberHorizontal(int x, int y, int width, int height, const std::string& imageKey, int pointPosition,
                        GUINumberClient* listener);
    ~GUINumberHorizontal() override;

    void draw(const GUIRectangle& clip) override;
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    void mouseUp(const GUIPoint& point) override;
    void mouseMove(const GUIPoint& point) override;

    void setValue(float value) override;
    float value() override { return value_; }
    void notifyListener() override;
    void setListener(GUINumberClient* listener) override { listener_ = listener; }

    int cellCount() const { return cellCount_; }
    int cellWidth() const { return cellWidth_; }
    int cellHeight() const { return cellHeight_; }
    // The image index cell i shows.
    int cell(int index) const { return current_[static_cast<std::size_t>(index)]; }
    bool isDragging() const { return dragging_; }
    float step() const { return step_; }

private:
    void format();
    void redrawChangedCells();
    GUIRectangle cellRectangle(int index) const;

    int cellCount_ = 0;
    int decimals_ = 0;
    std::array<std::unique_ptr<Image>, imageCount> images_;
    int cellWidth_ = 0;
    int totalWidth_ = 0;
    int cellHeight_ = 0;
    int xOffset_ = 0;
    int yOffset_ = 0;
    GUINumberClient* listener_;
    float value_ = 0.0f;
    bool dragging_ = false;
    float step_ = 0.0f;
    int dragStartY_ = 0;
    float dragStartValue_ = 0.0f;
    std::array<int, maximumCells> current_{};
    std::array<int, maximumCells> shown_{};
};

#endif
