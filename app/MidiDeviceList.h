// Stand-in until "DJ application IV: MIDI input, controller map and MIDI clock out, automatic player, SiLabs and PMD-1208LS controllers"
// replaces it: a list without MIDI devices, so every stored device name
// falls back to none.
#ifndef VELKARN_APP_MIDIDEVICELIST_H
#define VELKARN_APP_MIDIDEVICELIST_H

class MidiDeviceList {
public:
    int inputCount() const { return 0; }
    int outputCount() const { return 0; }
    // Clears a stored name that names no device (every name here).
    void validateOutputName(char* name) const { name[0] = '\0'; }
    void validateInputName(char* name) const { name[0] = '\0'; }
};

#endif
