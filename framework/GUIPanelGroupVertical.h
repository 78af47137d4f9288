// The panel group whose selector band runs along its left edge, selectorSize
// pixels wide; the tabs divide its height evenly.
#ifndef VELKARN_FRAMEWORK_GUIPANELGROUPVERTICAL_H
#define VELKARN_FRAMEWORK_GUIPANELGROUPVERTICAL_H

#include "framework/GUIPanelGroup.h"

class GUIPanelGroupVertical : public GUIPanelGroup {
public:
    GUIPanelGroupVertical(int panelCount, int selectorSize, GUIPanelGroupClient* client);

protected:
    int selectorIndex(const GUIPoint& point) const override;
};

#endif
