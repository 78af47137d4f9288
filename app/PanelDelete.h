// The delete tool's panel: which songs a click deletes.
#ifndef VELKARN_APP_PANELDELETE_H
#define VELKARN_APP_PANELDELETE_H

#include "app/PanelWordChoice.h"

class PanelDelete : public PanelWordChoice {
public:
    PanelDelete(GUIPanelGroup* group, ApplicationInterface* /*application*/)
        : PanelWordChoice(group, "delete", {"all", "allBefore", "allAfter"}) {}

    // "all", "allBefore" or "allAfter".
    const std::string& deleteScope() const { return selectedWord(); }
    void setDeleteScope(const std::string& scope) { selectWord(scope); }
};

#endif
