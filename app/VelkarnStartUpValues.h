// The settings record "StartUp" (156 bytes): the renderers' crossfade,
// filter and overlap, the display refresh and the main output.
#ifndef VELKARN_APP_VELKARNSTARTUPVALUES_H
#define VELKARN_APP_VELKARNSTARTUPVALUES_H

#include "app/SettingsRecord.h"

#include <cstdint>

class VelkarnStartUpValues : public SettingsRecord<VelkarnStartUpValues> {
public:
    static constexpr const char* typeName = "VelkarnStartUpValues";
    static constexpr const char* valueName = "StartUp";

    float crossfadeKnee = 75.0f;  // percent; the curves take it x 0.01
    std::int32_t filterOrder = 2;  // 2, 4, 6 or 8
    float overlapMs = 10.0f;
    std::int32_t reserved = 0;  // always written as 0
    float refreshRate = 20.0f;  // display refreshes per second
    std::int32_t outputType = 0;  // 0 waveOut, 1 DirectSound
    char outputDevice[128] = {};
    float latencyMs = 50.0f;

private:
    friend class SettingsRecord<VelkarnStartUpValues>;
    void checkLoaded();
};

static_assert(sizeof(VelkarnStartUpValues) == 156);

#endif
