// The main window's own art: the background with its wells and the marks
// laid over the deck strips.
#ifndef VELKARN_APP_SKIN_SKINMAINWINDOW_H
#define VELKARN_APP_SKIN_SKINMAINWINDOW_H

#include "app/skin/SkinTable.h"

#include <vector>

// The six deck strips (two decks, three rows), window coordinates.
std::vector<SkinRect> skinStripPlaces();
// The two volume meters' places.
std::vector<SkinRect> skinMeterPlaces();

void paintMainBackground(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);
// The veil the deck strips of row 0 lay over their played columns.
void paintStripPointer(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);
void paintRowsOverlay(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

#endif
