// Tests: input to a window through the toolkit's own event path, as the
// window system would deliver it, so that what blocks real input (a
// disabled window, a modal dialog over it) blocks this too. UI thread.
// Each returns false for an unknown window or when there is no user
// interface. Built into velkarn_platform_qt_test_input, which only test
// programs link.
#ifndef VELKARN_PLATFORM_TESTINPUT_H
#define VELKARN_PLATFORM_TESTINPUT_H

#include "platform/Geometry.h"
#include "platform/Messages.h"
#include "platform/NativeWindow.h"

#include <string>

namespace platform::test_input {

// Left button, client coordinates. A press at another place than the last
// mouse position comes after a move there, as on a real screen. Clicks
// made with these are never close enough in time to make a double click.
bool press(WindowHandle window, Point point);
bool release(WindowHandle window, Point point);
bool click(WindowHandle window, Point point);
// Two clicks in quick succession.
bool doubleClick(WindowHandle window, Point point);
bool move(WindowHandle window, Point point);
// The raw delta, 120 per notch.
bool wheel(WindowHandle window, Point point, int delta);
// The mouse leaves the window.
bool leave(WindowHandle window);
// Typed text (UTF-8).
bool type(WindowHandle window, const std::string& text);
// The user closes the window from its frame.
bool close(WindowHandle window);
// The cursor shown over the window (Arrow for an unknown window).
CursorShape cursorShape(WindowHandle window);
// How often the program set the window's title, and raised it, since it
// was made: the toolkit ignores a title set to the one it has, and a raise
// of a window already in front shows nothing (0 for an unknown window).
int titleSets(WindowHandle window);
int raises(WindowHandle window);

}  // namespace platform::test_input

#endif
