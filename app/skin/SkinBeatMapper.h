// The beat mapper's window: its background (the map's well, slider
// grooves, group frames, text fields and their captions) and its buttons.
#ifndef VELKARN_APP_SKIN_SKINBEATMAPPER_H
#define VELKARN_APP_SKIN_SKINBEATMAPPER_H

#include "app/skin/SkinTable.h"

#include <string>
#include <vector>

std::vector<SkinRow> skinBeatMapperRows();

void paintBeatMapperBackground(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

#endif
