// One open MIDI input: its short messages reach the listener as calls, on
// the user-interface thread, through the window it is bound to.
//
// A device that cannot be opened leaves the object closed, and every later
// call on it does nothing. Failures other than a missing device show the
// input error box (MidiDeviceList::showInputError).
#ifndef VELKARN_APP_MIDIIN_H
#define VELKARN_APP_MIDIIN_H

#include "platform/MidiIn.h"
#include "platform/midi/MidiService.h"

class MidiInListener;
class Window;

class MidiIn : public platform::MidiIn {
public:
    // Opens the input named exactly deviceName (the first input when none
    // is) bound to the window, and registers with the window. Input flows
    // only between start and stop. The listener and the window outlive it.
    MidiIn(const char* deviceName, MidiInListener* listener, Window* window);
    // When opened: unregisters from the window, stops input and closes.
    ~MidiIn() override;

    MidiIn(const MidiIn&) = delete;
    MidiIn& operator=(const MidiIn&) = delete;

    void start();
    void stop();
    bool isOpened() const { return opened_; }
    // The device's handle, the wParam of its messages; none when closed.
    platform::midi::MidiHandle handle() const { return handle_; }

    // The window's hand-over: only data messages of this input's device
    // are dispatched; status, data1 and data2 are lParam's three low bytes.
    void inputCallback(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    void dispatch(int status, int data1, int data2);

    MidiInListener* listener_;
    Window* window_;
    platform::midi::MidiHandle handle_ = platform::midi::noMidiHandle;
    bool opened_ = false;
};

#endif
