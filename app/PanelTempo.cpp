#include "app/PanelTempo.h"

#include "framework/GUIButton.h"
#include "framework/GUIPanelGroup.h"

#include <string>

namespace {
constexpr int stepValues[] = {1, 10, 100};
}

PanelTempo::PanelTempo(GUIPanelGroup* group, ApplicationInterface* /*application*/)
    : GUIPanel(830, 10, "velkarn/panelGroup/tempo", true),
      counts_(*this, NumberButtonGroup::beatCounts(), 923, 27, 0, 32),
      step_(nullptr) {
    for (int i = 0; i < 3; ++i) {
        auto* button = new GUIButton(909, 322 + 32 * i, "velkarn/button/tempo/" + std::to_string(i), &step_,
                                     GUIButton::latching, i == 2);
        add(button);
        step_.add(button);
        steps_[static_cast<std::size_t>(i)] = button;
    }
    group->add(this);
}

int PanelTempo::tempoStep() const { return stepValues[step_.selectedIndex()]; }

void PanelTempo::setChoice(int beatCount, int tempoStep) {
    counts_.selectValue(static_cast<float>(beatCount));
    for (int i = 0; i < 3; ++i) {
        if (stepValues[i] == tempoStep) step_.select(i);
    }
}
