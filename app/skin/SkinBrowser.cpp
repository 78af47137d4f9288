#include "app/skin/SkinBrowser.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"
#include "app/skin/SkinTable.h"

namespace palette = skin_palette;

namespace {

constexpr const char* browserBackground = "browser/background/main";
constexpr const char* previewerBackground = "previewer/background/main";

// The program draws its texts in black, red, blue and grey: they lie on
// light paper.
constexpr Color paper{244, 245, 247, 255};
constexpr Color paperStripe{229, 232, 237, 255};
constexpr Color paperBand{203, 207, 214, 255};
constexpr Color paperEdge{120, 125, 134, 255};
constexpr Color rule{178, 183, 191, 255};
constexpr Color markerFace{250, 196, 40, 255};
constexpr Color markerEdge{90, 60, 0, 255};

constexpr int listLeft = 10;
constexpr int listTop = 150;
constexpr int listRight = 968;  // the scrollbar starts at 970
constexpr int listBottom = 655;
constexpr int firstRow = 154;
constexpr int rowStep = 20;
constexpr int rows = 25;
// Between the columns: after the tempo, title, artist, play button,
// comments and select button.
constexpr int columnRules[] = {56, 256, 458, 489, 691, 722};

// A sunken light field with a dark rim.
void field(SkinPainter& painter, float x, float y, float width, float height) {
    painter.fillRect(x, y, width, height, paperEdge);
    painter.fillRect(x + 1, y + 1, width - 2, height - 2, paper);
}

void well(SkinPainter& painter, float x, float y, float width, float height) {
    painter.fillRoundRect(x, y, width, height, 3, palette::wellEdge);
    painter.fillRoundRect(x + 1, y + 1, width - 2, height - 2, 2, palette::well);
}

}  // namespace

std::vector<SkinRow> skinBrowserRows() {
    std::vector<SkinRow> rows;
    SkinRow browser = skinRow(SkinKind::Background, browserBackground, 1000, 670, 0, 0, {});
    browser.decorate = paintBrowserBackground;
    rows.push_back(browser);
    rows.push_back(skinRow(SkinKind::Button, "browser/button/rootSet", 40, 18, 16, 17, browserBackground, "SET"));
    rows.push_back(skinRow(SkinKind::Button, "browser/button/tempo", 80, 30, 664, 13, browserBackground, "TEMPO"));
    rows.push_back(
        skinRow(SkinKind::Button, "beatMapper/button/stopPlaying", 58, 30, 803, 13, browserBackground, "STOP"));
    rows.push_back(
        skinRow(SkinKind::Button, "browser/button/deleteRecord", 68, 30, 865, 13, browserBackground, "DELETE"));
    rows.push_back(skinRow(SkinKind::Button, "browser/button/editRecord", 56, 30, 937, 13, browserBackground, "EDIT"));
    rows.push_back(skinRow(SkinKind::Button, "browser/button/clearFilter", 56, 30, 937, 58, browserBackground, "CLEAR"));
    // The row buttons fit the 20-pixel rows (shown here on the first row).
    SkinRow play = skinRow(SkinKind::Button, "browser/button/playSmall", 26, 18, 462, 155, browserBackground);
    play.decorate = paintPlaySmall;
    rows.push_back(play);
    SkinRow select = skinRow(SkinKind::Button, "browser/button/selectSmall", 26, 18, 695, 155, browserBackground);
    select.decorate = paintSelectSmall;
    rows.push_back(select);
    SkinRow scrollbar = skinRow(SkinKind::Slider, "browser/slider/scrollbar", 24, 40, 970, 150, browserBackground);
    scrollbar.trackWidth = 24;
    scrollbar.trackHeight = 509;
    rows.push_back(scrollbar);

    SkinRow previewer = skinRow(SkinKind::Background, previewerBackground, 800, 340, 0, 0, {});
    previewer.decorate = paintPreviewerBackground;
    rows.push_back(previewer);
    // Its volume slider's knob "slider/round20" is the listen panel's.
    // The beat markers laid over the previewer's map: the face, its hit
    // mask and the playing pointer, all of one size.
    for (const char* suffix : {"", "Mask", "Pointer"}) {
        SkinRow marker = skinRow(SkinKind::Image, std::string("beatMapper/marker/square7") + suffix, 7, 7, 100, 100,
                               previewerBackground);
        marker.decorate = paintMarker;
        rows.push_back(marker);
    }
    return rows;
}

