// The settings record "StartUp3" (272 bytes): the second output and the
// MIDI clock output.
#ifndef VELKARN_APP_VELKARNSTARTUPVALUES3_H
#define VELKARN_APP_VELKARNSTARTUPVALUES3_H

#include "app/Bool32.h"
#include "app/SettingsRecord.h"

#include <cstdint>

class VelkarnStartUpValues3 : public SettingsRecord<VelkarnStartUpValues3> {
public:
    static constexpr const char* typeName = "VelkarnStartUpValues3";
    static constexpr const char* valueName = "StartUp3";

    Bool32 secondOutputOn = false;
    std::int32_t secondOutputType = 0;  // 0 waveOut, 1 DirectSound
    char secondOutputDevice[128] = {};
    float secondLatencyMs = 50.0f;
    Bool32 midiClockOn = false;
    char midiOutputDevice[128] = {};

private:
    friend class SettingsRecord<VelkarnStartUpValues3>;
    void checkLoaded();
};

static_assert(sizeof(VelkarnStartUpValues3) == 272);

#endif
