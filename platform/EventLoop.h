// The program's message queue and loop.
//
// One user-interface thread (the one that initialised the layer) runs the
// main loop and every window. Any thread may post a message to a window;
// posted messages keep their order (one queue, first in first out). The
// main loop takes each message with getMessage before it is dispatched and
// acts on close requests (1024) itself. While a box, dialog or chooser is
// open, its nested loop dispatches the posted messages to their windows
// but leaves close requests queued for the main loop.
#ifndef VELKARN_PLATFORM_EVENTLOOP_H
#define VELKARN_PLATFORM_EVENTLOOP_H

#include "platform/Messages.h"

namespace platform {

// Receives the posted messages dispatched to its window.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void handleMessage(const Message& message) = 0;
};

// The calling thread becomes the user-interface thread.
void setUiThread();
bool onUiThread();

// Handles of windows and controls. A handle is never reused, so a stale
// one is simply unknown; unregistering drops the messages still queued for
// the window.
WindowHandle registerWindow(MessageTarget* target);
void unregisterWindow(WindowHandle window);
bool isWindow(WindowHandle window);

// The object a window stands for (its "property"); null when unset or
// when the handle is unknown.
void setWindowObject(WindowHandle window, void* object);
void* windowObject(WindowHandle window);

// Any thread. False (with the last error text) when the window is unknown.
bool postMessage(WindowHandle window, std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam);

// Any thread: getMessage returns false once the queue is empty.
void postQuitMessage(int exitCode);
int quitExitCode();

// Main loop, UI thread: waits for the next posted message.
bool getMessage(Message& message);

// Hands the message to its window's target; unknown windows drop it.
void dispatchMessage(const Message& message);

// UI thread: handles pending window-system events and dispatches every
// queued message except close requests (which stay queued, in order).
// Returns the number dispatched. Nested loops run this; tests use it to
// let posted messages arrive.
int dispatchPostedMessages();

// The same without handling window-system events (the backend calls it
// from its own event handling).
int dispatchQueuedMessages();

// Number of posted messages waiting (close requests included).
int queuedMessageCount();

// Nested loops mark themselves so that posted messages are dispatched
// while they run.
class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};
int modalDepth();

}  // namespace platform

#endif
