// The tempo tool's panel: over how many beats the tempo weight moves, and
// by how large a step (1, 10 or 100 hundredths).
#ifndef VELKARN_APP_PANELTEMPO_H
#define VELKARN_APP_PANELTEMPO_H

#include "app/NumberButtonGroup.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIPanel.h"

#include <array>

class ApplicationInterface;
class GUIButton;
class GUIPanelGroup;

class PanelTempo : public GUIPanel {
public:
    PanelTempo(GUIPanelGroup* group, ApplicationInterface* application);

    int beatCount() const { return static_cast<int>(counts_.value()); }
    // 10 raised to the chosen step button's index: 1, 10 or 100.
    int tempoStep() const;
    // Selects the buttons of a beat count and a step (values not offered
    // change nothing).
    void setChoice(int beatCount, int tempoStep);

    const NumberButtonGroup& counts() const { return counts_; }
    GUIButton* stepButton(int index) const { return steps_[static_cast<std::size_t>(index)]; }

private:
    NumberButtonGroup counts_;
    std::array<GUIButton*, 3> steps_{};
    GUIButtonManager step_;
};

#endif
