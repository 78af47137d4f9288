// A top-level (or child) window of the layer with a fixed client size whose
// whole client area the program draws itself.
//
// Everything here runs on the user-interface thread, except where a
// function says otherwise. Events reach the window's WindowEvents on that
// thread, from the main loop and from every nested loop (boxes, dialogs,
// choosers).
#ifndef VELKARN_PLATFORM_NATIVEWINDOW_H
#define VELKARN_PLATFORM_NATIVEWINDOW_H

#include "platform/Geometry.h"
#include "platform/Messages.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct WindowSpec {
    int clientWidth = 0;
    int clientHeight = 0;
    std::string title;
    bool topmost = false;
    WindowHandle parent = noWindow;  // set: a child window at (0, 0) of its parent
};

class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    // The update rectangle of a paint; all zero for a paint request made
    // while nothing was invalid.
    virtual void paint(const Rect& update) = 0;
    // The user asked to close the window; it stays open.
    virtual void closeRequested() = 0;
    // A typed character as a Windows-1252 byte (8, 9, 13 and 27 included).
    virtual void character(std::uint8_t code) = 0;
    virtual void timer(int id) = 0;
    // Client coordinates; with the mouse captured they may lie outside.
    virtual void mouseMove(Point point) = 0;
    // A double click arrives as down, up, double click, up.
    virtual void mouseDown(Point point) = 0;
    virtual void mouseUp(Point point) = 0;
    virtual void mouseDoubleClick(Point point) = 0;
    // The raw delta, 120 per notch, at a client point.
    virtual void mouseWheel(Point point, int delta) = 0;
    // Once per requestLeaveNotification, when the mouse leaves.
    virtual void mouseLeave() = 0;
    // A posted message dispatched to this window.
    virtual void message(const Message& message) = 0;
};

enum class CursorShape { Arrow, Hand, Wait };

class NativeWindow {
public:
    virtual ~NativeWindow() = default;  // destroys the window; its handle becomes unknown

    virtual WindowHandle handle() const = 0;

    virtual void setTitle(const std::string& title) = 0;
    virtual std::string title() const = 0;

    // Position of the frame's top-left corner on the screen.
    virtual void move(Point position) = 0;
    virtual Point position() const = 0;

    virtual void show() = 0;
    virtual void minimise() = 0;
    virtual void restore() = 0;
    virtual bool isMinimised() const = 0;
    virtual void raise() = 0;

    // Input off: mouse and keyboard are ignored; paints and timers go on.
    virtual void setInputEnabled(bool enabled) = 0;
    virtual bool inputEnabled() const = 0;

    // (Re)starts timer `id` with the period; at most one tick of a timer is
    // ever pending, later ones are dropped until it has been delivered.
    virtual void startTimer(int id, unsigned periodMs) = 0;
    virtual void stopTimer(int id) = 0;

    virtual void captureMouse() = 0;
    virtual void releaseMouse() = 0;
    virtual void requestLeaveNotification() = 0;

    // Copies the rectangles of a back surface (BGRA rows, `stride` bytes
    // apart, alpha ignored) to the screen, in the order given.
    virtual void present(const std::uint8_t* bgra, int stride, const Rect* rects, int count) = 0;
    // Paints what is invalid now, before returning.
    virtual void updateNow() = 0;

    // The pixels the window shows (BGRA, alpha 255), as the layer holds them.
    virtual std::vector<std::uint8_t> readBack(const Rect& area) const = 0;
    // The rectangles of every present since the last call (tests).
    virtual std::vector<Rect> takePresentedRects() = 0;
};

// Creates a window (hidden until show); null without a user interface.
NativeWindow* createNativeWindow(const WindowSpec& spec, WindowEvents* events);

// UI thread: the user's close request, delivered at once (closeRequested
// runs before this returns); false for an unknown window.
bool sendClose(WindowHandle window);

// Any thread: marks the area invalid (a paint follows), or, with no area,
// asks for a paint while nothing more becomes invalid.
void invalidateWindow(WindowHandle window, const Rect& area);
void requestPaint(WindowHandle window);

// The usable area of the screen (tests may set it; the default without a
// real screen is 1280 x 1024) and the frame that a top-level window with a
// caption gets around its client area.
Rect workArea();
void setWorkArea(const Rect& area);  // tests; an empty rect restores the screen's own
FrameExtents frameExtents();
void setFrameExtents(const FrameExtents& frame);  // tests

void setCursorShape(CursorShape shape);
int wheelScrollLines();

}  // namespace platform

#endif
