// The settings record "StartUp2" (516 bytes): the track database's default
// path and the browser's exit-on-load.
#ifndef VELKARN_APP_VELKARNSTARTUPVALUES2_H
#define VELKARN_APP_VELKARNSTARTUPVALUES2_H

#include "app/Bool32.h"
#include "app/SettingsRecord.h"

class VelkarnStartUpValues2 : public SettingsRecord<VelkarnStartUpValues2> {
public:
    static constexpr const char* typeName = "VelkarnStartUpValues2";
    static constexpr const char* valueName = "StartUp2";

    char databasePath[512] = {};  // the first root when no root is set
    Bool32 exitOnLoad = true;     // the browser closes after it loaded a song

private:
    friend class SettingsRecord<VelkarnStartUpValues2>;
    void checkLoaded();
};

static_assert(sizeof(VelkarnStartUpValues2) == 516);

#endif
