#include "app/skin/SkinTable.h"

#include "app/skin/SkinBeatMapper.h"
#include "app/skin/SkinBrowser.h"
#include "app/skin/SkinMainWindow.h"
#include "app/skin/SkinNetworkPanel.h"
#include "app/skin/SkinPanelArt.h"
#include "app/skin/SkinPlayerPanel.h"
#include "app/skin/SkinRecorderPanel.h"
#include "app/skin/SkinScope.h"
#include "app/skin/SkinSettingsPanel.h"

SkinRow skinRow(SkinKind kind, const std::string& key, int width, int height, int x, int y,
                const std::string& parent, const std::string& label) {
    SkinRow row;
    row.kind = kind;
    row.key = key;
    row.width = width;
    row.height = height;
    row.x = x;
    row.y = y;
    row.parent = parent;
    row.label = label;
    return row;
}

namespace {

constexpr const char* mainBackground = "velkarn/background/main";

SkinRow control(SkinKind kind, const std::string& key, int width, int height, int x, int y,
                const std::string& label = {}, SkinSymbol symbol = SkinSymbol::None) {
    SkinRow row = skinRow(kind, key, width, height, x, y, mainBackground, label);
    row.symbol = symbol;
    return row;
}

SkinRow panel(const std::string& word, const std::string& label, const std::string& group, int x, int y, int width,
              int height) {
    SkinRow row = control(SkinKind::Panel, "velkarn/panelGroup/" + word, width, height, x, y, label);
    row.group = group;
    return row;
}

SkinTable makeTable() {
    SkinTable table;
    table.groups = {
        {"tools", true, 60},
        {"functions", false, 30},
    };
    std::vector<SkinRow>& rows = table.rows;

    // ---- The main window ----------------------------------------------------
    SkinRow background;
    background.kind = SkinKind::Background;
    background.key = mainBackground;
    background.width = 1000;
    background.height = 665;
    background.decorate = paintMainBackground;
    rows.push_back(background);

    SkinRow overlay = control(SkinKind::Image, "velkarn/image/overlayRows", 808, 424, 6, 6);
    overlay.clear = skinStripPlaces();
    overlay.decorate = paintRowsOverlay;
    rows.push_back(overlay);

    // ---- Deck strips: the played part's veil of row 0 (one image, the
    // strip's size, laid over the strip up to the play position).
    SkinRow pointer = control(SkinKind::Image, "velkarn/strip/pointer", 800, 60, 10, 10);
    pointer.decorate = paintStripPointer;
    rows.push_back(pointer);
    // ---- End of deck strips.

    // The tool panels (vertical group at the right), in tool order.
    const std::pair<const char*, const char*> tools[] = {
        {"drop", "DROP"},   {"tempo", "TEMPO"},     {"repeat", "REPEAT"}, {"delete", "DELETE"},
        {"skip", "SKIP"},   {"pause", "PAUSE"},     {"reverse", "REVERSE"}, {"move", "MOVE"},
        {"fade", "FADE"},   {"listen", "LISTEN"},
    };
    for (const auto& [word, label] : tools) rows.push_back(panel(word, label, "tools", 830, 10, 160, 430));

    // The function panels (horizontal group below the strips).
    const std::pair<const char*, const char*> functions[] = {
        {"decks", "DECKS"},   {"effects", "EFFECTS"}, {"recorder", "RECORDER"},
        {"player", "PLAYER"}, {"network", "NETWORK"}, {"settings", "SETTINGS"},
    };
    for (const auto& [word, label] : functions) rows.push_back(panel(word, label, "functions", 10, 445, 800, 210));

    rows.push_back(control(SkinKind::Button, "velkarn/button/zoomIn", 28, 28, 831, 450, {}, SkinSymbol::ZoomIn));
    rows.push_back(control(SkinKind::Button, "velkarn/button/zoomOut", 28, 28, 861, 450, {}, SkinSymbol::ZoomOut));
    rows.push_back(control(SkinKind::Button, "velkarn/button/browser", 72, 32, 830, 486, "BROWSER"));
    rows.push_back(control(SkinKind::Button, "velkarn/button/scope", 72, 32, 830, 522, "SCOPE"));
    rows.push_back(control(SkinKind::Button, "velkarn/button/beatMapper", 72, 32, 830, 558, "BEATS"));
    rows.push_back(control(SkinKind::Button, "velkarn/button/play", 72, 44, 830, 600, "PLAY", SkinSymbol::Play));

    rows.push_back(control(SkinKind::Meter, "velkarn/meter/volume", 30, 206, 910, 445));
    SkinRow volume = control(SkinKind::Slider, "velkarn/slider/volume", 75, 12, 910, 445);
    volume.trackWidth = 75;
    volume.trackHeight = 206;
    rows.push_back(volume);

    rows.push_back(control(SkinKind::Indicator, "velkarn/indicator/recording", 34, 18, 247, 455, "REC"));
    rows.push_back(control(SkinKind::Indicator, "velkarn/indicator/playing", 40, 18, 361, 455, "AUTO"));

    // ---- The network panel: its five buttons, and its text fields and
    // captions drawn into its panel image.
    addNetworkPanelRows(table);

    // ---- Tool panels' controls (positions in window coordinates) --------------
    {
        auto on = [&](const char* word, SkinKind kind, const std::string& key, int width, int height, int x, int y,
                      const std::string& label = {}) {
            SkinRow row = control(kind, key, width, height, x, y, label);
            row.parent = std::string("velkarn/panelGroup/") + word;
            rows.push_back(row);
            return &rows.back();
        };
        for (SkinRow& row : rows) {
            if (row.kind == SkinKind::Panel && row.group == "tools") row.decorate = paintPanelMarks;
        }
        // Number buttons: one row per value, placed where one of its panels
        // shows it (the tempo panel's column, then the other users).
        const std::pair<const char*, int> beatCounts[] = {{"1", 0}, {"2", 1},  {"3", 2},  {"4", 3},  {"8", 4},
                                                          {"16", 5}, {"32", 6}, {"64", 7}, {"128", 8}};
        for (const auto& [value, index] : beatCounts) {
            on("tempo", SkinKind::Button, std::string("button/numbers/") + value, 32, 28, 923, 27 + 32 * index)
                ->decorate = paintSmallLabel;
        }
        on("fade", SkinKind::Button, "button/numbers/256", 32, 28, 923, 68 + 32 * 6)->decorate = paintSmallLabel;

        for (int i = 0; i < 3; ++i) {
            const char* deleteWords[] = {"all", "allBefore", "allAfter"};
            const char* deleteLabels[] = {"ALL", "BEFORE", "AFTER"};
            const char* moveWords[] = {"oneSong", "oneDeck", "allDecks"};
            const char* moveLabels[] = {"SONG", "DECK", "ALL DECKS"};
            on("delete", SkinKind::Button, std::string("velkarn/button/delete/") + deleteWords[i], 80, 28, 903,
               27 + 32 * i, deleteLabels[i]);
            on("move", SkinKind::Button, std::string("velkarn/button/move/") + moveWords[i], 80, 28, 903,
               27 + 32 * i, moveLabels[i]);
            const char* steps[] = {"1 %", "10 %", "100 %"};
            on("tempo", SkinKind::Button, "velkarn/button/tempo/" + std::to_string(i), 72, 28, 909, 322 + 32 * i,
               steps[i]);
            const char* fadeWords[] = {"cross", "trim", "tempo"};
            const char* fadeLabels[] = {"CROSS", "TRIM", "TEMPO"};
            on("fade", SkinKind::Button, std::string("velkarn/button/fade/") + fadeWords[i], 80, 28, 903,
               307 + 32 * i, fadeLabels[i]);
        }
        on("repeat", SkinKind::Button, "velkarn/button/repeat/overwrite", 80, 28, 903, 332, "OVERWRITE");
        on("fade", SkinKind::Button, "velkarn/button/fade/in", 40, 32, 900, 27, "IN");
        on("fade", SkinKind::Button, "velkarn/button/fade/out", 40, 32, 943, 27, "OUT");
        on("listen", SkinKind::Button, "velkarn/button/listen/stop", 64, 28, 912, 25, "STOP");
        SkinRow* round = on("listen", SkinKind::Slider, "slider/round20", 20, 20, 905, 82);
        round->trackWidth = 76;
        round->trackHeight = 26;
        on("drop", SkinKind::Button, "velkarn/button/drop/load", 64, 28, 912, 25, "LOAD");
        on("drop", SkinKind::Button, "velkarn/button/drop/doubleTempo", 28, 28, 912, 301, "x2");
        on("drop", SkinKind::Button, "velkarn/button/drop/halfTempo", 28, 28, 943, 301, "/2");
        on("drop", SkinKind::Button, "velkarn/button/drop/forceTempo", 64, 28, 912, 337, "FORCE");

        // The digits of the tempo and time displays: ten pixels a cell, so a
        // 40-pixel display holds four.
        SkinRow digits;
        digits.kind = SkinKind::DigitSet;
        digits.key = "scope/font/arial13grey/";
        digits.width = 10;
        digits.height = 18;
        rows.push_back(digits);
    }

    // ---- The scope's windows (graph and control) and its characters --------
    table.groups.push_back(skinScopeGroup());
    for (SkinRow& row : skinScopeRows()) rows.push_back(std::move(row));

    // ---- The recorder panel: its three buttons, and the wells and captions
    // of its file lines and time drawn into its panel image.
    addRecorderPanelRows(table);

    // ---- The player panel: its three buttons, and the crate line's well
    // and caption drawn into its panel image.
    addPlayerPanelRows(table);

    // ---- The browser and its previewer --------------------------------------
    // Their own windows; the rows and their art are in SkinBrowser.cpp.
    for (SkinRow& row : skinBrowserRows()) rows.push_back(std::move(row));

    // ---- The beat mapper: its own window; rows and art in SkinBeatMapper.cpp.
    for (SkinRow& row : skinBeatMapperRows()) rows.push_back(std::move(row));

    // ---- Decks and effects panels' controls ------------------------------------
    {
        table.groups.push_back({"effectsDeck", false, 30});
        auto on = [&](const std::string& parent, SkinKind kind, const std::string& key, int width, int height, int x,
                      int y, const std::string& label = {}) {
            SkinRow row = control(kind, key, width, height, x, y, label);
            row.parent = "velkarn/panelGroup/" + parent;
            rows.push_back(row);
            return &rows.back();
        };
        auto slider = [&](const std::string& parent, const std::string& key, int knobWidth, int knobHeight, int x,
                          int y, int trackWidth, int trackHeight) {
            SkinRow* row = on(parent, SkinKind::Slider, key, knobWidth, knobHeight, x, y);
            row->trackWidth = trackWidth;
            row->trackHeight = trackHeight;
        };
        for (SkinRow& row : rows) {
            if (row.key == "velkarn/panelGroup/decks" || row.key == "velkarn/panelGroup/effects") {
                row.decorate = paintPanelMarks;
            }
        }
        // The filter knobs are 45 wide, so both travel the band bar's 130
        // pixels: the high-pass knob points at it with its right part, the
        // low-pass knob with its left edge.
        slider("decks", "velkarn/slider/", 20, 33, 310, 495, 205, 35);
        slider("decks", "velkarn/slider/left", 45, 33, 96, 495, 175, 35);
        slider("decks", "velkarn/slider/right", 45, 33, 131, 495, 175, 35);
        slider("decks", "velkarn/slider/small", 14, 23, 96, 575, 206, 35);
        slider("decks", "slider/flat20", 40, 20, 35, 495, 45, 109);
        const char* effects[] = {"delay", "flanger", "reverb"};
        for (int e = 0; e < 3; ++e) {
            on("decks", SkinKind::Button, std::string("velkarn/button/decks/") + effects[e], 60, 26, 103 + 65 * e, 541)
                ->decorate = paintSmallLabel;
        }
        on("decks", SkinKind::Button, "velkarn/button/decks/cue", 50, 24, 331, 588, "CUE");
        on("decks", SkinKind::Button, "velkarn/button/decks/keyLock", 50, 24, 389, 588, "KEY");
        SkinRow* overlayDecks = on("decks", SkinKind::Image, "velkarn/image/overlayDecks", 778, 160, 21, 481);
        overlayDecks->clear = skinDecksControls();
        overlayDecks->decorate = paintDecksOverlay;

        const std::pair<const char*, const char*> subPanels[] = {
            {"effectsDelay", "DELAY"}, {"effectsFlanger", "FLANGER"}, {"effectsReverb", "REVERB"}};
        for (const auto& [word, label] : subPanels) {
            SkinRow row = panel(word, label, "effectsDeck", 20, 490, 360, 130);
            row.parent = "velkarn/panelGroup/effects";
            row.decorate = paintPanelMarks;
            rows.push_back(row);
        }
        on("effectsDelay", SkinKind::Button, "button/numbers/0.25", 32, 28, 40, 546)->decorate = paintSmallLabel;
        on("effectsDelay", SkinKind::Button, "button/numbers/0.5", 32, 28, 80, 546)->decorate = paintSmallLabel;
        on("effectsDelay", SkinKind::Button, "velkarn/button/effects/D", 40, 28, 290, 546, "D");
        slider("effectsDelay", "beatMapper/slider/small", 12, 22, 40, 589, 156, 26);
        const char* rooms[] = {"small", "medium", "large"};
        const char* roomLabels[] = {"SMALL", "MEDIUM", "LARGE"};
        for (int k = 0; k < 3; ++k) {
            on("effectsReverb", SkinKind::Button, std::string("velkarn/button/effects/") + rooms[k], 72, 28, 40 + 80 * k,
               546, roomLabels[k]);
        }
    }

    // ---- The settings panel: its sub-panels and buttons.
    addSettingsPanelRows(table);
    return table;
}

}  // namespace