void paintBrowserBackground(SkinArt& art, SkinPainter& painter, const SkinRow& /*row*/,
                            const std::string& /*suffix*/) {
    for (int i = 0; i < 4; ++i) field(painter, 58, static_cast<float>(16 + 20 * i), 594, 20);
    field(painter, 746, 19, 27, 22);
    field(painter, 751, 63, 168, 24);
    art.smallFont().draw(painter, "FILTER", 706, 80, palette::labelDim);

    // Header band, then the striped list below it.
    painter.fillRect(listLeft, 112, listRight - listLeft, 26, paperEdge);
    painter.fillRect(listLeft + 1, 113, listRight - listLeft - 2, 24, paperBand);
    painter.fillRect(listLeft, listTop, listRight - listLeft, listBottom - listTop, paperEdge);
    painter.fillRect(listLeft + 1, listTop + 1, listRight - listLeft - 2, listBottom - listTop - 2, paper);
    for (int r = 1; r < rows; r += 2) {
        painter.fillRect(listLeft + 1, static_cast<float>(firstRow + rowStep * r), listRight - listLeft - 2, rowStep,
                         paperStripe);
    }
    for (int x : columnRules) {
        painter.fillRect(static_cast<float>(x), 113, 1, 24, rule);
        painter.fillRect(static_cast<float>(x), listTop + 1, 1, listBottom - listTop - 2, rule);
    }
    well(painter, 970, 150, 24, 509);
}

void paintPreviewerBackground(SkinArt& art, SkinPainter& painter, const SkinRow& /*row*/,
                              const std::string& /*suffix*/) {
    // Under the beat map and its markers.
    well(painter, 8, 8, 784, 264);
    // The volume slider's groove and caption.
    painter.fillRoundRect(110, 311, 94, 4, 2, palette::well);
    art.smallFont().draw(painter, "VOLUME", 220, 317, palette::labelDim);
}

void paintPlaySmall(SkinArt& /*art*/, SkinPainter& painter, const SkinRow& row, const std::string& suffix) {
    const float cx = static_cast<float>(row.width) / 2;
    const float cy = static_cast<float>(row.height) / 2 + (suffix == "Down" ? 1.0f : 0.0f);
    painter.fillTriangle(cx - 3.5f, cy - 4.5f, cx - 3.5f, cy + 4.5f, cx + 4.5f, cy,
                         suffix == "Down" ? palette::accent : palette::label);
}

void paintSelectSmall(SkinArt& /*art*/, SkinPainter& painter, const SkinRow& row, const std::string& suffix) {
    // An arrow into a tray: the track goes onto a deck.
    const float cx = static_cast<float>(row.width) / 2;
    const float shift = suffix == "Down" ? 1.0f : 0.0f;
    const Color ink = palette::label;
    painter.line(cx, 3 + shift, cx, 9 + shift, 2, ink);
    painter.fillTriangle(cx - 4, 8 + shift, cx + 4, 8 + shift, cx, 12.5f + shift, ink);
    painter.line(cx - 6, 14 + shift, cx + 6, 14 + shift, 1.6f, ink);
}

void paintMarker(SkinArt& /*art*/, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    const float size = static_cast<float>(row.width);
    if (row.key.ends_with("Mask")) {
        painter.fillRect(0, 0, size, size, Color{255, 255, 255, 255});
    } else if (row.key.ends_with("Pointer")) {
        painter.fillRect(0, 0, size, size, Color{0, 0, 0, 255});
        painter.fillRect(1, 1, size - 2, size - 2, palette::accent);
    } else {
        painter.fillRect(0, 0, size, size, markerEdge);
        painter.fillRect(1, 1, size - 2, size - 2, markerFace);
    }
}
