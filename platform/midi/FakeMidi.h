// Test mode of the MIDI services: while a FakeMidi exists, MidiService.h
// lists its scripted ports, fails the calls a test picks, delivers the
// input a test injects (from any thread) and logs every byte sent, with the
// time of monotonicNs() (the virtual clock's when it is on).
//
// A child process gets a fake with VELKARN_MIDI=fake: its ports are named
// by VELKARN_MIDI_FAKE_INPUTS and VELKARN_MIDI_FAKE_OUTPUTS (names separated
// by ';'; "Fake MIDI In 1;Fake MIDI In 2" and "Fake MIDI Out 1;Fake MIDI
// Out 2" when unset), and VELKARN_MIDI_FAKE_LOG names a file that gets one
// line per message sent: "<ns> <handle> <bytes in hex>". With
// VELKARN_MIDI_FAKE_REPEAT holding a short message as hex bytes ("B0 07
// 40"), every open input receives it every 100 ms, as from a knob turned
// again and again.
#ifndef VELKARN_PLATFORM_MIDI_FAKEMIDI_H
#define VELKARN_PLATFORM_MIDI_FAKEMIDI_H

#include "platform/midi/MidiService.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::midi {

struct FakeMidiPort {
    std::string name;  // as listed: cut and made unique like a real device's
    MidiResult failName = midiOk;  // the name query of this port fails with it
    MidiResult failOpen = midiOk;
};

// Service calls by name: "inputOpen", "inputStart", "inputStop",
// "inputClose", "outputOpen", "outputShortMessage", "outputReset",
// "outputClose".
struct FakeMidiFailure {
    std::string call;
    MidiResult result = midiError;
    int after = 0;  // this many calls of it succeed first
    int times = 1;  // then this many fail; -1 every one after
};

struct FakeMidiSent {
    std::int64_t timeNs = 0;
    MidiHandle handle = noMidiHandle;
    std::vector<std::uint8_t> bytes;  // a reset is logged as the single entry {} with reset set
    bool reset = false;
};

class FakeMidi {
public:
    FakeMidi();   // installs it; one at a time
    ~FakeMidi();  // uninstalls it; close its ports first

    FakeMidi(const FakeMidi&) = delete;
    FakeMidi& operator=(const FakeMidi&) = delete;

    // Script before the code under test lists or opens.
    std::vector<FakeMidiPort> inputs;
    std::vector<FakeMidiPort> outputs;
    void fail(const FakeMidiFailure& failure);

    // Any thread: hands a short message (status | d1 << 8 | d2 << 16) to
    // every open port of the named input, as the device would; returns the
    // number of open ports it reached (delivery itself still depends on
    // start and stop).
    int inject(const std::string& inputName, std::uint32_t packed);

    // Every message sent so far, in order.
    std::vector<FakeMidiSent> sent() const;
    void clearSent();
    // Every service call so far, one line each ("inputOpen Fake In", "inputClose", ...).
    std::vector<std::string> calls() const;
    // Ports of this fake open right now.
    int openInputs() const;
    int openOutputs() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace platform::midi

#endif
