// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the repeat tool's panel on its background, answering its
// tool's questions with the panel's initial choices (setters for tests).
#ifndef VELKARN_APP_PANELREPEAT_H
#define VELKARN_APP_PANELREPEAT_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

class PanelRepeat : public GUIPanel {
public:
    PanelRepeat(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(830, 10, "velkarn/panelGroup/repeat", true), application_(application) {
        group->add(this);
    }

    int firstCount() const { return firstCount_; }
    int secondCount() const { return secondCount_; }
    bool overwrite() const { return overwrite_; }
    void setChoice(int first, int second, bool overwrite) {
        firstCount_ = first;
        secondCount_ = second;
        overwrite_ = overwrite;
    }

private:
    ApplicationInterface* application_;
    int firstCount_ = 1;
    int secondCount_ = 1;
    bool overwrite_ = false;
};

#endif
