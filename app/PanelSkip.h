// The skip tool's panel: how many beats the tool works on.
#ifndef VELKARN_APP_PANELSKIP_H
#define VELKARN_APP_PANELSKIP_H

#include "app/PanelBeatCountTool.h"

class PanelSkip : public PanelBeatCountTool {
public:
    PanelSkip(GUIPanelGroup* group, ApplicationInterface* application) : PanelBeatCountTool(group, application, "skip") {}
};

#endif
