#include "app/VelkarnStartUpValues6.h"

void VelkarnStartUpValues6::checkLoaded() {
    // The calibration has no settings control of its own; only a NaN, which
    // would reach every scaled reading, is replaced.
    for (int i = 0; i < inputCount; ++i) {
        SettingsStore::keepNumber(calibrationMinimum[i], defaultMinimum, valueName, "calibrationMinimum");
        SettingsStore::keepNumber(calibrationMaximum[i], defaultMaximum, valueName, "calibrationMaximum");
    }
}
