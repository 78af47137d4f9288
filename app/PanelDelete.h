// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the delete tool's panel on its background, answering its
// tool's questions with the panel's initial choices (setters for tests).
#ifndef VELKARN_APP_PANELDELETE_H
#define VELKARN_APP_PANELDELETE_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <string>

class PanelDelete : public GUIPanel {
public:
    PanelDelete(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(830, 10, "velkarn/panelGroup/delete", true), application_(application) {
        group->add(this);
    }

    // "all", "allBefore" or "allAfter".
    const std::string& deleteScope() const { return scope_; }
    void setDeleteScope(const std::string& scope) { scope_ = scope; }

private:
    ApplicationInterface* application_;
    std::string scope_ = "all";
};

#endif
