// The receiver of a MIDI input device's notifications. A window hands it
// every MIDI input message (ids 0x3C1-0x3C6 and 0x3CC) on the user-interface
// thread.
#ifndef VELKARN_PLATFORM_MIDIIN_H
#define VELKARN_PLATFORM_MIDIIN_H

#include <cstdint>

namespace platform {

class MidiIn {
public:
    virtual ~MidiIn() = default;
    // message: the notification id; wParam: the device; lParam: for data,
    // status in the lowest byte, then the two data bytes.
    virtual void inputCallback(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

}  // namespace platform

#endif
