// The recorder panel's own art: wells under its two file lines and its
// time read-out, with their captions.
#ifndef VELKARN_APP_SKIN_SKINRECORDERPANEL_H
#define VELKARN_APP_SKIN_SKINRECORDERPANEL_H

#include "app/skin/SkinTable.h"

#include <string>

// The rows of the recorder panel's buttons, and its decorator set on the
// panel's row, which must be in the table already.
void addRecorderPanelRows(SkinTable& table);

void paintRecorderPanel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

#endif
