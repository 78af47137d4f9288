// The reverse tool's panel: how many beats the tool works on.
#ifndef VELKARN_APP_PANELREVERSE_H
#define VELKARN_APP_PANELREVERSE_H

#include "app/PanelBeatCountTool.h"

class PanelReverse : public PanelBeatCountTool {
public:
    PanelReverse(GUIPanelGroup* group, ApplicationInterface* application) : PanelBeatCountTool(group, application, "reverse") {}
};

#endif
