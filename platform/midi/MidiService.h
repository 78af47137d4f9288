// MIDI input and output ports, as the program's multimedia services offered
// them: devices listed by index with a product name, inputs that post their
// short messages to a window, outputs that send short messages.
//
// The backend is chosen at first use: the ALSA sequencer through RtMidi, or
// with VELKARN_MIDI=none no device at all, or with VELKARN_MIDI=fake the
// scripted ports of FakeMidi.h (which a test may also install in-process).
//
// Calls are allowed from any thread. An open input posts to its window, in
// arrival order:
//   midiInOpenMessage once when opened, midiInCloseMessage once when closed
//   (both with lParam 0), and, between start and stop, midiInDataMessage
//   for each short message: lParam = status | data1 << 8 | data2 << 16
//   (unused data bytes 0). System exclusive messages are dropped; timing
//   clock and active sensing are passed through.
// wParam is always the input's handle. Handles are never reused within a
// run, so a message still queued from a closed input names no open one.
#ifndef VELKARN_PLATFORM_MIDI_MIDISERVICE_H
#define VELKARN_PLATFORM_MIDI_MIDISERVICE_H

#include "platform/Messages.h"

#include <cstdint>
#include <string>

namespace platform::midi {

using MidiResult = std::uint32_t;
constexpr MidiResult midiOk = 0;
constexpr MidiResult midiError = 1;             // the backend failed; no closer reason
constexpr MidiResult midiBadDeviceId = 2;       // no device at that index
constexpr MidiResult midiAllocated = 4;         // the device is in use
constexpr MidiResult midiInvalidHandle = 5;     // not an open port of that kind
constexpr MidiResult midiNoDriver = 6;          // no MIDI system (no sequencer)
constexpr MidiResult midiNoMemory = 7;
constexpr MidiResult midiInvalidParameter = 11;  // e.g. a short message without a status byte

using MidiHandle = std::uintptr_t;  // 0 is none
constexpr MidiHandle noMidiHandle = 0;

// Names are at most this many bytes (cut on a UTF-8 boundary).
constexpr std::size_t maxMidiNameBytes = 127;

// The number of devices at this moment. Each call lists the devices anew;
// indices refer to the latest list.
unsigned midiInputCount();
unsigned midiOutputCount();

// The product name of the device at the index of the latest list. On a
// failure the name is left empty.
MidiResult midiInputName(unsigned index, std::string& name);
MidiResult midiOutputName(unsigned index, std::string& name);

// Opens the input at the index of the latest list, bound to the window.
// Delivery is off until midiInputStart.
MidiResult midiInputOpen(unsigned index, WindowHandle window, MidiHandle& handle);
MidiResult midiInputStart(MidiHandle handle);
MidiResult midiInputStop(MidiHandle handle);
// Stops delivery and closes; no data message is posted after it returns.
MidiResult midiInputClose(MidiHandle handle);

MidiResult midiOutputOpen(unsigned index, MidiHandle& handle);
// A short message packed as status | data1 << 8 | data2 << 16; its length
// (1 to 3 bytes) follows from the status byte.
MidiResult midiOutputShortMessage(MidiHandle handle, std::uint32_t packed);
// Turns every note off on all sixteen channels.
MidiResult midiOutputReset(MidiHandle handle);
MidiResult midiOutputClose(MidiHandle handle);

// The text of a result code; false (text empty) for a code it does not know.
bool midiErrorText(MidiResult result, std::string& text);

// The number of bytes of the short message a status byte begins: 1 to 3,
// or 0 for a data byte and for the system exclusive bytes 0xF0 and 0xF7.
int midiShortMessageLength(std::uint8_t status);

// Forgets the backend, so that the next call chooses again (tests). Every
// port must be closed.
void resetMidiService();

}  // namespace platform::midi

#endif
