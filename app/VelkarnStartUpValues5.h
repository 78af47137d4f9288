// The settings record "StartUp5" (4 bytes): whether the overlay images are
// shown.
#ifndef VELKARN_APP_VELKARNSTARTUPVALUES5_H
#define VELKARN_APP_VELKARNSTARTUPVALUES5_H

#include "app/Bool32.h"
#include "app/SettingsRecord.h"

class VelkarnStartUpValues5 : public SettingsRecord<VelkarnStartUpValues5> {
public:
    static constexpr const char* typeName = "VelkarnStartUpValues5";
    static constexpr const char* valueName = "StartUp5";

    Bool32 overlaysShown = true;

private:
    friend class SettingsRecord<VelkarnStartUpValues5>;
    void checkLoaded() {}
};

static_assert(sizeof(VelkarnStartUpValues5) == 4);

#endif
