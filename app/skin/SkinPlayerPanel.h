// The player panel's own art: the well under the crate's line and its
// caption.
#ifndef VELKARN_APP_SKIN_SKINPLAYERPANEL_H
#define VELKARN_APP_SKIN_SKINPLAYERPANEL_H

#include "app/skin/SkinTable.h"

#include <string>

// The rows of the player panel's buttons, and its decorator set on the
// panel's row, which must be in the table already.
void addPlayerPanelRows(SkinTable& table);

void paintPlayerPanel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

#endif
