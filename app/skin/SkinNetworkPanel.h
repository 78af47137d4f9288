// The network panel's own art: light fields under its three texts (the
// panel writes them in black) and their captions.
#ifndef VELKARN_APP_SKIN_SKINNETWORKPANEL_H
#define VELKARN_APP_SKIN_SKINNETWORKPANEL_H

#include "app/skin/SkinTable.h"

#include <string>

// The rows of the network panel's buttons, and its decorator set on the
// panel's row, which must be in the table already.
void addNetworkPanelRows(SkinTable& table);

void paintNetworkPanel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

#endif
