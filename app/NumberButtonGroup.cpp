#include "app/NumberButtonGroup.h"

#include "framework/GUIButton.h"
#include "framework/GUIPanel.h"

#include <cstdio>
#include <utility>

const std::vector<float>& NumberButtonGroup::beatCounts() {
    static const std::vector<float> counts{1, 2, 3, 4, 8, 16, 32, 64, 128};
    return counts;
}

void NumberButtonGroup::setButtonState(GUIButton* button, bool down) {
    if (down) {
        button->setDown();
    } else {
        button->setUp();
    }
}

NumberButtonGroup::NumberButtonGroup(GUIPanel& panel, std::vector<float> values, int x, int y, int stepX, int stepY,
                                     int initial, ButtonGroupClient* client)
    : values_(std::move(values)), manager_(client) {
    for (std::size_t k = 0; k < values_.size(); ++k) {
        char key[48];
        std::snprintf(key, sizeof key, "button/numbers/%g", static_cast<double>(values_[k]));
        const int i = static_cast<int>(k);
        auto* button = new GUIButton(x + i * stepX, y + i * stepY, key, &manager_, GUIButton::latching, i == initial);
        panel.add(button);
        manager_.add(button);
        buttons_.push_back(button);
    }
}

bool NumberButtonGroup::selectValue(float value) {
    for (std::size_t k = 0; k < values_.size(); ++k) {
        if (values_[k] == value) {
            manager_.select(static_cast<int>(k));
            return true;
        }
    }
    return false;
}
