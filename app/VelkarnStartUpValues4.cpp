#include "app/VelkarnStartUpValues4.h"

void VelkarnStartUpValues4::checkLoaded() { SettingsStore::terminate(midiInputDevice); }
