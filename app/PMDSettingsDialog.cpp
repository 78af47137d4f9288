#include "app/PMDSettingsDialog.h"

#include "framework/ResourceArchive.h"

int PMDSettingsDialog::run(platform::WindowHandle owner) {
    minimumRecorded_ = false;
    maximumRecorded_ = false;
    return runDialogTemplate(owner, templateId, *this);
}

// A rejected block (or no unit) leaves what an earlier press recorded.
void PMDSettingsDialog::record(PMD1208LS::Readings& pending, bool& recorded) {
    PMD1208LS::Readings raw;
    if (!pmd_.readRaw(raw)) return;
    pending = raw;
    recorded = true;
}

void PMDSettingsDialog::init(platform::Dialog& dialog) {
    dialog.setChecked(useCheck, usePmd_);
    dialog.setChecked(effectsCheck, pmd_.effects());
}

void PMDSettingsDialog::command(platform::Dialog& dialog, int controlId) {
    switch (controlId) {
    case minimumButton:
        record(pendingMinimum_, minimumRecorded_);
        break;
    case maximumButton:
        record(pendingMaximum_, maximumRecorded_);
        break;
    case platform::okButton:
        usePmd_ = dialog.checked(useCheck);
        pmd_.setEffects(dialog.checked(effectsCheck));
        if (minimumRecorded_) pmd_.setMinimum(pendingMinimum_);
        if (maximumRecorded_) pmd_.setMaximum(pendingMaximum_);
        minimumRecorded_ = false;
        maximumRecorded_ = false;
        dialog.end(platform::okButton);
        break;
    case platform::cancelButton:
        minimumRecorded_ = false;
        maximumRecorded_ = false;
        dialog.end(platform::cancelButton);
        break;
    default:
        break;
    }
}
