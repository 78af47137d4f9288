// The base of every on-screen element: a rectangle in window coordinates,
// the window it is attached to (not owned; null until attached) and a
// visible flag. Drawing and mouse events enter at the window's root panel
// and travel down the tree; a component asks its window to redraw an area
// when its look changes. User-interface thread only.
//
// draw receives a clip that lies inside the component's rectangle; a
// component draws the part of itself that falls in it, and nothing while
// hidden. Mouse calls reach every component whatever its position or
// visibility: each decides for itself whether the point concerns it.
#ifndef VELKARN_FRAMEWORK_GUICOMPONENT_H
#define VELKARN_FRAMEWORK_GUICOMPONENT_H

#include "framework/GUIPoint.h"
#include "framework/GUIRectangle.h"

class Window;

class GUIComponent : public GUIRectangle {
public:
    GUIComponent() = default;
    ~GUIComponent() override = default;

    GUIComponent(const GUIComponent&) = delete;
    GUIComponent& operator=(const GUIComponent&) = delete;

    virtual void attach(Window* window) { window_ = window; }
    virtual Window* window() { return window_; }
    virtual void draw(const GUIRectangle& /*clip*/) {}
    virtual void mouseDown(const GUIPoint& /*point*/, bool /*doubleClick*/) {}
    virtual void mouseUp(const GUIPoint& /*point*/) {}
    virtual void mouseMove(const GUIPoint& /*point*/) {}
    virtual void mouseWheel(const GUIPoint& /*point*/, int /*notches*/) {}
    virtual void mouseLeave() {}
    // Set the flag and redraw the rectangle, even when the flag had that
    // value already.
    virtual void show();
    virtual void hide();
    virtual bool isVisible() { return visible_; }

protected:
    // Redraws the whole rectangle, or an area of it, through the window;
    // nothing while unattached.
    void redraw();
    void redraw(const GUIRectangle& area);

private:
    Window* window_ = nullptr;
    bool visible_ = true;
};

#endif
