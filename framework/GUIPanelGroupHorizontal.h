// The panel group whose selector band runs along its top edge, selectorSize
// pixels high; the tabs divide its width evenly.
#ifndef VELKARN_FRAMEWORK_GUIPANELGROUPHORIZONTAL_H
#define VELKARN_FRAMEWORK_GUIPANELGROUPHORIZONTAL_H

#include "framework/GUIPanelGroup.h"

class GUIPanelGroupHorizontal : public GUIPanelGroup {
public:
    GUIPanelGroupHorizontal(int panelCount, int selectorSize, GUIPanelGroupClient* client);

protected:
    int selectorIndex(const GUIPoint& point) const override;
};

#endif
