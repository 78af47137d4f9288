#include "app/skin/SkinPanelArt.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"

#include <map>
#include <vector>

namespace palette = skin_palette;

namespace {

enum class MarkKind { Well, TrackAcross, TrackDown, Caption };

// A mark in window coordinates: a well or a track fills its rectangle; a
// caption is centred in it.
struct Mark {
    MarkKind kind;
    SkinRect place;
    const char* text = "";
};

Mark well(int x, int y, int width, int height) { return {MarkKind::Well, {x - 2, y - 2, width + 4, height + 4}}; }
Mark across(int x, int y, int width, int height) { return {MarkKind::TrackAcross, {x, y, width, height}}; }
Mark down(int x, int y, int width, int height) { return {MarkKind::TrackDown, {x, y, width, height}}; }
Mark caption(int x, int y, int width, int height, const char* text) {
    return {MarkKind::Caption, {x, y, width, height}, text};
}

const std::map<std::string, std::vector<Mark>>& panelMarks() {
    static const std::map<std::string, std::vector<Mark>> marks{
        // ---- Tool panels (body x 890 .. 990, y 10 .. 440) ----------------
        {"velkarn/panelGroup/drop",
         {caption(890, 58, 100, 14, "SONG"), well(932, 77, 30, 215),
          well(919, 380, 40, 26), caption(890, 410, 100, 14, "BPM")}},
        {"velkarn/panelGroup/tempo", {caption(890, 11, 100, 15, "BEATS"), caption(890, 311, 100, 11, "STEP")}},
        {"velkarn/panelGroup/repeat",
         {caption(890, 11, 50, 15, "BEATS"), caption(940, 11, 50, 15, "TIMES")}},
        {"velkarn/panelGroup/skip", {caption(890, 11, 100, 15, "BEATS")}},
        {"velkarn/panelGroup/pause", {caption(890, 11, 100, 15, "BEATS")}},
        {"velkarn/panelGroup/reverse", {caption(890, 11, 100, 15, "BEATS")}},
        {"velkarn/panelGroup/fade", {caption(890, 11, 100, 15, "FADE")}},
        {"velkarn/panelGroup/listen",
         {caption(890, 60, 100, 16, "BALANCE"), across(905, 82, 76, 26), caption(890, 108, 15, 16, "1"),
          caption(975, 108, 15, 16, "2"), down(950, 128, 26, 106), caption(890, 170, 58, 16, "VOLUME")}},
    };
    return marks;
}

}  // namespace

void paintPanelMarks(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    const auto found = panelMarks().find(row.key);
    if (found == panelMarks().end()) return;
    for (const Mark& mark : found->second) {
        const float x = static_cast<float>(mark.place.x - row.x);
        const float y = static_cast<float>(mark.place.y - row.y);
        const float width = static_cast<float>(mark.place.width);
        const float height = static_cast<float>(mark.place.height);
        switch (mark.kind) {
        case MarkKind::Well:
            painter.fillRoundRect(x, y, width, height, 3, palette::wellEdge);
            painter.fillRoundRect(x + 1, y + 1, width - 2, height - 2, 2, palette::well);
            break;
        case MarkKind::TrackAcross:
            painter.fillRoundRect(x + 4, y + height / 2 - 2, width - 8, 4, 2, palette::well);
            painter.fillRect(x + 4, y + height / 2 + 2, width - 8, 1, palette::wellEdge);
            break;
        case MarkKind::TrackDown:
            painter.fillRoundRect(x + width / 2 - 2, y + 4, 4, height - 8, 2, palette::well);
            painter.fillRect(x + width / 2 + 2, y + 4, 1, height - 8, palette::wellEdge);
            break;
        case MarkKind::Caption: {
            if (*mark.text == '\0') break;
            const SkinFont::Extent extent = art.smallFont().measure(mark.text);
            if (extent.right - extent.left > mark.place.width || extent.bottom - extent.top > mark.place.height) {
                art.problem(std::string("The caption \"") + mark.text + "\" does not fit its place on " + row.key +
                            ".");
            }
            art.smallFont().drawCentred(painter, mark.text, x + width / 2, y + height / 2, palette::labelDim);
            break;
        }
        }
    }
}

void paintNumberButton(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix) {
    const std::string text = row.key.substr(row.key.rfind('/') + 1);
    const SkinFont::Extent extent = art.smallFont().measure(text);
    if (extent.right - extent.left + 6 > row.width) {
        art.problem("The label \"" + text + "\" is wider than " + row.key + ".");
    }
    art.smallFont().drawCentred(painter, text, static_cast<float>(row.width) / 2,
                                static_cast<float>(row.height) / 2 + (suffix == "Down" ? 1.0f : 0.0f),
                                palette::label);
}
