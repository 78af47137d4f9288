#include "app/skin/SkinPanelArt.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"

#include <cctype>
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
        // ---- Function panels (x 10 .. 810, y 445 .. 655; band to 475) ----
        {"velkarn/panelGroup/decks",
         {across(310, 495, 205, 35), across(96, 495, 210, 35), across(524, 495, 210, 35), across(96, 575, 206, 35),
          across(524, 575, 206, 35), down(35, 495, 45, 109), down(745, 495, 45, 109), well(331, 541, 40, 26),
          well(447, 541, 40, 26), well(389, 541, 40, 26), caption(331, 569, 40, 14, "BPM"),
          caption(389, 569, 40, 14, "BPM"), caption(447, 569, 40, 14, "BPM"), well(102, 615, 191, 22),
          well(530, 615, 191, 22), well(41, 615, 31, 22), well(751, 615, 31, 22), caption(96, 485, 210, 10, "FILTER"),
          caption(524, 485, 210, 10, "FILTER"), caption(310, 485, 205, 10, "CROSSFADER"),
          caption(30, 485, 55, 10, "GAIN"), caption(740, 485, 55, 10, "GAIN")}},
        {"velkarn/panelGroup/effects", {caption(20, 476, 360, 13, "DECK 1"), caption(448, 476, 360, 13, "DECK 2")}},
        {"velkarn/panelGroup/effectsDelay",
         {caption(40, 529, 232, 14, "BEATS"), across(40, 589, 156, 26), well(228, 589, 55, 26),
          caption(40, 576, 156, 13, "AMOUNT")}},
        {"velkarn/panelGroup/effectsFlanger",
         {caption(40, 529, 232, 14, "BEATS PER SWEEP"), across(40, 589, 156, 26), well(228, 589, 55, 26),
          caption(40, 576, 156, 13, "AMOUNT")}},
        {"velkarn/panelGroup/effectsReverb", {caption(40, 529, 232, 14, "ROOM")}},
        // ---- Settings pages (x 159 .. 779, y 490 .. 625; band to 515) -------
        {"velkarn/panelGroup/settings", {caption(20, 500, 130, 14, "SETTINGS")}},
        {"velkarn/panelGroup/settingsVarious",
         {caption(165, 552, 120, 25, "X-fade knee"), across(290, 552, 206, 25), well(551, 552, 40, 25),
          caption(165, 590, 120, 25, "REFRESH / S"), across(290, 590, 206, 25), well(551, 590, 40, 25)}},
        {"velkarn/panelGroup/settingsSound",
         {caption(165, 552, 120, 25, "OVERLAP MS"), across(290, 552, 206, 25), well(551, 552, 40, 25),
          caption(165, 587, 120, 28, "FILTER ORDER")}},
        {"velkarn/panelGroup/settingsBrowser", {caption(340, 547, 250, 28, "THE BROWSER CLOSES AFTER A LOAD")}},
        {"velkarn/panelGroup/settingsMidi",
         {caption(165, 548, 66, 28, "MIDI IN"), caption(165, 587, 66, 28, "MIDI OUT"), well(361, 552, 230, 25),
          well(361, 591, 230, 25)}},
        {"velkarn/panelGroup/settingsAudio1",
         {caption(185, 577, 206, 12, "LATENCY MS"), across(185, 590, 206, 25), well(446, 590, 40, 25),
          caption(536, 536, 230, 14, "DEVICE"), well(536, 552, 230, 25)}},
        {"velkarn/panelGroup/settingsAudio2",
         {caption(185, 577, 206, 12, "LATENCY MS"), across(185, 590, 206, 25), well(446, 590, 40, 25),
          caption(536, 536, 230, 14, "DEVICE"), well(536, 552, 230, 25)}},
    };
    return marks;
}

}  // namespace

std::vector<SkinRect> skinDecksControls() {
    std::vector<SkinRect> places{
        {310, 495, 205, 35}, {96, 495, 210, 35},  {524, 495, 210, 35}, {96, 575, 206, 35},  {524, 575, 206, 35},
        {35, 495, 45, 109},  {745, 495, 45, 109}, {331, 541, 40, 26},  {447, 541, 40, 26},  {389, 541, 40, 26},
        {102, 615, 191, 22}, {530, 615, 191, 22}, {41, 615, 31, 22},   {751, 615, 31, 22},  {331, 588, 50, 24},
        {447, 588, 50, 24},  {389, 588, 50, 24},
    };
    for (int d = 0; d < 2; ++d) {
        for (int e = 0; e < 3; ++e) places.push_back({(d == 0 ? 103 : 531) + 65 * e, 541, 60, 26});
    }
    return places;
}

void paintDecksOverlay(SkinArt& /*art*/, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    // Deck one's controls span x 35 .. 306, deck two's 524 .. 790; the
    // frames run in the gaps around them.
    const float top = static_cast<float>(482 - row.y);
    const float height = static_cast<float>(640 - 482);
    const float frames[2][2] = {{26, 309 - 26}, {519, 797 - 519}};
    for (int d = 0; d < 2; ++d) {
        const Color colour = d == 0 ? palette::deck0 : palette::deck1;
        painter.strokeRoundRect(frames[d][0] - static_cast<float>(row.x), top, frames[d][1], height, 5, 1.5f,
                                Color{colour.red, colour.green, colour.blue, 150});
    }
}

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

void paintSmallLabel(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix) {
    std::string text = row.key.substr(row.key.rfind('/') + 1);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const SkinFont::Extent extent = art.smallFont().measure(text);
    if (extent.right - extent.left + 6 > row.width) {
        art.problem("The label \"" + text + "\" is wider than " + row.key + ".");
    }
    art.smallFont().drawCentred(painter, text, static_cast<float>(row.width) / 2,
                                static_cast<float>(row.height) / 2 + (suffix == "Down" ? 1.0f : 0.0f),
                                palette::label);
}
