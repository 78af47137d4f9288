// A radio group of number buttons ("button/numbers/<value>", the value
// printed as by "%g") standing in a tool or effect panel in a line, the
// first or a chosen one down at first. Presses only move the selection;
// the panel's tool reads the selected value when it needs it.
#ifndef VELKARN_APP_NUMBERBUTTONGROUP_H
#define VELKARN_APP_NUMBERBUTTONGROUP_H

#include "framework/GUIButtonManager.h"

#include <vector>

class GUIButton;
class GUIPanel;

class NumberButtonGroup {
public:
    // The beat counts of the tempo, repeat, skip, pause and reverse panels.
    static const std::vector<float>& beatCounts();
    // A toggle's state set without telling its client: down or up.
    static void setButtonState(GUIButton* button, bool down);

    // Button k at (x + k * stepX, y + k * stepY), added to the panel, which
    // owns it. The client (may be null) hears of each press.
    NumberButtonGroup(GUIPanel& panel, std::vector<float> values, int x, int y, int stepX, int stepY,
                      int initial = 0, ButtonGroupClient* client = nullptr);
    NumberButtonGroup(const NumberButtonGroup&) = delete;
    NumberButtonGroup& operator=(const NumberButtonGroup&) = delete;

    int selectedIndex() const { return manager_.selectedIndex(); }
    float value() const { return values_[static_cast<std::size_t>(selectedIndex())]; }
    // Selects the button showing the value; false (and no change) when none
    // does.
    bool selectValue(float value);
    void select(int index) { manager_.select(index); }
    GUIButton* button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }
    int count() const { return static_cast<int>(buttons_.size()); }
    const GUIButtonManager* manager() const { return &manager_; }

private:
    std::vector<float> values_;
    std::vector<GUIButton*> buttons_;
    GUIButtonManager manager_;
};

#endif
