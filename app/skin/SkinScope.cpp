#include "app/skin/SkinScope.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"
#include "app/skin/SkinTable.h"

#include <string>

namespace palette = skin_palette;

namespace {

constexpr const char* graphBackground = "scope/background/graph";
constexpr const char* controlBackground = "scope/background/control";
constexpr const char* fontKey = "scope/font/arial13grey/";
constexpr const char* group = "scope";

// The panels lie at (8, 8) of the control window; their controls are
// placed in window coordinates.
constexpr int panelX = 8;
constexpr int panelY = 8;
constexpr int panelWidth = 310;
constexpr int panelHeight = 144;
constexpr int band = 25;

// A number slider: the knob's track, a gap, the number's cells.
constexpr int trackWidth = 189;
constexpr int trackGap = 43;
constexpr int numberWidth = 50;
constexpr int rowHeight = 22;
constexpr int cellWidth = 10;
constexpr int cellHeight = 18;

constexpr Color grey{176, 180, 188, 255};

struct SliderPlace {
    int x;
    int y;
    const char* label;
};

const SliderPlace controlSliders[] = {
    {19, 39, "SPAN"}, {19, 65, "GAIN"}, {19, 91, "LEVEL"}, {19, 117, "RATE"}};
const SliderPlace spectrumSliders[] = {{19, 50, "LOW"}, {19, 76, "HIGH"}};

void well(SkinPainter& painter, float x, float y, float width, float height, float radius) {
    painter.fillRoundRect(x, y, width, height, radius, palette::wellEdge);
    painter.fillRoundRect(x, y, width, height - 1, radius, Color{6, 6, 8, 255});
    painter.fillRoundRect(x + 1, y + 1, width - 2, height - 2, radius - 1, palette::well);
}

// Tracks, number wells and labels of number sliders on a panel image.
void paintSliderRows(SkinArt& art, SkinPainter& painter, const SliderPlace* places, int count) {
    for (int i = 0; i < count; ++i) {
        const float x = static_cast<float>(places[i].x - panelX);
        const float y = static_cast<float>(places[i].y - panelY);
        const float middle = y + static_cast<float>(rowHeight) / 2;
        well(painter, x + 4, middle - 3, trackWidth - 8, 6, 3);
        for (int tick = 0; tick <= 10; ++tick) {
            const float tx = x + 6 + static_cast<float>(tick) * (trackWidth - 12) / 10.0f;
            painter.fillRect(tx, y + rowHeight - 3, 1, 3, palette::labelDim);
        }
        art.smallFont().drawCentred(painter, places[i].label, x + trackWidth + trackGap / 2.0f, middle,
                                    palette::labelDim);
        well(painter, x + trackWidth + trackGap - 2, y + (rowHeight - cellHeight) / 2.0f - 2, numberWidth + 4,
             cellHeight + 4, 2);
    }
}

void paintControlPanel(SkinArt& art, SkinPainter& painter, const SkinRow& /*row*/, const std::string& /*suffix*/) {
    paintSliderRows(art, painter, controlSliders, 4);
}

void paintSpectrumPanel(SkinArt& art, SkinPainter& painter, const SkinRow& /*row*/, const std::string& /*suffix*/) {
    paintSliderRows(art, painter, spectrumSliders, 2);
}

void paintStartUpPanel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    art.plainFont().drawCentred(painter, "Keep these settings", static_cast<float>(row.width) / 2, 50,
                                palette::labelDim);
    art.plainFont().drawCentred(painter, "for the next start", static_cast<float>(row.width) / 2, 66,
                                palette::labelDim);
}

void paintAboutPanel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    art.labelFont().drawCentred(painter, "VELKARN SCOPE", static_cast<float>(row.width) / 2, 42, palette::label);
}

// The graph's face: a dark well; the grids and the trace are drawn over it.
void paintGraphBackground(SkinArt& /*art*/, SkinPainter& painter, const SkinRow& row,
                          const std::string& /*suffix*/) {
    painter.fillRect(0, 0, static_cast<float>(row.width), static_cast<float>(row.height), Color{8, 10, 12, 255});
    painter.fillRect(0, static_cast<float>(row.height) / 2 - 0.5f, static_cast<float>(row.width), 1,
                     Color{120, 220, 140, 40});
}

