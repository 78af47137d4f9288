// A tool panel that asks only for a number of beats: the column of the nine
// beat counts (1 .. 128), 1 chosen at first. The skip, pause and reverse
// panels are this panel on their own backgrounds.
#ifndef VELKARN_APP_PANELBEATCOUNTTOOL_H
#define VELKARN_APP_PANELBEATCOUNTTOOL_H

#include "app/NumberButtonGroup.h"
#include "framework/GUIPanel.h"

#include <string>

class ApplicationInterface;
class GUIPanelGroup;

class PanelBeatCountTool : public GUIPanel {
public:
    int beatCount() const { return static_cast<int>(counts_.value()); }
    // Selects the count's button (a count not in the column changes
    // nothing).
    void setBeatCount(int count) { counts_.selectValue(static_cast<float>(count)); }
    const NumberButtonGroup& counts() const { return counts_; }

protected:
    // On "velkarn/panelGroup/<word>", added to the group.
    PanelBeatCountTool(GUIPanelGroup* group, ApplicationInterface* application, const std::string& word);

private:
    NumberButtonGroup counts_;
};

#endif
