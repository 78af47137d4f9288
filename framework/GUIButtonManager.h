// Makes a radio group of up to 50 buttons: it is the ButtonClient of its
// buttons (they must be constructed with it as their client), keeps at most
// one of them down and tells its ButtonGroupClient (may be null, not owned)
// the index of the one pressed. The buttons are not owned. User-interface
// thread only.
#ifndef VELKARN_FRAMEWORK_GUIBUTTONMANAGER_H
#define VELKARN_FRAMEWORK_GUIBUTTONMANAGER_H

#include "framework/ButtonClient.h"

#include <vector>

class ButtonGroupClient;

class GUIButtonManager : public ButtonClient {
public:
    static constexpr int maximumButtons = 50;

    explicit GUIButtonManager(ButtonGroupClient* client);
    ~GUIButtonManager() override;

    GUIButtonManager(const GUIButtonManager&) = delete;
    GUIButtonManager& operator=(const GUIButtonManager&) = delete;

    // The 51st stops the program with "Too many buttons to manage.".
    void add(GUIButton* button);
    // The first button that is down; 0 also when none is.
    int selectedIndex() const;
    // That button down, every other one up (only changed ones redraw); an
    // index out of range sets them all up. The client is not told.
    void select(int index);
    int count() const { return static_cast<int>(buttons_.size()); }

    // The others go up, then the client hears the index of the button.
    void buttonPressed(GUIButton* button) override;

private:
    ButtonGroupClient* client_;
    std::vector<GUIButton*> buttons_;
};

#endif
