#include "app/SiLabsSettingsDialog.h"

#include "framework/ResourceArchive.h"

int SiLabsSettingsDialog::run(platform::WindowHandle owner) { return runDialogTemplate(owner, templateId, *this); }

void SiLabsSettingsDialog::command(platform::Dialog& dialog, int controlId) {
    if (controlId == platform::okButton || controlId == platform::cancelButton) dialog.end(controlId);
}
