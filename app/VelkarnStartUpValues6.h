// The settings record "StartUp6" (72 bytes): the PMD-1208LS controller's use
// and calibration.
#ifndef VELKARN_APP_VELKARNSTARTUPVALUES6_H
#define VELKARN_APP_VELKARNSTARTUPVALUES6_H

#include "app/Bool32.h"
#include "app/SettingsRecord.h"

class VelkarnStartUpValues6 : public SettingsRecord<VelkarnStartUpValues6> {
public:
    static constexpr const char* typeName = "VelkarnStartUpValues6";
    static constexpr const char* valueName = "StartUp6";

    static constexpr int inputCount = 8;
    static constexpr float defaultMinimum = 1030.0f;
    static constexpr float defaultMaximum = 1540.0f;

    Bool32 pmdInUse = false;
    Bool32 slidersControlEffects = false;  // the vertical sliders move the effects
    // Calibrated extreme readings of the eight analogue inputs.
    float calibrationMinimum[inputCount] = {defaultMinimum, defaultMinimum, defaultMinimum, defaultMinimum,
                                            defaultMinimum, defaultMinimum, defaultMinimum, defaultMinimum};
    float calibrationMaximum[inputCount] = {defaultMaximum, defaultMaximum, defaultMaximum, defaultMaximum,
                                            defaultMaximum, defaultMaximum, defaultMaximum, defaultMaximum};

private:
    friend class SettingsRecord<VelkarnStartUpValues6>;
    void checkLoaded();
};

static_assert(sizeof(VelkarnStartUpValues6) == 72);

#endif
