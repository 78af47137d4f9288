#include "app/VelkarnStartUpValues2.h"

void VelkarnStartUpValues2::checkLoaded() { SettingsStore::terminate(databasePath); }
