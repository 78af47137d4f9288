#include "app/skin/SkinSettingsPanel.h"

#include "app/skin/SkinPanelArt.h"

namespace {

constexpr const char* panelKey = "velkarn/panelGroup/settings";
constexpr const char* groupName = "settingsPages";

}  // namespace

void addSettingsPanelRows(SkinTable& table) {
    table.groups.push_back({groupName, false, 25});
    for (SkinRow& row : table.rows) {
        if (row.key == panelKey) row.decorate = paintPanelMarks;
    }
    const std::pair<const char*, const char*> pages[] = {
        {"settingsVarious", "VARIOUS"}, {"settingsSound", "SOUND"},   {"settingsBrowser", "BROWSER"},
        {"settingsMidi", "MIDI"},       {"settingsAudio1", "OUTPUT 1"}, {"settingsAudio2", "OUTPUT 2"}};
    for (const auto& [word, label] : pages) {
        SkinRow row = skinRow(SkinKind::Panel, std::string("velkarn/panelGroup/") + word, 620, 135, 159, 490,
                              panelKey, label);
        row.group = groupName;
        row.decorate = paintPanelMarks;
        table.rows.push_back(row);
    }

    // Buttons: (page, word, place, size, label); previous and next stand
    // where the first output's page shows them, the MIDI page uses them too.
    struct Button {
        const char* page;
        const char* word;
        int x, y, width, height;
        const char* label;
    };
    const Button buttons[] = {
        {"", "save", 35, 522, 100, 32, "SAVE"},
        {"", "factory", 35, 559, 100, 32, "FACTORY"},
        {"settingsVarious", "overlay", 637, 549, 64, 28, "OVERLAY"},
        {"settingsVarious", "WMA", 708, 549, 64, 28, "WMA"},
        {"settingsVarious", "PMD", 637, 587, 64, 28, "PMD"},
        {"settingsVarious", "SiLabs", 708, 587, 64, 28, "SILABS"},
        {"settingsBrowser", "exitOnLoad", 183, 547, 150, 28, "CLOSE ON LOAD"},
        {"settingsMidi", "on", 234, 548, 52, 28, "ON"},
        {"settingsMidi", "map", 293, 548, 60, 28, "MAP"},
        {"settingsMidi", "generateClock", 234, 587, 119, 28, "CLOCK OUT"},
        {"settingsAudio1", "multimedia", 182, 547, 100, 28, "WAVE OUT"},
        {"settingsAudio1", "DirectSound", 288, 547, 100, 28, "DIRECTSOUND"},
        {"settingsAudio1", "previous", 527, 586, 80, 28, "PREVIOUS"},
        {"settingsAudio1", "next", 612, 586, 80, 28, "NEXT"},
        {"settingsAudio2", "active", 182, 547, 100, 28, "ACTIVE"},
    };
    for (const Button& b : buttons) {
        const std::string parent = *b.page == '\0' ? std::string(panelKey) : std::string("velkarn/panelGroup/") + b.page;
        table.rows.push_back(skinRow(SkinKind::Button, std::string("velkarn/button/settings/") + b.word, b.width,
                                     b.height, b.x, b.y, parent, b.label));
    }
    // The filter order's buttons 2, 4 and 8 have rows where the tempo panel
    // shows them; 6 appears first here.
    SkinRow six = skinRow(SkinKind::Button, "button/numbers/6", 32, 28, 372, 587, "velkarn/panelGroup/settingsSound");
    six.decorate = paintSmallLabel;
    table.rows.push_back(six);
}
