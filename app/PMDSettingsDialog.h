// "PMD Settings": whether the unit is used, whether its vertical sliders
// move the effects, and the calibration of its eight inputs from two
// readings taken while the dialog is open. OK applies what was chosen and
// recorded; Cancel drops it.
//
// UI thread. The caller stops the unit's reader first, so that the
// calibration readings are the only transfers meanwhile.
#ifndef VELKARN_APP_PMDSETTINGSDIALOG_H
#define VELKARN_APP_PMDSETTINGSDIALOG_H

#include "app/PMD1208LS.h"
#include "platform/Dialog.h"

class PMDSettingsDialog : public platform::DialogHandler {
public:
    static constexpr int templateId = 110;
    static constexpr int useCheck = 1033;
    static constexpr int effectsCheck = 1034;
    static constexpr int minimumButton = 1035;
    static constexpr int maximumButton = 1036;

    // usePmd is the settings panel's use-the-PMD setting, read when the
    // dialog opens and written on OK.
    PMDSettingsDialog(PMD1208LS& pmd, bool& usePmd) : pmd_(pmd), usePmd_(usePmd) {}

    // Runs the dialog modally over owner; its result, -1 when it could not
    // be shown.
    int run(platform::WindowHandle owner);

    void init(platform::Dialog& dialog) override;
    void command(platform::Dialog& dialog, int controlId) override;

private:
    void record(PMD1208LS::Readings& pending, bool& recorded);

    PMD1208LS& pmd_;
    bool& usePmd_;
    // A reading is recorded only when the unit accepted its block.
    PMD1208LS::Readings pendingMinimum_{};
    PMD1208LS::Readings pendingMaximum_{};
    bool minimumRecorded_ = false;
    bool maximumRecorded_ = false;
};

#endif
