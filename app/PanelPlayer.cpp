#include "app/PanelPlayer.h"

#include "app/ApplicationInterface.h"
#include "app/Player.h"
#include "framework/Color.h"
#include "framework/FileUtilities.h"
#include "framework/Font.h"
#include "framework/GUIButton.h"
#include "framework/GUIPanelGroup.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/ResourceArchive.h"
#include "framework/Window.h"
#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"
#include "platform/Paths.h"

#include <cstdio>
#include <optional>

namespace {

const Color textColour{226, 228, 232, 255};
constexpr std::size_t entryCharacters = 64;

const Font& narrowFont() {
    static const Font font(1);
    return font;
}

// "%d" of the control's text; nothing when it does not start with a number.
std::optional<int> readNumber(const platform::Dialog& dialog, int id) {
    int value = 0;
    if (std::sscanf(dialog.text(id, entryCharacters).c_str(), "%d", &value) != 1) return std::nullopt;
    return value;
}

// "Player Settings": the controls show the player; OK stops it, then reads
// them. An entry that is not a number keeps the player's value, and a
// negative overlap reads as none, which still lets the player drop.
class SettingsHandler : public platform::DialogHandler {
public:
    explicit SettingsHandler(Player& player) : player_(player) {}

    void init(platform::Dialog& dialog) override {
        for (int id : {PanelPlayer::moveUpControl, PanelPlayer::moveDownControl, PanelPlayer::fadeControl}) {
            reportWindowsError(dialog.hasControl(id), __FILE__, __LINE__);
        }
        dialog.setChecked(PanelPlayer::moveUpControl, player_.isMovingUp());
        dialog.setChecked(PanelPlayer::moveDownControl, !player_.isMovingUp());
        setNumber(dialog, PanelPlayer::minimumTempoControl, static_cast<int>(player_.minimumTempo()));
        setNumber(dialog, PanelPlayer::maximumTempoControl, static_cast<int>(player_.maximumTempo()));
        setNumber(dialog, PanelPlayer::overlapControl, player_.overlap());
        dialog.setChecked(PanelPlayer::fadeControl, player_.isFading());
    }

    void command(platform::Dialog& dialog, int controlId) override {
        if (controlId == platform::okButton) {
            player_.stop();
            read(dialog);
            dialog.end(platform::okButton);
        } else if (controlId == platform::cancelButton) {
            dialog.end(platform::cancelButton);
        }
    }

private:
    static void setNumber(platform::Dialog& dialog, int id, int value) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", value);
        reportWindowsError(dialog.setText(id, text), __FILE__, __LINE__);
    }

    void read(const platform::Dialog& dialog) {
        player_.setMovingUp(dialog.checked(PanelPlayer::moveUpControl));
        if (const auto value = readNumber(dialog, PanelPlayer::minimumTempoControl)) {
            player_.setMinimumTempo(static_cast<float>(*value));
        }
        if (const auto value = readNumber(dialog, PanelPlayer::maximumTempoControl)) {
            player_.setMaximumTempo(static_cast<float>(*value));
        }
        if (const auto value = readNumber(dialog, PanelPlayer::overlapControl)) player_.setOverlap(*value < 0 ? 0 : *value);
        player_.setFading(dialog.checked(PanelPlayer::fadeControl));
    }

    Player& player_;
};

}  // namespace

PanelPlayer::PanelPlayer(GUIPanelGroup* group, ApplicationInterface* application)
    : GUIPanel(10, 445, "velkarn/panelGroup/player", true),
      application_(application),
      play_(new GUIButton(34, 504, "velkarn/button/player/play", this, GUIButton::toggle, false)),
      setCrate_(new GUIButton(34, 549, "velkarn/button/player/setCrate", this, GUIButton::momentary, false)),
      settings_(new GUIButton(34, 594, "velkarn/button/player/settings", this, GUIButton::momentary, false)),
      crateText_(new GUITextHorizontal(143, 558, 640, 20, &narrowFont(), textColour, 0, nullptr)) {
    add(play_);
    add(setCrate_);
    add(settings_);
    add(crateText_);
    group->add(this);
}

PanelPlayer::~PanelPlayer() = default;

void PanelPlayer::buttonPressed(GUIButton* button) {
    if (button == play_) {
        application_->player()->start();
    } else if (button == setCrate_) {
        chooseCrate();
        setCrate_->setUp();
    } else if (button == settings_) {
        runSettings();
        settings_->setUp();
    }
}

void PanelPlayer::buttonReleased(GUIButton* button) {
    if (button == play_) application_->player()->stop();
}

void PanelPlayer::setRunning(bool running) {
    if (running == play_->isDown()) return;
    if (running) {
        play_->setDown();
    } else {
        play_->setUp();
    }
}

std::string PanelPlayer::crateText() const { return crateText_->text(); }

void PanelPlayer::chooseCrate() {
    Window* owner = application_->mainWindow();
    std::string path;
    if (!chooseDirectory(owner != nullptr ? owner->handle() : platform::noWindow,
                         "Select the root directory for the player.", path)) {
        return;
    }
    Player* player = application_->player();
    player->stop();
    player->loadCrate(path);
    crateText_->setText(platform::nativePath(path));
}

void PanelPlayer::runSettings() {
    const std::optional<platform::DialogTemplate> dialog = loadDialogTemplate(settingsDialog);
    if (!dialog) return;
    SettingsHandler handler(*application_->player());
    Window* owner = application_->mainWindow();
    const platform::WindowHandle handle = owner != nullptr ? owner->handle() : platform::noWindow;
    if (platform::runDialog(handle, *dialog, handler) < 0) {
        logMessage("Dialog " + std::to_string(settingsDialog) + " could not be shown.", __FILE__, __LINE__);
    }
}
