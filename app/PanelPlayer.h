// Stand-in until "DJ application IV: MIDI input, controller map and MIDI clock out, automatic player, SiLabs and PMD-1208LS controllers"
// replaces it: the automatic player's panel on its background.
#ifndef VELKARN_APP_PANELPLAYER_H
#define VELKARN_APP_PANELPLAYER_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

class PanelPlayer : public GUIPanel {
public:
    PanelPlayer(GUIPanelGroup* group, ApplicationInterface* /*application*/)
        : GUIPanel(10, 445, "velkarn/panelGroup/player", true) {
        group->add(this);
    }
};

#endif
