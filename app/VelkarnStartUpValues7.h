// The settings record "StartUp7" (2048 bytes): the track database's four
// root directories, written at exit.
#ifndef VELKARN_APP_VELKARNSTARTUPVALUES7_H
#define VELKARN_APP_VELKARNSTARTUPVALUES7_H

#include "app/SettingsRecord.h"

class VelkarnStartUpValues7 : public SettingsRecord<VelkarnStartUpValues7> {
public:
    static constexpr const char* typeName = "VelkarnStartUpValues7";
    static constexpr const char* valueName = "StartUp7";

    static constexpr int rootCount = 4;
    char rootDirectories[rootCount][512] = {};

private:
    friend class SettingsRecord<VelkarnStartUpValues7>;
    void checkLoaded();
};

static_assert(sizeof(VelkarnStartUpValues7) == 2048);

#endif
