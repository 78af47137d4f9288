#include "app/VelkarnStartUpValues7.h"

void VelkarnStartUpValues7::checkLoaded() {
    for (auto& root : rootDirectories) SettingsStore::terminate(root);
}
