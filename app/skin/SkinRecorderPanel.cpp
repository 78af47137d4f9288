#include "app/skin/SkinRecorderPanel.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"

namespace palette = skin_palette;

namespace {

// Window coordinates of what the panel's components show.
constexpr SkinRect recordingLine{143, 558, 640, 20};
constexpr SkinRect listLine{143, 605, 640, 20};
constexpr SkinRect timeDisplay{327, 507, 120, 26};  // four displays of 30
constexpr const char* panelKey = "velkarn/panelGroup/recorder";

}  // namespace

void addRecorderPanelRows(SkinTable& table) {
    for (SkinRow& row : table.rows) {
        if (row.key == panelKey) row.decorate = paintRecorderPanel;
    }
    auto button = [](const char* word, int x, int y, int width, int height, const char* label) {
        SkinRow row;
        row.kind = SkinKind::Button;
        row.key = std::string("velkarn/button/recorder/") + word;
        row.width = width;
        row.height = height;
        row.x = x;
        row.y = y;
        row.parent = panelKey;
        row.label = label;
        return row;
    };
    table.rows.push_back(button("record", 34, 504, 92, 36, "RECORD"));
    table.rows.push_back(button("reset", 134, 504, 92, 36, "RESET"));
    table.rows.push_back(button("setFile", 34, 549, 100, 32, "SET FILE"));
}

void paintRecorderPanel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    auto well = [&](const SkinRect& place) {
        const float x = static_cast<float>(place.x - row.x - 3);
        const float y = static_cast<float>(place.y - row.y - 2);
        const float width = static_cast<float>(place.width + 6);
        const float height = static_cast<float>(place.height + 4);
        painter.fillRoundRect(x, y, width, height, 3, palette::wellEdge);
        painter.fillRoundRect(x + 1, y + 1, width - 2, height - 2, 2, palette::well);
    };
    auto caption = [&](const std::string& text, float cx, float cy) {
        art.smallFont().drawCentred(painter, text, cx - static_cast<float>(row.x), cy - static_cast<float>(row.y),
                                    palette::labelDim);
    };
    well(recordingLine);
    well(listLine);
    well(timeDisplay);
    // Captions: the recording's over the start of its line, the lists' in
    // the file button's column, the time's units over each display.
    caption("RECORDING", 185.0f, 547.0f);
    caption("PLAYLISTS", 84.0f, 615.0f);
    const char* units[] = {"H", "M", "S", "1/100"};
    for (int i = 0; i < 4; ++i) caption(units[i], static_cast<float>(timeDisplay.x + 30 * i + 15), 497.0f);
}
