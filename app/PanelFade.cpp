#include "app/PanelFade.h"

#include "framework/GUIButton.h"
#include "framework/GUIPanelGroup.h"

namespace {

const std::string typeWords[] = {"in", "out"};

}  // namespace

PanelFade::PanelFade(GUIPanelGroup* group, ApplicationInterface* /*application*/)
    : GUIPanel(830, 10, "velkarn/panelGroup/fade", true),
      type_(nullptr),
      beats_(*this, {4, 8, 16, 32, 64, 128, 256}, 923, 68, 0, 32),
      cross_(new GUIButton(903, 307, "velkarn/button/fade/cross", nullptr, GUIButton::toggle, true)),
      trim_(new GUIButton(903, 339, "velkarn/button/fade/trim", nullptr, GUIButton::toggle, true)),
      tempo_(new GUIButton(903, 371, "velkarn/button/fade/tempo", nullptr, GUIButton::toggle, true)) {
    for (int i = 0; i < 2; ++i) {
        auto* button = new GUIButton(i == 0 ? 900 : 943, 27, "velkarn/button/fade/" + typeWords[i], &type_,
                                     GUIButton::latching, i == 0);
        add(button);
        type_.add(button);
        types_[static_cast<std::size_t>(i)] = button;
    }
    add(cross_);
    add(trim_);
    add(tempo_);
    group->add(this);
}

const std::string& PanelFade::fadeType() const { return typeWords[type_.selectedIndex()]; }
bool PanelFade::isCross() const { return cross_->isDown(); }
bool PanelFade::isTrim() const { return trim_->isDown(); }
bool PanelFade::isTempo() const { return tempo_->isDown(); }

void PanelFade::setChoice(const std::string& type, int beats, bool cross, bool trim, bool tempo) {
    if (type == typeWords[0]) type_.select(0);
    if (type == typeWords[1]) type_.select(1);
    beats_.selectValue(static_cast<float>(beats));
    NumberButtonGroup::setButtonState(cross_, cross);
    NumberButtonGroup::setButtonState(trim_, trim);
    NumberButtonGroup::setButtonState(tempo_, tempo);
}
