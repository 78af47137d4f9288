// The settings record "StartUp4" (172 bytes): the MIDI input and the
// controller numbers of the ten mappable mixer controls.
#ifndef VELKARN_APP_VELKARNSTARTUPVALUES4_H
#define VELKARN_APP_VELKARNSTARTUPVALUES4_H

#include "app/Bool32.h"
#include "app/SettingsRecord.h"

#include <cstdint>

class VelkarnStartUpValues4 : public SettingsRecord<VelkarnStartUpValues4> {
public:
    static constexpr const char* typeName = "VelkarnStartUpValues4";
    static constexpr const char* valueName = "StartUp4";

    Bool32 midiInOn = false;
    char midiInputDevice[128] = {};
    std::int32_t controllerNumbers[10] = {20, 21, 22, 23, 24, 25, 26, 27, 28, 29};

private:
    friend class SettingsRecord<VelkarnStartUpValues4>;
    void checkLoaded();
};

static_assert(sizeof(VelkarnStartUpValues4) == 172);

#endif
