#include "app/skin/SkinMainWindow.h"

#include "app/skin/SkinArt.h"
#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"

namespace palette = skin_palette;

namespace {

constexpr int stripX = 10;
constexpr int stripWidth = 800;
constexpr int stripHeight = 60;
constexpr int rowStep = 145;
constexpr int deckStep = 65;
constexpr int meterY = 445;
constexpr int meterWidth = 30;
constexpr int meterHeight = 206;
constexpr int meterXs[2] = {910, 950};

// A recessed well: a dark face with a light lower edge.
void well(SkinPainter& painter, float x, float y, float width, float height, float radius) {
    painter.fillRoundRect(x, y, width, height, radius, palette::wellEdge);
    painter.fillRoundRect(x, y, width, height - 1, radius, Color{6, 6, 8, 255});
    painter.fillRoundRect(x + 1, y + 1, width - 2, height - 2, radius - 1, palette::well);
}

Color deckColour(int deck) { return deck == 0 ? palette::deck0 : palette::deck1; }

}  // namespace

std::vector<SkinRect> skinStripPlaces() {
    std::vector<SkinRect> places;
    for (int row = 0; row < 3; ++row) {
        for (int deck = 0; deck < 2; ++deck) {
            places.push_back({stripX, 10 + rowStep * row + deckStep * deck, stripWidth, stripHeight});
        }
    }
    return places;
}

std::vector<SkinRect> skinMeterPlaces() {
    return {{meterXs[0], meterY, meterWidth, meterHeight}, {meterXs[1], meterY, meterWidth, meterHeight}};
}

void paintMainBackground(SkinArt& art, SkinPainter& painter, const SkinRow& /*row*/, const std::string& /*suffix*/) {
    // Under each row of strips (both decks) one well, 3 pixels around them.
    for (int row = 0; row < 3; ++row) {
        const float top = static_cast<float>(10 + rowStep * row);
        well(painter, stripX - 3, top - 3, stripWidth + 6, deckStep + stripHeight + 6, 4);
    }
    // Under each strip a mid-grey face, light enough that the strips' black
    // tempo band, their faint red tint and the blue shade all read on it,
    // and dark enough for the white fade lines.
    for (const SkinRect& place : skinStripPlaces()) {
        painter.fillRect(static_cast<float>(place.x), static_cast<float>(place.y), static_cast<float>(place.width),
                         static_cast<float>(place.height),
                         Gradient{Color{92, 95, 104, 255}, Color{74, 77, 86, 255}, static_cast<float>(place.y),
                                  static_cast<float>(place.y + place.height), false});
    }
    // The volume section: meters in wells, their unlit cells, a scale
    // between them and the knob's groove at the right of the track.
    const std::vector<SkinRect> meters = skinMeterPlaces();
    for (const SkinRect& meter : meters) {
        well(painter, static_cast<float>(meter.x - 2), static_cast<float>(meter.y - 2),
             static_cast<float>(meter.width + 4), static_cast<float>(meter.height + 4), 3);
        for (const auto& [first, rows] : SkinArt::meterSegments(meter.height)) {
            painter.fillRoundRect(static_cast<float>(meter.x + 3), static_cast<float>(meter.y + first),
                                  static_cast<float>(meter.width - 6), static_cast<float>(rows), 1,
                                  Color{34, 37, 42, 255});
        }
    }
    const float scaleX = static_cast<float>(meters[0].right() + 2);
    const float scaleWidth = static_cast<float>(meters[1].x - meters[0].right() - 4);
    for (int step = 0; step <= 8; ++step) {
        const float y = static_cast<float>(meterY + meterHeight - 1) -
                        static_cast<float>(step) * static_cast<float>(meterHeight - 2) / 8.0f;
        const float inset = step % 2 == 0 ? 0.0f : 2.0f;
        painter.fillRect(scaleX + inset, y - 0.5f, scaleWidth - 2 * inset, 1, palette::labelDim);
    }
    const float grooveX = static_cast<float>(meters[1].right() + 3);
    painter.fillRoundRect(grooveX, meterY + 4, 2, meterHeight - 8, 1, palette::well);
    art.smallFont().drawCentred(painter, "L", static_cast<float>(meters[0].x) + meterWidth / 2.0f, 658,
                                palette::labelDim);
    art.smallFont().drawCentred(painter, "R", static_cast<float>(meters[1].x) + meterWidth / 2.0f, 658,
                                palette::labelDim);
}

void paintRowsOverlay(SkinArt& /*art*/, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    // Deck colour marks in the margins left and right of every strip, and a
    // hairline in the gap between the two decks of a row.
    for (int r = 0; r < 3; ++r) {
        for (int deck = 0; deck < 2; ++deck) {
            const float top = static_cast<float>(10 + rowStep * r + deckStep * deck - row.y);
            const float left = static_cast<float>(stripX - row.x);
            painter.fillRoundRect(left - 4, top + 4, 3, stripHeight - 8, 1.5f, deckColour(deck));
            painter.fillRoundRect(left + stripWidth + 1, top + 4, 3, stripHeight - 8, 1.5f, deckColour(deck));
        }
        const float gap = static_cast<float>(10 + rowStep * r + stripHeight - row.y);
        painter.fillRect(static_cast<float>(stripX - row.x), gap + 2, stripWidth, 1, Color{255, 255, 255, 36});
    }
}

void paintStripPointer(SkinArt& /*art*/, SkinPainter& painter, const SkinRow& row, const std::string& /*suffix*/) {
    // A dark veil over the played part, a little deeper at the bottom.
    painter.fillRect(0, 0, static_cast<float>(row.width), static_cast<float>(row.height),
                     Gradient{Color{0, 0, 0, 96}, Color{0, 0, 8, 128}, 0, static_cast<float>(row.height), false});
}
