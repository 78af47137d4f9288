// Modal dialogs built from templates.
#ifndef VELKARN_PLATFORM_DIALOG_H
#define VELKARN_PLATFORM_DIALOG_H

#include "platform/DialogTemplate.h"
#include "platform/Messages.h"

#include <cstddef>
#include <functional>
#include <string>

namespace platform {

// Button identifiers with fixed meaning: Enter presses the default button
// (okButton when no control is marked default); Escape gives cancelButton.
constexpr int okButton = 1;
constexpr int cancelButton = 2;

enum class DialogKey { Escape, Enter };

// A shown dialog (or a template shown inside a chooser). UI thread only,
// except controlHandle() posting and end().
class Dialog {
public:
    virtual ~Dialog() = default;

    virtual int templateId() const = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual std::string caption() const = 0;

    virtual bool hasControl(int id) const = 0;
    // False when there is no control with that id.
    virtual bool setText(int id, const std::string& text) = 0;
    // At most maximum - 1 bytes, like a fixed buffer with its terminator.
    virtual std::string text(int id, std::size_t maximum) const = 0;
    virtual void setChecked(int id, bool checked) = 0;
    virtual bool checked(int id) const = 0;
    virtual void enableControl(int id, bool enabled) = 0;
    virtual bool controlEnabled(int id) const = 0;
    virtual int progressPosition(int id) const = 0;  // 0..100

    // A handle for posting messages to a control from any thread; a
    // progress bar takes clientMessage (1026) with the position in wParam
    // (limited to 0..100). Valid while the dialog is shown.
    virtual WindowHandle controlHandle(int id) const = 0;

    // Any thread: closes the dialog; runDialog returns the result.
    virtual void end(int result) = 0;

    // Tests, through the toolkit's own event path: a click on a button, and
    // the keys Escape and Enter.
    virtual void press(int id) = 0;
    virtual void pressKey(DialogKey key) = 0;
};

class DialogHandler {
public:
    virtual ~DialogHandler() = default;
    virtual void init(Dialog& /*dialog*/) {}
    virtual void command(Dialog& /*dialog*/, int /*controlId*/) {}
};

// Acts for the user inside the dialog's nested loop (tests).
using DialogResponder = std::function<void(Dialog&)>;

// UI thread: shows the dialog modal to its owner and returns the result
// given to end(), or -1 when it cannot be shown.
int runDialog(WindowHandle owner, const DialogTemplate& dialog, DialogHandler& handler);

}  // namespace platform

#endif
