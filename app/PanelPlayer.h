// The automatic player's panel of the function group: the play toggle
// (press starts the player, release stops it; the display refresh makes it
// follow the player), the crate chooser with the crate's line, and the
// settings dialog "Player Settings".
//
// User-interface thread only.
#ifndef VELKARN_APP_PANELPLAYER_H
#define VELKARN_APP_PANELPLAYER_H

#include "framework/ButtonClient.h"
#include "framework/GUIPanel.h"

#include <string>

class ApplicationInterface;
class GUIButton;
class GUIPanelGroup;
class GUITextHorizontal;
class Player;

class PanelPlayer : public GUIPanel, public ButtonClient {
public:
    static constexpr int settingsDialog = 114;
    static constexpr int moveUpControl = 1065;
    static constexpr int moveDownControl = 1066;
    static constexpr int minimumTempoControl = 1067;
    static constexpr int maximumTempoControl = 1068;
    static constexpr int overlapControl = 1069;
    static constexpr int fadeControl = 1070;

    // Adds itself to the group. The player is reached through the
    // application when a button is used.
    PanelPlayer(GUIPanelGroup* group, ApplicationInterface* application);
    ~PanelPlayer() override;
    PanelPlayer(const PanelPlayer&) = delete;
    PanelPlayer& operator=(const PanelPlayer&) = delete;

    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;

    // The display refresh: the play toggle down while the player runs.
    void setRunning(bool running);

    GUIButton* playButton() const { return play_; }
    GUIButton* setCrateButton() const { return setCrate_; }
    GUIButton* settingsButton() const { return settings_; }
    std::string crateText() const;

    // The dialog modal over the main window; OK stops the player and then
    // reads the controls into it.
    void runSettings();

private:
    void chooseCrate();

    ApplicationInterface* application_;
    GUIButton* play_;
    GUIButton* setCrate_;
    GUIButton* settings_;
    GUITextHorizontal* crateText_;
};

#endif
