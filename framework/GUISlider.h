// A knob (key + "Slider", hit-tested through key + "Mask") dragged along a
// track that the panel below paints. Its position stands for a float value
// between a minimum and a maximum, linearly or through the response curves;
// drags are reported to a SliderClient (may be null, not owned). The two
// forms, GUISliderHorizontal and GUISliderVertical (maximum at the top),
// differ only in the axis. User-interface thread only.
//
// The stored value is whatever the constructor or a drag gave; only the
// fraction that places the knob is clamped into [0, 1] (NaN counts as 0),
// so the knob stays on its track whatever the value.
#ifndef VELKARN_FRAMEWORK_GUISLIDER_H
#define VELKARN_FRAMEWORK_GUISLIDER_H

#include "framework/GUIComponent.h"

#include <memory>
#include <string>

class Image;
class ImageHolder;
class SliderClient;

class GUISlider : public GUIComponent {
public:
    ~GUISlider() override;

    // Clamps to [minimum, maximum], stores, moves the knob and redraws the
    // area of the old and new knob; the client is not told.
    virtual void setValue(float value);
    virtual float value() { return value_; }
    // SliderClient::sliderChanged (this, value) when there is a client.
    virtual void notifyListener();

    void draw(const GUIRectangle& clip) override;
    // A press on an opaque pixel of the knob starts a drag; the track
    // itself takes no press.
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    // Ends a drag wherever the pointer is: sliderReleased (this, value).
    void mouseUp(const GUIPoint& point) override;
    // Moves the dragged knob; each new pixel position reports
    // sliderChanged (this, value).
    void mouseMove(const GUIPoint& point) override;

    // The knob's offset from the slider's left (horizontal) or top
    // (vertical) edge, and its room to move.
    int knobOffset() const { return along_; }
    int travel() const { return travel_; }
    GUIRectangle knobRectangle() const;
    bool isDragging() const { return dragging_; }

protected:
    // The rectangle is (x, y) with the given size; the value is stored as
    // given.
    GUISlider(int x, int y, int width, int height, const std::string& imageKey, float value, float minimum,
              float maximum, bool linear, SliderClient* client, bool vertical);
    // Called by each form's constructor, so that a skin that does not fit
    // is reported against that form: "Dimensions of slider and mask don't
    // match." or "Slider knob does not fit the slider.".
    void checkSkin(const char* source, int line) const;

private:
    void placeKnob();
    float valueAt(int along) const;
    // The area covering the knob at along and at drawnAlong.
    GUIRectangle knobArea() const;
    int pointerAlong(const GUIPoint& point) const { return vertical_ ? point.y : point.x; }

    std::unique_ptr<Image> knob_;
    std::unique_ptr<ImageHolder> mask_;
    float value_;
    float minimum_;
    float maximum_;
    float range_;
    bool linear_;
    SliderClient* client_;
    bool vertical_;
    int along_ = 0;
    int across_ = 0;
    int travel_ = 0;
    int drawnAlong_ = 0;
    int dragStart_ = 0;
    int dragStartAlong_ = 0;
    bool dragging_ = false;
};

#endif
