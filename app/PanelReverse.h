// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the reverse tool's panel on its background, answering its
// tool's questions with the panel's initial choices (setters for tests).
#ifndef VELKARN_APP_PANELREVERSE_H
#define VELKARN_APP_PANELREVERSE_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

class PanelReverse : public GUIPanel {
public:
    PanelReverse(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(830, 10, "velkarn/panelGroup/reverse", true), application_(application) {
        group->add(this);
    }

    int beatCount() const { return beatCount_; }
    void setBeatCount(int count) { beatCount_ = count; }

private:
    ApplicationInterface* application_;
    int beatCount_ = 1;
};

#endif
