#include "app/skin/SkinBeatMapper.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinFont.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"

namespace palette = skin_palette;

namespace {

constexpr const char* background = "beatMapper/background/main";
constexpr int buttonWidth = 56;
constexpr int buttonHeight = 40;

// The program draws its texts in black: they lie on light paper.
constexpr Color paper{244, 245, 247, 255};
constexpr Color paperEdge{120, 125, 134, 255};

struct ButtonPlace {
    const char* word;
    int x;
    int y;
    const char* label;
};

// Every button of the window but stopPlaying, whose image the browser
// shares and its rows list.
constexpr ButtonPlace buttons[] = {
    {"dumpImage", 100, 294, "IMAGE"},  {"editMap", 160, 294, "EDIT"},   {"cycleBPM", 851, 294, "CYCLE"},
    {"estimateBPM", 911, 294, "AUTO"}, {"usePNG", 707, 370, "PNG"},     {"setKey", 911, 371, "KEY"},
    {"editID", 911, 498, "ID"},        {"load", 40, 569, "LOAD"},       {"save", 126, 569, "SAVE"},
    {"clearMarkers", 422, 569, "CLEAR"}, {"split", 710, 569, "SPLIT"},  {"merge", 782, 569, "MERGE"},
    {"convert", 854, 569, "CONV"},
};

// A sunken light field with a dark rim, for the black texts.
void field(SkinPainter& painter, float x, float y, float width, float height) {
    painter.fillRect(x - 1, y - 1, width + 2, height + 2, paperEdge);
    painter.fillRect(x, y, width, height, paper);
}

void well(SkinPainter& painter, float x, float y, float width, float height) {
    painter.fillRoundRect(x, y, width, height, 3, palette::wellEdge);
    painter.fillRoundRect(x + 1, y + 1, width - 2, height - 2, 2, palette::well);
}

// A radio group's frame with its caption above.
void frame(SkinArt& art, SkinPainter& painter, float x, float y, float width, float height, const char* caption) {
    painter.strokeRoundRect(x, y, width, height, 4, 1, palette::panelEdge);
    art.smallFont().draw(painter, caption, static_cast<int>(x) + 6, static_cast<int>(y) - 4, palette::labelDim);
}

void caption(SkinArt& art, SkinPainter& painter, const char* text, int x, int baseline) {
    art.smallFont().draw(painter, text, x, baseline, palette::labelDim);
}

}  // namespace

std::vector<SkinRow> skinBeatMapperRows() {
    std::vector<SkinRow> rows;
    SkinRow main = skinRow(SkinKind::Background, background, 1005, 660, 0, 0, {});
    main.decorate = paintBeatMapperBackground;
    rows.push_back(main);
    for (const ButtonPlace& place : buttons) {
        rows.push_back(skinRow(SkinKind::Button, std::string("beatMapper/button/") + place.word, buttonWidth,
                               buttonHeight, place.x, place.y, background, place.label));
    }
    return rows;
}

void paintBeatMapperBackground(SkinArt& art, SkinPainter& painter, const SkinRow& /*row*/,
                               const std::string& /*suffix*/) {
    // The beat map and the marker map laid over it.
    well(painter, 100, 10, 880, 260);

    // Zoom, scroll, mix and gain: grooves and captions.
    for (float x : {30.0f, 65.0f}) {
        painter.fillRoundRect(x + 11, 18, 4, 110, 2, palette::well);
        painter.fillRoundRect(x + 11, 158, 4, 110, 2, palette::well);
    }
    caption(art, painter, "ZOOM", 26, 146);
    caption(art, painter, "ROWS", 62, 146);
    caption(art, painter, "MIX", 32, 288);
    caption(art, painter, "GAIN", 63, 288);

    // Song and click volumes, the tempo slider and its number.
    painter.fillRoundRect(294, 311, 90, 4, 2, palette::well);
    painter.fillRoundRect(404, 311, 90, 4, 2, palette::well);
    painter.fillRoundRect(584, 311, 144, 4, 2, palette::well);
    well(painter, 755, 298, 74, 30);
    caption(art, painter, "SONG", 286, 294);
    caption(art, painter, "CLICK", 396, 294);
    caption(art, painter, "BPM", 578, 294);

    // Where the first set beat lies: its beat, its bar in the phrase, and
    // the meter.
    frame(art, painter, 92, 366, 166, 46, "BEAT");
    frame(art, painter, 340, 366, 166, 46, "BAR");
    frame(art, painter, 593, 366, 86, 46, "METER");
    field(painter, 845, 378, 44, 20);
    caption(art, painter, "KEY", 818, 393);

    // Identification texts.
    field(painter, 87, 467, 230, 20);
    field(painter, 87, 504, 230, 20);
    field(painter, 399, 467, 230, 20);
    field(painter, 399, 504, 230, 20);
    field(painter, 730, 467, 230, 20);
    field(painter, 730, 504, 50, 20);
    caption(art, painter, "TRACK", 36, 482);
    caption(art, painter, "ARTIST", 36, 519);
    caption(art, painter, "ALBUM", 348, 482);
    caption(art, painter, "LABEL", 348, 519);
    caption(art, painter, "NOTES", 680, 482);
    caption(art, painter, "YEAR", 680, 519);

    // One file or three, the batch jobs, and the song's path.
    frame(art, painter, 207, 565, 86, 44, "FILES");
    caption(art, painter, "ALL FILES IN A FOLDER", 710, 561);
    field(painter, 30, 628, 945, 20);
}
