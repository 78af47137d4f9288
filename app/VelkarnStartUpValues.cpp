#include "app/VelkarnStartUpValues.h"

void VelkarnStartUpValues::checkLoaded() {
    const VelkarnStartUpValues defaults;
    SettingsStore::keepInRange(crossfadeKnee, 0.0f, 100.0f, defaults.crossfadeKnee, valueName, "crossfadeKnee");
    SettingsStore::keepChoice(filterOrder, {2, 4, 6, 8}, defaults.filterOrder, valueName, "filterOrder");
    SettingsStore::keepInRange(overlapMs, 0.0f, 200.0f, defaults.overlapMs, valueName, "overlapMs");
    reserved = 0;
    SettingsStore::keepInRange(refreshRate, 1.0f, 100.0f, defaults.refreshRate, valueName, "refreshRate");
    SettingsStore::keepChoice(outputType, {0, 1}, defaults.outputType, valueName, "outputType");
    SettingsStore::terminate(outputDevice);
    SettingsStore::keepInRange(latencyMs, 1.0f, 200.0f, defaults.latencyMs, valueName, "latencyMs");
}
