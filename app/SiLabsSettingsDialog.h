// "SiLabs Settings": the SiLabs unit has nothing to set; the dialog only
// says that a unit found is used, and OK or Cancel closes it.
#ifndef VELKARN_APP_SILABSSETTINGSDIALOG_H
#define VELKARN_APP_SILABSSETTINGSDIALOG_H

#include "platform/Dialog.h"

class SiLabsSettingsDialog : public platform::DialogHandler {
public:
    static constexpr int templateId = 111;

    // UI thread: runs the dialog modally over owner; its result, -1 when it
    // could not be shown.
    int run(platform::WindowHandle owner);

    void command(platform::Dialog& dialog, int controlId) override;
};

#endif
