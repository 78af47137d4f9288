// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the tempo tool's panel on its background, answering its
// tool's questions with the panel's initial choices (setters for tests).
#ifndef VELKARN_APP_PANELTEMPO_H
#define VELKARN_APP_PANELTEMPO_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

class PanelTempo : public GUIPanel {
public:
    PanelTempo(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(830, 10, "velkarn/panelGroup/tempo", true), application_(application) {
        group->add(this);
    }

    int beatCount() const { return beatCount_; }
    int tempoStep() const { return tempoStep_; }
    void setChoice(int beatCount, int tempoStep) {
        beatCount_ = beatCount;
        tempoStep_ = tempoStep;
    }

private:
    ApplicationInterface* application_;
    int beatCount_ = 1;
    int tempoStep_ = 100;
};

#endif
