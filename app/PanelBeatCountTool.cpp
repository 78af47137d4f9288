#include "app/PanelBeatCountTool.h"

#include "framework/GUIPanelGroup.h"

PanelBeatCountTool::PanelBeatCountTool(GUIPanelGroup* group, ApplicationInterface* /*application*/,
                                       const std::string& word)
    : GUIPanel(830, 10, "velkarn/panelGroup/" + word, true),
      counts_(*this, NumberButtonGroup::beatCounts(), 923, 27, 0, 32) {
    group->add(this);
}
