// The player panel on the real main window (offscreen), clicked through
// Qt's event path: the play toggle, the crate through the scripted folder
// chooser, and the settings dialog through its responder.
#include "AppTestSupport.h"
#include "BrowserTestSupport.h"
#include "app/PanelPlayer.h"
#include "app/Player.h"
#include "framework/GUIButton.h"
#include "framework/Window.h"
#include "platform/Paths.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "tools/BrowserData.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

namespace input = platform::test_input;

class PlayerPanel : public app_test::AppTest {
protected:
    Velkarn& open() {
        Velkarn& app = start();
        panel = app.panelPlayer();
        player = app.player();
        // The player's tab: the fourth of six across the function band.
        EXPECT_TRUE(input::click(handle(), {10 + 800 * 7 / 12, 460}));
        EXPECT_TRUE(panel->isVisible());
        return app;
    }
    platform::WindowHandle handle() { return application->mainWindow()->handle(); }
    void click(GUIButton* button) {
        ASSERT_TRUE(input::click(handle(), {(button->x0 + button->x1) / 2, (button->y0 + button->y1) / 2}));
    }
    void refresh() { application->windowTimer(application->mainWindow()); }
    void writeCrate(const std::string& directory, const std::vector<float>& tempos) {
        for (float bpm : tempos) {
            browser_test::SongSpec spec;
            spec.seconds = 2.0;
            spec.bpm = bpm;
            browser_test::writeSong(directory + "/t" + std::to_string(static_cast<int>(bpm)) + ".wav", spec);
        }
    }

    PanelPlayer* panel = nullptr;
    Player* player = nullptr;
};

TEST_F(PlayerPanel, PlayToggleStartsAndStopsAndFollowsThePlayer) {
    open();
    EXPECT_FALSE(panel->playButton()->isDown());
    click(panel->playButton());
    EXPECT_TRUE(player->isRunning());
    EXPECT_TRUE(panel->playButton()->isDown());
    click(panel->playButton());
    EXPECT_FALSE(player->isRunning());
    EXPECT_FALSE(panel->playButton()->isDown());

    // The display refresh moves the toggle to the player's state.
    player->start();
    refresh();
    EXPECT_TRUE(panel->playButton()->isDown());
    player->stop();
    refresh();
    EXPECT_FALSE(panel->playButton()->isDown());
}

TEST_F(PlayerPanel, SetCrateLoadsTheChosenDirectoryAndStopsThePlayer) {
    open();
    const std::string crate = home->path() + "/crate";
    writeCrate(crate, {118.0f, 100.0f, 126.0f});
    player->start();
    platform::uiScript::clearRequests();
    platform::uiScript::pushPath(crate);
    click(panel->setCrateButton());
    const auto requests = platform::uiScript::requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, platform::UiRequestKind::FolderChooser);
    EXPECT_EQ(requests[0].text, "Select the root directory for the player.");
    EXPECT_FALSE(requests[0].unscripted);
    EXPECT_FALSE(player->isRunning());
    ASSERT_EQ(player->crate().shownCount(), 3);
    EXPECT_EQ(player->crate().filteredRecord(0).tempo, 100.0f);
    EXPECT_EQ(player->crate().filteredRecord(2).tempo, 126.0f);
    EXPECT_EQ(panel->crateText(), platform::nativePath(crate));
    EXPECT_FALSE(panel->setCrateButton()->isDown());

    // A cancelled chooser leaves the crate, its line and a running player.
    player->start();
    platform::uiScript::pushCancel();
    click(panel->setCrateButton());
    EXPECT_TRUE(player->isRunning());
    EXPECT_EQ(player->crate().shownCount(), 3);
    EXPECT_EQ(panel->crateText(), platform::nativePath(crate));
    EXPECT_TRUE(app_test::boxes().empty());
}

// What the dialog showed, and what the user leaves in it before OK or
// Cancel.
struct SettingsCase {
    const char* name;
    bool ok;
    bool down;
    const char* minimum;
    const char* maximum;
    const char* overlap;
    bool fade;
    // The player afterwards; nothing: its value kept.
    bool up;
    std::optional<float> minimumAfter;
    std::optional<float> maximumAfter;
    std::optional<int> overlapAfter;
    bool fadeAfter;
};

