#ifndef VELKARN_FRAMEWORK_GUIPANELGROUPCLIENT_H
#define VELKARN_FRAMEWORK_GUIPANELGROUPCLIENT_H

class GUIPanelGroup;

// Told when a panel group shows another panel, or its shown panel's tab
// was clicked again (previous == current then).
class GUIPanelGroupClient {
public:
    virtual ~GUIPanelGroupClient() = default;
    virtual void panelChanged(GUIPanelGroup* /*group*/, int /*previous*/, int /*current*/) {}
};

#endif
