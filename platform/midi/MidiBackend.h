// What a MIDI backend offers the service (MidiService.cpp): listing and
// opening ports. Handles, windows and the start/stop gate stay in the
// service.
#ifndef VELKARN_PLATFORM_MIDI_MIDIBACKEND_H
#define VELKARN_PLATFORM_MIDI_MIDIBACKEND_H

#include "platform/midi/MidiService.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::midi {

// An open input. The receiver is called from the backend's own thread with
// each short message packed; it stays callable until the port is destroyed,
// and the destructor returns only when no call of it runs any more.
class MidiInputPort {
public:
    virtual ~MidiInputPort() = default;
};

class MidiOutputPort {
public:
    virtual ~MidiOutputPort() = default;
    virtual MidiResult send(const std::uint8_t* bytes, std::size_t count) = 0;
    virtual MidiResult reset() = 0;
};

using MidiReceiver = std::function<void(std::uint32_t packed)>;

class MidiBackend {
public:
    virtual ~MidiBackend() = default;
    // Lists the ports anew and returns the names (made unique, cut to
    // maxMidiNameBytes). Empty when there is no MIDI system.
    virtual std::vector<std::string> listInputs() = 0;
    virtual std::vector<std::string> listOutputs() = 0;
    // Name checks of a single index may fail on their own (the fake's).
    virtual MidiResult inputName(unsigned index, const std::vector<std::string>& listed, std::string& name);
    virtual MidiResult outputName(unsigned index, const std::vector<std::string>& listed, std::string& name);
    // Opens the port listed under that name.
    virtual MidiResult openInput(unsigned index, const std::string& name, MidiReceiver receiver,
                                 std::unique_ptr<MidiInputPort>& port) = 0;
    // handle: the one the service gives the port when the open succeeds.
    virtual MidiResult openOutput(unsigned index, const std::string& name, MidiHandle handle,
                                  std::unique_ptr<MidiOutputPort>& port) = 0;
    // The fake fails the service's calls it is told to; the others never do.
    virtual MidiResult injectedFailure(const char* call);
};

std::unique_ptr<MidiBackend> makeRtMidiBackend();
std::unique_ptr<MidiBackend> makeEmptyMidiBackend();
// The fake of VELKARN_MIDI=fake in a child process (FakeMidi.cpp).
std::unique_ptr<MidiBackend> makeEnvironmentFakeMidiBackend();
// The installed in-process FakeMidi, or null.
std::shared_ptr<MidiBackend> installedFakeMidiBackend();

}  // namespace platform::midi

#endif
