// The user interface behind the layer's portable calls. The Qt backend
// registers itself in initializePlatform; without one (programs and test
// builds without a display library) windows cannot be made, boxes go
// through the companion program or take their default answer, and the
// event loop waits on posted messages only.
#ifndef VELKARN_PLATFORM_UIBACKEND_H
#define VELKARN_PLATFORM_UIBACKEND_H

#include "platform/Dialog.h"
#include "platform/FileChooser.h"
#include "platform/MessageBox.h"
#include "platform/NativeWindow.h"
#include "platform/UiScript.h"

#include <optional>

namespace platform {

class UiBackend {
public:
    virtual ~UiBackend() = default;

    // True when nobody can see or answer (the offscreen platform).
    virtual bool headless() const = 0;

    // Any thread: a message was posted; the UI thread must look at the queue.
    virtual void wake() = 0;
    // UI thread: handles window-system events, waiting until at least one
    // event (or a wake) arrived.
    virtual void waitForEvents() = 0;
    // UI thread: handles what is pending without waiting.
    virtual void processEvents() = 0;

    virtual NativeWindow* createWindow(const WindowSpec& spec, WindowEvents* events) = 0;
    virtual void invalidate(WindowHandle window, const Rect* area) = 0;  // any thread
    virtual bool sendClose(WindowHandle window) = 0;
    virtual Rect screenWorkArea() = 0;
    virtual void setCursorShape(CursorShape shape) = 0;
    virtual int wheelScrollLines() = 0;

    // UI thread, inside a nested loop. With a scripted answer the box is
    // shown, its whileOpen hook runs inside the loop, then the answer is given.
    virtual BoxAnswer messageBox(const BoxRequest& request, const std::optional<ScriptedAnswer>& answer) = 0;
    virtual ChooserOutcome chooseFile(const ChooserRequest& request, const std::optional<ScriptedAnswer>& answer,
                                      std::string& path) = 0;
    virtual int runDialog(WindowHandle owner, const DialogTemplate& dialog, DialogHandler& handler,
                          const DialogResponder& responder) = 0;
};

void setUiBackend(UiBackend* backend);
UiBackend* uiBackend();

}  // namespace platform

#endif
