// The MIDI input and output devices of the machine, at most 16 of each,
// with names of at most 127 bytes. The lists are asked for anew by every
// call, so a device plugged in or out while the program runs is seen at the
// next look-up. User-interface thread.
//
// It also holds the two MIDI error boxes that MidiIn and MidiOut share.
#ifndef VELKARN_APP_MIDIDEVICELIST_H
#define VELKARN_APP_MIDIDEVICELIST_H

#include "platform/midi/MidiService.h"

#include <array>
#include <cstdint>

class MidiDeviceList {
public:
    static constexpr int maxDevices = 16;
    static constexpr int nameSize = 128;  // bytes, with the terminating zero
    // The name shown, and stored, when there is no device of a kind.
    static constexpr const char* noDeviceName = "<no device available>";

    MidiDeviceList() = default;

    // Lists the devices again; returns how many are listed (at most 16). A
    // failing name query leaves that entry's name empty; for an output it
    // also shows the output error box (not for a device that vanished
    // between the count and the query).
    int refreshInputs();
    int refreshOutputs();

    // Refreshes, then the name at the index; noDeviceName when there is no
    // device of that kind or the index lies beyond the list.
    const char* inputName(int index);
    const char* outputName(int index);

    // Refreshes, then the index of the first device named exactly name; 0
    // when none is.
    int inputIndex(const char* name);
    int outputIndex(const char* name);

    // name is a buffer of nameSize bytes. Refreshes; a listed name is kept,
    // an unlisted one becomes the first device's name, and with no device of
    // that kind it becomes noDeviceName.
    void validateName(bool output, char* name);

    // The service index of the first device named exactly name, or of the
    // first device when none is, from a fresh list: what MidiIn and MidiOut
    // open. With no device it is 0, which the open refuses as a bad device.
    static unsigned deviceFor(bool output, const char* name);

    // The error boxes: the service's text of the code (at most 512
    // characters) or, when it has none, the fallback text; task-modal, with
    // the error icon.
    static void showInputError(platform::midi::MidiResult result);
    static void showOutputError(platform::midi::MidiResult result);

private:
    struct List {
        std::int32_t count = 0;
        std::array<std::array<char, nameSize>, maxDevices> names{};
        std::array<std::uint32_t, maxDevices> identifiers{};
    };

    static int refresh(List& list, bool output);
    static const char* nameIn(const List& list, int index);
    static int indexIn(const List& list, const char* name);

    List inputs_;
    List outputs_;
};

#endif
