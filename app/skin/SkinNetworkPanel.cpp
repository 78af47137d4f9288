#include "app/skin/SkinNetworkPanel.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinFont.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"

namespace palette = skin_palette;

namespace {

constexpr const char* panelKey = "velkarn/panelGroup/network";

// Where the panel puts its texts (window coordinates, 20 high).
struct Field {
    const char* caption;
    int x;
    int y;
    int width;
    bool captionAbove;
};
constexpr Field fields[] = {
    {"Local", 230, 522, 100, false},
    {"Chat", 440, 522, 250, false},
    {"Server", 387, 578, 100, true},
};
constexpr int fieldHeight = 20;
constexpr Color fieldFace{214, 218, 224, 255};

}  // namespace

void addNetworkPanelRows(SkinTable& table) {
    for (SkinRow& row : table.rows) {
        if (row.key == panelKey) row.decorate = paintNetworkPanel;
    }
    auto button = [](const char* word, int x, int y, int width, const char* label) {
        SkinRow row;
        row.kind = SkinKind::Button;
        row.key = std::string("velkarn/button/network/") + word;
        row.width = width;
        row.height = 32;
        row.x = x;
        row.y = y;
        row.parent = panelKey;
        row.label = label;
        return row;
    };
    table.rows.push_back(button("talk", 714, 513, 80, "TALK"));
    table.rows.push_back(button("standAlone", 58, 570, 96, "STAND ALONE"));
    table.rows.push_back(button("server", 158, 570, 96, "SERVER"));
    table.rows.push_back(button("client", 258, 570, 96, "CLIENT"));
    table.rows.push_back(button("setServer", 497, 570, 90, "SET SERVER"));
}

void paintNetworkPanel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    for (const Field& field : fields) {
        const float x = static_cast<float>(field.x - row.x);
        const float y = static_cast<float>(field.y - row.y);
        painter.fillRoundRect(x - 4, y - 2, static_cast<float>(field.width) + 8, fieldHeight + 2, 3,
                              palette::wellEdge);
        painter.fillRoundRect(x - 3, y - 1, static_cast<float>(field.width) + 6, fieldHeight, 2, fieldFace);
        const SkinFont& font = art.smallFont();
        const float width = static_cast<float>(font.measure(field.caption).right);
        if (field.captionAbove) {
            font.drawCentred(painter, field.caption, x + static_cast<float>(field.width) / 2.0f, y - 11,
                             palette::labelDim);
        } else {
            font.drawCentred(painter, field.caption, x - 10 - width / 2.0f, y + fieldHeight / 2.0f - 1,
                             palette::labelDim);
        }
    }
}
