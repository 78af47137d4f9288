// velkarn-test-close-request <window id>: sends the window the close
// request a window manager sends when the user closes it (a WM_PROTOCOLS
// client message carrying WM_DELETE_WINDOW). Exit status 0 once the
// server has taken it, 2 without a display, 1 on a bad argument.
#include <X11/Xlib.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) return 1;
    char* end = nullptr;
    const unsigned long window = std::strtoul(argv[1], &end, 0);
    if (end == argv[1] || *end != '\0' || window == 0) return 1;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 2;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return 0;
}