TEST_F(PlayerPanel, SettingsDialogShowsThePlayerAndOkStopsThenReads) {
    open();
    const SettingsCase cases[] = {
        {"every control read", true, true, "115", "130", "16", false, false, 115.0f, 130.0f, 16, false},
        {"leading numbers read as %d", true, false, "12x", " 99", "+8 beats", true, true, 12.0f, 99.0f, 8, true},
        {"no number keeps the player's value", true, false, "abc", "", "x1", true, true, {}, {}, {}, true},
        {"a negative overlap reads as none", true, false, "-3", "300", "-5", true, true, -3.0f, 300.0f, 0, true},
        {"cancel changes nothing", false, true, "115", "130", "16", false, true, {}, {}, {}, true},
    };
    for (const SettingsCase& c : cases) {
        SCOPED_TRACE(c.name);
        player->setMovingUp(true);
        player->setMinimumTempo(41.9f);
        player->setMaximumTempo(219.5f);
        player->setOverlap(63);
        player->setFading(true);
        player->stop();
        player->start();
        std::vector<std::string> shown;
        platform::uiScript::setDialogResponder(PanelPlayer::settingsDialog, [&](platform::Dialog& dialog) {
            shown = {dialog.caption(),
                     dialog.checked(PanelPlayer::moveUpControl) ? "up" : "-",
                     dialog.checked(PanelPlayer::moveDownControl) ? "down" : "-",
                     dialog.text(PanelPlayer::minimumTempoControl, 64),
                     dialog.text(PanelPlayer::maximumTempoControl, 64),
                     dialog.text(PanelPlayer::overlapControl, 64),
                     dialog.checked(PanelPlayer::fadeControl) ? "fade" : "-"};
            if (c.down) dialog.setChecked(PanelPlayer::moveDownControl, true);
            dialog.setText(PanelPlayer::minimumTempoControl, c.minimum);
            dialog.setText(PanelPlayer::maximumTempoControl, c.maximum);
            dialog.setText(PanelPlayer::overlapControl, c.overlap);
            dialog.setChecked(PanelPlayer::fadeControl, c.fade);
            dialog.press(c.ok ? platform::okButton : platform::cancelButton);
        });
        click(panel->settingsButton());
        EXPECT_EQ(shown, (std::vector<std::string>{"Player Settings", "up", "-", "41", "219", "63", "fade"}));
        EXPECT_EQ(player->isRunning(), !c.ok);
        EXPECT_EQ(player->isMovingUp(), c.up);
        // A kept tempo is the player's own, not the truncated text.
        EXPECT_EQ(player->minimumTempo(), c.minimumAfter.value_or(41.9f));
        EXPECT_EQ(player->maximumTempo(), c.maximumAfter.value_or(219.5f));
        EXPECT_EQ(player->overlap(), c.overlapAfter.value_or(63));
        EXPECT_EQ(player->isFading(), c.fadeAfter);
        EXPECT_FALSE(panel->settingsButton()->isDown());
    }
    EXPECT_TRUE(app_test::boxes().empty());
}

TEST_F(PlayerPanel, ShowsTheMovingDownTrajectory) {
    open();
    player->setMovingUp(false);
    player->setFading(false);
    std::vector<bool> checks;
    platform::uiScript::setDialogResponder(PanelPlayer::settingsDialog, [&](platform::Dialog& dialog) {
        checks = {dialog.checked(PanelPlayer::moveUpControl), dialog.checked(PanelPlayer::moveDownControl),
                  dialog.checked(PanelPlayer::fadeControl)};
        dialog.press(platform::okButton);
    });
    click(panel->settingsButton());
    EXPECT_EQ(checks, (std::vector<bool>{false, true, false}));
    EXPECT_FALSE(player->isMovingUp());
    EXPECT_FALSE(player->isFading());
}

}  // namespace
