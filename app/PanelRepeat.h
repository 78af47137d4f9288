// The repeat tool's panel: two columns of beat counts (the left one's and
// the right one's choice) and the overwrite toggle.
#ifndef VELKARN_APP_PANELREPEAT_H
#define VELKARN_APP_PANELREPEAT_H

#include "app/NumberButtonGroup.h"
#include "framework/GUIPanel.h"

class ApplicationInterface;
class GUIButton;
class GUIPanelGroup;

class PanelRepeat : public GUIPanel {
public:
    PanelRepeat(GUIPanelGroup* group, ApplicationInterface* application);

    int firstCount() const { return static_cast<int>(first_.value()); }
    int secondCount() const { return static_cast<int>(second_.value()); }
    bool overwrite() const;
    void setChoice(int first, int second, bool overwrite);

    const NumberButtonGroup& firstColumn() const { return first_; }
    const NumberButtonGroup& secondColumn() const { return second_; }

private:
    NumberButtonGroup first_;
    NumberButtonGroup second_;
    GUIButton* overwrite_;
};

#endif
