#ifndef VELKARN_FRAMEWORK_WINDOWCLIENT_H
#define VELKARN_FRAMEWORK_WINDOWCLIENT_H

class Window;

// The owner's listener of a Window; every call comes on the user-interface
// thread.
class WindowClient {
public:
    virtual ~WindowClient() = default;
    // The user closes the window: true lets it ask the message loop to close it.
    virtual bool canClose(Window* /*window*/) { return true; }
    virtual void painted(Window* /*window*/) {}
    // A typed character (Windows-1252).
    virtual void character(Window* /*window*/, int /*code*/) {}
    // What a worker thread posted with Window::postToClient.
    virtual void postedMessage(Window* /*window*/, int /*wParam*/, int /*lParam*/) {}
};

#endif
