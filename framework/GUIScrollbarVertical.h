// The vertical scrollbar of a list (the browser's tracks): a thumb
// (key + "Slider", hit-tested through key + "Mask") at the scrollbar's left
// edge, dragged up and down its height, which the panel below paints. Drags
// report the first item to show to a GUIScrollbarClient (may be null, not
// owned). When every item fits the view the thumb rests in the middle and
// does not move. User-interface thread only.
#ifndef VELKARN_FRAMEWORK_GUISCROLLBARVERTICAL_H
#define VELKARN_FRAMEWORK_GUISCROLLBARVERTICAL_H

#include "framework/GUIScrollbar.h"

#include <memory>
#include <string>

class GUIScrollbarClient;
class Image;
class ImageHolder;

class GUIScrollbarVertical : public GUIScrollbar {
public:
    // The rectangle is (x, y) with the given size. A mask of another size
    // than the thumb stops the program with "Dimensions of slider and mask
    // don't match.", a thumb taller than the scrollbar with "Slider knob does
    // not fit the slider.", and a range that setRange refuses with its text.
    GUIScrollbarVertical(int x, int y, int width, int height, const std::string& imageKey, int total, int visibleItems,
                         int first, GUIScrollbarClient* client);
    ~GUIScrollbarVertical() override;

    // Stores the range, places the thumb and redraws the whole scrollbar;
    // the client is not told. When every item fits, first must be 0 ("In
    // this case, the index of the first element in the window should be
    // 0."); otherwise it must lie in 0..total - visibleItems ("Trying to
    // scroll off the end.").
    void setRange(int total, int visibleItems, int first) override;
    void lock() override { locked_ = true; }
    void unlock() override { locked_ = false; }

    void draw(const GUIRectangle& clip) override;
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    // Ends a drag wherever the pointer is: scrollReleased (this, first).
    void mouseUp(const GUIPoint& point) override;
    // Moves the dragged thumb; each new pixel position reports
    // scrolled (this, first).
    void mouseMove(const GUIPoint& point) override;

    int first() const { return first_; }
    int thumbTop() const { return thumbTop_; }
    GUIRectangle thumbRectangle() const;
    bool isDragging() const { return dragging_; }

private:
    void storeRange(int total, int visibleItems, int first);
    bool everythingFits() const { return total_ <= visibleItems_; }

    std::unique_ptr<Image> thumb_;
    int thumbWidth_;
    int thumbHeight_;
    std::unique_ptr<ImageHolder> mask_;
    int total_ = 0;
    int visibleItems_ = 0;
    int first_ = 0;
    GUIScrollbarClient* client_;
    int thumbTop_ = 0;
    int drawnTop_ = 0;
    bool dragging_ = false;
    int dragStartY_ = 0;
    int dragStartTop_ = 0;
    bool locked_ = false;
};

#endif
