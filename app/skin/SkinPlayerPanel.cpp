#include "app/skin/SkinPlayerPanel.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"

namespace palette = skin_palette;

namespace {

// Window coordinates of the crate's line.
constexpr SkinRect crateLine{143, 558, 640, 20};
constexpr const char* panelKey = "velkarn/panelGroup/player";

}  // namespace

void addPlayerPanelRows(SkinTable& table) {
    for (SkinRow& row : table.rows) {
        if (row.key == panelKey) row.decorate = paintPlayerPanel;
    }
    auto button = [](const char* word, int x, int y, int width, int height, const char* label) {
        return skinRow(SkinKind::Button, std::string("velkarn/button/player/") + word, width, height, x, y, panelKey,
                       label);
    };
    table.rows.push_back(button("play", 34, 504, 92, 36, "PLAY"));
    table.rows.push_back(button("setCrate", 34, 549, 100, 32, "SET CRATE"));
    table.rows.push_back(button("settings", 34, 594, 100, 32, "SETTINGS"));
}

void paintPlayerPanel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    const float x = static_cast<float>(crateLine.x - row.x - 3);
    const float y = static_cast<float>(crateLine.y - row.y - 2);
    const float width = static_cast<float>(crateLine.width + 6);
    const float height = static_cast<float>(crateLine.height + 4);
    painter.fillRoundRect(x, y, width, height, 3, palette::wellEdge);
    painter.fillRoundRect(x + 1, y + 1, width - 2, height - 2, 2, palette::well);
    art.smallFont().drawCentred(painter, "CRATE", 165.0f - static_cast<float>(row.x), 547.0f - static_cast<float>(row.y),
                                palette::labelDim);
}
