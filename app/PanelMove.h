// The move tool's panel: what a drag moves.
#ifndef VELKARN_APP_PANELMOVE_H
#define VELKARN_APP_PANELMOVE_H

#include "app/PanelWordChoice.h"

class PanelMove : public PanelWordChoice {
public:
    PanelMove(GUIPanelGroup* group, ApplicationInterface* /*application*/)
        : PanelWordChoice(group, "move", {"oneSong", "oneDeck", "allDecks"}) {}

    // "oneSong", "oneDeck" or "allDecks".
    const std::string& moveScope() const { return selectedWord(); }
    void setMoveScope(const std::string& scope) { selectWord(scope); }
};

#endif
