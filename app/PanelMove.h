// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the move tool's panel on its background, answering its
// tool's questions with the panel's initial choices (setters for tests).
#ifndef VELKARN_APP_PANELMOVE_H
#define VELKARN_APP_PANELMOVE_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <string>

class PanelMove : public GUIPanel {
public:
    PanelMove(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(830, 10, "velkarn/panelGroup/move", true), application_(application) {
        group->add(this);
    }

    // "oneSong", "oneDeck" or "allDecks".
    const std::string& moveScope() const { return scope_; }
    void setMoveScope(const std::string& scope) { scope_ = scope; }

private:
    ApplicationInterface* application_;
    std::string scope_ = "oneSong";
};

#endif
