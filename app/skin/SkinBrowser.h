// The browser's and the previewer's own art: the browser's background with
// its root and filter fields, header band, striped list and column rules;
// the previewer's background with the map's well; the small row buttons;
// the beat markers with their mask and pointer.
#ifndef VELKARN_APP_SKIN_SKINBROWSER_H
#define VELKARN_APP_SKIN_SKINBROWSER_H

#include "app/skin/SkinTable.h"

#include <string>
#include <vector>

// The rows of both windows, in the order the table lists them.
std::vector<SkinRow> skinBrowserRows();

void paintBrowserBackground(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);
void paintPreviewerBackground(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);
void paintPlaySmall(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);
void paintSelectSmall(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);
void paintMarker(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

#endif
