// The art painted into the tool and function panels: recessed wells under
// texts and number displays, the grooves that slider knobs travel along,
// and small captions, each listed by panel key in window coordinates. Also
// the faces of the number buttons, labelled in the small font.
#ifndef VELKARN_APP_SKIN_SKINPANELART_H
#define VELKARN_APP_SKIN_SKINPANELART_H

#include "app/skin/SkinTable.h"

#include <string>

// Paints the marks listed for the row's key (a panel), if any.
void paintPanelMarks(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);
// The value after "button/numbers/" centred on the face.
void paintNumberButton(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

#endif