// The character of a letter image of the note read-out.
std::string letterText(const std::string& key) {
    const std::string name = key.substr(std::string(fontKey).size());
    if (name == "Sharp") return "#";
    if (name == "Bemol") return "b";
    return name;
}

void paintLetter(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    art.plainFont().drawCentred(painter, letterText(row.key), static_cast<float>(row.width) / 2,
                                static_cast<float>(row.height) / 2, grey);
}

SkinRow scopePanel(const std::string& word, const std::string& label, SkinDecorator decorate) {
    SkinRow row = skinRow(SkinKind::Panel, "scope/panelGroup/" + word, panelWidth, panelHeight, panelX, panelY,
                           controlBackground, label);
    row.group = group;
    row.decorate = decorate;
    return row;
}

}  // namespace

SkinGroup skinScopeGroup() { return {group, false, band}; }

std::vector<SkinRow> skinScopeRows() {
    std::vector<SkinRow> rows;
    SkinRow graph = skinRow(SkinKind::Background, graphBackground, 512, 200, 0, 0, {});
    graph.decorate = paintGraphBackground;
    rows.push_back(graph);
    rows.push_back(skinRow(SkinKind::Indicator, "scope/indicator/frequency", 30, 16, 10, 15, graphBackground, "FFT"));
    rows.push_back(
        skinRow(SkinKind::Indicator, "scope/indicator/triggerLost", 50, 16, 280, 15, graphBackground, "LOST"));
    rows.push_back(skinRow(SkinKind::Indicator, "scope/indicator/running", 50, 16, 340, 15, graphBackground, "RUN"));

    rows.push_back(skinRow(SkinKind::Background, controlBackground, 400, 160, 0, 0, {}));
    rows.push_back(skinRow(SkinKind::Button, "scope/button/run", 66, 30, 324, 20, controlBackground, "RUN"));
    rows.push_back(skinRow(SkinKind::Button, "scope/button/trigger", 36, 30, 339, 60, controlBackground, "TRIG"));
    rows.push_back(skinRow(SkinKind::Button, "scope/button/frequency", 66, 30, 324, 101, controlBackground, "FFT"));
    rows.push_back(scopePanel("control", "SCOPE", paintControlPanel));
    rows.push_back(scopePanel("spectrum", "SPECTRUM", paintSpectrumPanel));
    rows.push_back(scopePanel("startUp", "START-UP", paintStartUpPanel));
    rows.push_back(scopePanel("about", "ABOUT", paintAboutPanel));

    SkinRow slider = skinRow(SkinKind::Slider, "scope/slider/generic", 12, rowHeight, controlSliders[0].x,
                              controlSliders[0].y, "scope/panelGroup/control");
    slider.trackWidth = trackWidth;
    slider.trackHeight = rowHeight;
    rows.push_back(slider);
    rows.push_back(skinRow(SkinKind::Button, "scope/button/logFreqScale", 80, 24, 19, 105, "scope/panelGroup/spectrum",
                            "LOG"));
    rows.push_back(skinRow(SkinKind::Button, "scope/button/labelMax", 80, 24, 215, 105, "scope/panelGroup/spectrum",
                            "PEAK"));
    rows.push_back(skinRow(SkinKind::Button, "scope/button/startUp", 190, 30, 61, 71, "scope/panelGroup/startUp",
                            "SAVE START-UP"));
    rows.push_back(skinRow(SkinKind::Button, "button/pelgraveSoftware", 64, 32, 123, 63, "scope/panelGroup/about",
                            "WEB"));

    // The note read-out's letters, in cells of the size of the digits
    // under the same key, which the tool panels' rows bring.
    for (const char* letter : {"A", "B", "C", "D", "E", "F", "G", "Sharp", "Bemol"}) {
        SkinRow row = skinRow(SkinKind::Image, std::string(fontKey) + letter, cellWidth, cellHeight, 0, 0, {});
        row.decorate = paintLetter;
        rows.push_back(row);
    }
    return rows;
}
