// The settings panel's rows: its six sub-panels in a group of their own,
// its buttons and the number button it shows first.
#ifndef VELKARN_APP_SKIN_SKINSETTINGSPANEL_H
#define VELKARN_APP_SKIN_SKINSETTINGSPANEL_H

#include "app/skin/SkinTable.h"

// Adds the rows; the settings panel's row must be in the table already.
void addSettingsPanelRows(SkinTable& table);

#endif
