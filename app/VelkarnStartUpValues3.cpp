#include "app/VelkarnStartUpValues3.h"

void VelkarnStartUpValues3::checkLoaded() {
    const VelkarnStartUpValues3 defaults;
    SettingsStore::keepChoice(secondOutputType, {0, 1}, defaults.secondOutputType, valueName, "secondOutputType");
    SettingsStore::terminate(secondOutputDevice);
    SettingsStore::keepInRange(secondLatencyMs, 1.0f, 200.0f, defaults.secondLatencyMs, valueName, "secondLatencyMs");
    SettingsStore::terminate(midiOutputDevice);
}
