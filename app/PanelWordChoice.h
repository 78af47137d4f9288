// A tool panel that asks for one of three words: a radio group of three
// buttons "velkarn/button/<word>/<choice>" in a column at x 903 from y 27,
// the first chosen at first. The delete and move panels are this panel.
#ifndef VELKARN_APP_PANELWORDCHOICE_H
#define VELKARN_APP_PANELWORDCHOICE_H

#include "framework/GUIButtonManager.h"
#include "framework/GUIPanel.h"

#include <array>
#include <string>

class ApplicationInterface;
class GUIButton;
class GUIPanelGroup;

class PanelWordChoice : public GUIPanel {
public:
    GUIButton* button(int index) const { return buttons_[static_cast<std::size_t>(index)]; }

protected:
    PanelWordChoice(GUIPanelGroup* group, const std::string& word, const std::array<std::string, 3>& choices);

    const std::string& selectedWord() const { return choices_[static_cast<std::size_t>(choice_.selectedIndex())]; }
    // Selects the word's button; an unknown word changes nothing.
    void selectWord(const std::string& word);

private:
    std::array<std::string, 3> choices_;
    std::array<GUIButton*, 3> buttons_{};
    GUIButtonManager choice_;
};

#endif
