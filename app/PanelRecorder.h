// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the recorder panel on its background, keeping the two texts
// it was told to show.
#ifndef VELKARN_APP_PANELRECORDER_H
#define VELKARN_APP_PANELRECORDER_H

#include "app/ApplicationInterface.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <string>

class PanelRecorder : public GUIPanel {
public:
    PanelRecorder(GUIPanelGroup* group, ApplicationInterface* /*application*/)
        : GUIPanel(10, 445, "velkarn/panelGroup/recorder", true) {
        group->add(this);
    }

    void setRecordingText(const std::string& text) { recordingText_ = text; }
    void setListText(const std::string& text) { listText_ = text; }
    const std::string& recordingText() const { return recordingText_; }
    const std::string& listText() const { return listText_; }

private:
    std::string recordingText_;
    std::string listText_;
};

#endif
