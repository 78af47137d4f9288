// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the fade tool's panel on its background, answering its
// tool's questions with the panel's initial choices (setters for tests).
#ifndef VELKARN_APP_PANELFADE_H
#define VELKARN_APP_PANELFADE_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <string>

class PanelFade : public GUIPanel {
public:
    PanelFade(GUIPanelGroup* group, ApplicationInterface* application)
        : GUIPanel(830, 10, "velkarn/panelGroup/fade", true), application_(application) {
        group->add(this);
    }

    // "in" or "out".
    const std::string& fadeType() const { return type_; }
    int fadeBeats() const { return beats_; }
    bool isCross() const { return cross_; }
    bool isTrim() const { return trim_; }
    bool isTempo() const { return tempo_; }
    void setChoice(const std::string& type, int beats, bool cross, bool trim, bool tempo) {
        type_ = type;
        beats_ = beats;
        cross_ = cross;
        trim_ = trim;
        tempo_ = tempo;
    }

private:
    ApplicationInterface* application_;
    std::string type_ = "in";
    int beats_ = 4;
    bool cross_ = true, trim_ = true, tempo_ = true;
};

#endif