const SkinRow* SkinTable::find(const std::string& key) const {
    for (const SkinRow& row : rows) {
        if (row.key == key) return &row;
    }
    return nullptr;
}

const SkinGroup* SkinTable::findGroup(const std::string& name) const {
    for (const SkinGroup& group : groups) {
        if (group.name == name) return &group;
    }
    return nullptr;
}

std::vector<const SkinRow*> SkinTable::panels(const std::string& group) const {
    std::vector<const SkinRow*> found;
    for (const SkinRow& row : rows) {
        if (row.kind == SkinKind::Panel && row.group == group) found.push_back(&row);
    }
    return found;
}

const std::vector<std::string>& skinSuffixes(SkinKind kind) {
    static const std::vector<std::string> single{""};
    static const std::vector<std::string> button{"Up", "Down", "Mask"};
    static const std::vector<std::string> slider{"Slider", "Mask"};
    static const std::vector<std::string> indicator{"On", "Off", "Disabled"};
    static const std::vector<std::string> digits{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                                 "Point", "Plus", "Minus", "Exp", "Space", "Default"};
    switch (kind) {
    case SkinKind::Button:
        return button;
    case SkinKind::Slider:
        return slider;
    case SkinKind::Indicator:
        return indicator;
    case SkinKind::DigitSet:
        return digits;
    default:
        return single;
    }
}

int skinTabStart(int index, int count, int length) { return (index * length + count - 1) / count; }

const SkinTable& skinTable() {
    static const SkinTable table = makeTable();
    return table;
}
