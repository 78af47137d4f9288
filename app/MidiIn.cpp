#include "app/MidiIn.h"

#include "app/MidiDeviceList.h"
#include "app/MidiInListener.h"
#include "framework/Window.h"
#include "platform/Messages.h"

using namespace platform::midi;

MidiIn::MidiIn(const char* deviceName, MidiInListener* listener, Window* window)
    : listener_(listener), window_(window) {
    const unsigned device = MidiDeviceList::deviceFor(false, deviceName);
    const MidiResult result = midiInputOpen(device, window_->handle(), handle_);
    if (result == midiOk) {
        opened_ = true;
        window_->setMidiIn(this);
    } else if (result != midiBadDeviceId) {
        MidiDeviceList::showInputError(result);
    }
}

MidiIn::~MidiIn() {
    if (!opened_) return;
    window_->setMidiIn(nullptr);
    midiInputStop(handle_);
    midiInputClose(handle_);
}

void MidiIn::start() {
    if (!opened_) return;
    const MidiResult result = midiInputStart(handle_);
    if (result != midiOk) MidiDeviceList::showInputError(result);
}

void MidiIn::stop() {
    if (!opened_) return;
    const MidiResult result = midiInputStop(handle_);
    if (result != midiOk) MidiDeviceList::showInputError(result);
}

void MidiIn::inputCallback(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    // A message still queued from an input closed before has another
    // handle: handles are never reused within a run.
    if (!opened_ || wParam != handle_ || message != platform::midiInDataMessage) return;
    const auto packed = static_cast<std::uint32_t>(lParam);
    dispatch(static_cast<int>(packed & 0xFF), static_cast<int>((packed >> 8) & 0xFF),
             static_cast<int>((packed >> 16) & 0xFF));
}

void MidiIn::dispatch(int status, int data1, int data2) {
    if ((status & 0x80) == 0) return;  // a data byte where the status belongs
    switch (status >> 4) {
    case 0x8: listener_->noteOff(); break;
    case 0x9:
        if (data2 != 0) {
            listener_->noteOn(data1, data2);
        } else {
            listener_->noteOff();
        }
        break;
    case 0xB: listener_->controlChange(data1, data2); break;
    case 0xF: listener_->systemMessage(); break;
    default: break;
    }
}
