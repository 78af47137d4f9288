#include "app/PanelWordChoice.h"

#include "framework/GUIButton.h"
#include "framework/GUIPanelGroup.h"

PanelWordChoice::PanelWordChoice(GUIPanelGroup* group, const std::string& word,
                                 const std::array<std::string, 3>& choices)
    : GUIPanel(830, 10, "velkarn/panelGroup/" + word, true), choices_(choices), choice_(nullptr) {
    for (std::size_t i = 0; i < choices_.size(); ++i) {
        auto* button = new GUIButton(903, 27 + 32 * static_cast<int>(i), "velkarn/button/" + word + "/" + choices_[i],
                                     &choice_, GUIButton::latching, i == 0);
        add(button);
        choice_.add(button);
        buttons_[i] = button;
    }
    group->add(this);
}

void PanelWordChoice::selectWord(const std::string& word) {
    for (std::size_t i = 0; i < choices_.size(); ++i) {
        if (choices_[i] == word) choice_.select(static_cast<int>(i));
    }
}
