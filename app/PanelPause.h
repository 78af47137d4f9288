// The pause tool's panel: how many beats the tool works on.
#ifndef VELKARN_APP_PANELPAUSE_H
#define VELKARN_APP_PANELPAUSE_H

#include "app/PanelBeatCountTool.h"

class PanelPause : public PanelBeatCountTool {
public:
    PanelPause(GUIPanelGroup* group, ApplicationInterface* application) : PanelBeatCountTool(group, application, "pause") {}
};

#endif
