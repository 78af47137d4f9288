// The fade tool's panel: in or out, over how many beats, and the cross,
// trim and tempo toggles that the fade passes on.
#ifndef VELKARN_APP_PANELFADE_H
#define VELKARN_APP_PANELFADE_H

#include "app/NumberButtonGroup.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIPanel.h"

#include <array>
#include <string>

class ApplicationInterface;
class GUIButton;
class GUIPanelGroup;

class PanelFade : public GUIPanel {
public:
    PanelFade(GUIPanelGroup* group, ApplicationInterface* application);

    // "in" or "out".
    const std::string& fadeType() const;
    int fadeBeats() const { return static_cast<int>(beats_.value()); }
    bool isCross() const;
    bool isTrim() const;
    bool isTempo() const;
    // Sets the buttons as given ("in" or "out"; beat counts not offered
    // change nothing).
    void setChoice(const std::string& type, int beats, bool cross, bool trim, bool tempo);

    GUIButton* typeButton(int index) const { return types_[static_cast<std::size_t>(index)]; }
    const NumberButtonGroup& beats() const { return beats_; }

private:
    std::array<GUIButton*, 2> types_{};
    GUIButtonManager type_;
    NumberButtonGroup beats_;
    GUIButton* cross_;
    GUIButton* trim_;
    GUIButton* tempo_;
};

#endif
