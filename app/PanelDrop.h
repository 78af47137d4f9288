// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the drop tool's panel on its background, answering its
// tool's questions with the panel's initial choices (setters for tests).
#ifndef VELKARN_APP_PANELDROP_H
#define VELKARN_APP_PANELDROP_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <string>

class PanelDrop : public GUIPanel {
public:
    PanelDrop(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(830, 10, "velkarn/panelGroup/drop", true), application_(application) {
        group->add(this);
    }

    // The kept song path (empty: nothing to drop); loadSong keeps the path
    // and answers 1, as a song that could be read would.
    const std::string& songPath() const { return songPath_; }
    int loadSong(const std::string& path) {
        songPath_ = path;
        return 1;
    }
    bool isDoubleTempo() const { return doubleTempo_; }
    bool isHalfTempo() const { return halfTempo_; }
    bool isForceTempo() const { return forceTempo_; }
    float forcedTempo() const { return forcedTempo_; }
    void showStandardTempo() { forcedTempo_ = application_->standardTempo(); }
    void releaseTempoButtons() { doubleTempo_ = halfTempo_ = false; }
    void setTempoButtons(bool doubleTempo, bool halfTempo, bool forceTempo) {
        doubleTempo_ = doubleTempo;
        halfTempo_ = halfTempo;
        forceTempo_ = forceTempo;
    }

private:
    ApplicationInterface* application_;
    std::string songPath_;
    bool doubleTempo_ = false, halfTempo_ = false, forceTempo_ = false;
    float forcedTempo_ = 0.0f;
};

#endif
