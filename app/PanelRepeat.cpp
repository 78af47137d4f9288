#include "app/PanelRepeat.h"

#include "framework/GUIButton.h"
#include "framework/GUIPanelGroup.h"

PanelRepeat::PanelRepeat(GUIPanelGroup* group, ApplicationInterface* /*application*/)
    : GUIPanel(830, 10, "velkarn/panelGroup/repeat", true),
      first_(*this, NumberButtonGroup::beatCounts(), 900, 27, 0, 32),
      second_(*this, NumberButtonGroup::beatCounts(), 943, 27, 0, 32),
      overwrite_(new GUIButton(903, 332, "velkarn/button/repeat/overwrite", nullptr, GUIButton::toggle, false)) {
    add(overwrite_);
    group->add(this);
}

bool PanelRepeat::overwrite() const { return overwrite_->isDown(); }

void PanelRepeat::setChoice(int first, int second, bool overwrite) {
    first_.selectValue(static_cast<float>(first));
    second_.selectValue(static_cast<float>(second));
    NumberButtonGroup::setButtonState(overwrite_, overwrite);
}
