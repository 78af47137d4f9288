// A trace of one vertical span per pixel column, as a scope draws it: each
// column is filled between the rows of its two values (larger values
// higher), neighbouring columns are joined so the trace stays continuous,
// and a range of columns can be highlighted in blue. Values beyond the range
// are cut at its edge; a NaN counts as minus infinity. The mouse over the
// graph is reported to the client with the column's values.
#ifndef VELKARN_FRAMEWORK_GUIGRAPH_H
#define VELKARN_FRAMEWORK_GUIGRAPH_H

#include "framework/GUIComponent.h"

#include <cstdint>

class GUIGraphClient;

class GUIGraph : public GUIComponent {
public:
    // One column per pixel; the client is required (not owned). A failed
    // allocation stops the program with "Not enough memory.".
    GUIGraph(int x, int y, int columns, int height, float minimum, float maximum, GUIGraphClient* client);
    ~GUIGraph() override;

    // Takes a[i] and b[i] for every column, lays out the spans and redraws
    // the rows of this trace and of the previous one.
    void setColumns(const float* a, const float* b, bool highlight, int highlightFrom, int highlightTo);

    void draw(const GUIRectangle& clip) override;
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    void mouseUp(const GUIPoint& point) override;
    void mouseMove(const GUIPoint& point) override;
    void mouseLeave() override;

    int rowTop(int column) const { return rowTop_[column]; }
    int rowBottom(int column) const { return rowBottom_[column]; }
    bool clippedTop(int column) const { return clippedTop_[column] != 0; }
    bool clippedBottom(int column) const { return clippedBottom_[column] != 0; }

private:
    void leave();
    void release();

    float minimum_;
    float maximum_;
    float range_;
    GUIGraphClient* client_;
    float* valueA_ = nullptr;
    float* valueB_ = nullptr;
    std::int32_t* rowTop_ = nullptr;
    std::int32_t* rowBottom_ = nullptr;
    std::uint8_t* clippedTop_ = nullptr;
    std::uint8_t* clippedBottom_ = nullptr;
    bool highlight_ = false;
    int highlightFrom_ = 0;
    int highlightTo_ = 0;
    int drawnTop_ = 0;
    int drawnBottom_ = 0;
    bool inside_ = false;
};

#endif
