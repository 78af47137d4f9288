#ifndef VELKARN_FRAMEWORK_GUISCROLLBARCLIENT_H
#define VELKARN_FRAMEWORK_GUISCROLLBARCLIENT_H

class GUIScrollbar;

class GUIScrollbarClient {
public:
    virtual ~GUIScrollbarClient() = default;
    // Every move of the thumb by dragging.
    virtual void scrolled(GUIScrollbar* /*scrollbar*/, int /*first*/) {}
    // The mouse was released after a drag.
    virtual void scrollReleased(GUIScrollbar* /*scrollbar*/, int /*first*/) {}
};

#endif
