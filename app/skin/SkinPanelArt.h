// The art painted into the tool and function panels: recessed wells under
// texts and number displays, the grooves that slider knobs travel along,
// and small captions, each listed by panel key in window coordinates. Also
// the faces of the number buttons and other small buttons.
#ifndef VELKARN_APP_SKIN_SKINPANELART_H
#define VELKARN_APP_SKIN_SKINPANELART_H

#include "app/skin/SkinTable.h"

#include <string>
#include <vector>

// The decks panel's controls (sliders' tracks, buttons, texts, displays,
// band bars) in window coordinates: what its overlay leaves visible.
std::vector<SkinRect> skinDecksControls();
// The decks panel's overlay: a frame in each deck's colour around its
// controls.
void paintDecksOverlay(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

// Paints the marks listed for the row's key (a panel), if any.
void paintPanelMarks(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);
// The last part of the key, in capitals, centred on a button's face in the
// small font (the number buttons' values).
void paintSmallLabel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

#endif
