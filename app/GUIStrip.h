// One row of a deck's timeline in the main window: the deck's songs drawn
// beat by beat (overview picture or level envelope, fades, reversed and
// paused beats, the tempo weight), the play position as the main pointer,
// the Listen tool's position as a second pointer, and a shade over the
// columns after the last beat that ends inside the strip. Presses and
// releases on the beats become sample positions for the listener.
//
// Column arithmetic is single precision, as the scale is: a column is the
// truncated quotient of a sample offset by samplesPerPixel, and a column's
// position the truncated product.
//
// User-interface thread only. The calls that read the grid or the songs
// take lock 2 themselves (it is recursive, so a caller may hold it).
#ifndef VELKARN_APP_GUISTRIP_H
#define VELKARN_APP_GUISTRIP_H

#include "audio/TrackBeat.h"
#include "framework/GUIComponent.h"

#include <cstdint>
#include <memory>
#include <string>

class GUIStripClient;
class Image;
class Songs;
class TrackInfo;

class GUIStrip : public GUIComponent {
public:
    // The image starts as the faint red tint; a main-pointer key (empty:
    // none) names an image of exactly the strip's size, anything else is a
    // fatal stop.
    GUIStrip(int x, int y, int width, int height, float samplesPerPixel, const std::string& mainPointerKey, int deck,
             GUIStripClient* listener);
    ~GUIStrip() override;

    void draw(const GUIRectangle& clip) override;
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    void mouseUp(const GUIPoint& point) override;

    void setScale(float samplesPerPixel);
    void setStartBeat(std::int32_t beat, TrackInfo& trackInfo);
    // Finds the last beat that ends inside the strip and shades the columns
    // after it.
    void shadeAfterLastBeat(TrackInfo& trackInfo);
    // A column off the strip is a fatal stop.
    void setMainPointer(std::int64_t position);
    void setSecondPointer(std::int64_t position);
    void showSecondPointer();
    void hideSecondPointer();
    // The position under a window column; false left of the strip and on
    // the shaded columns.
    bool positionAt(int x, std::int64_t& position) const;
    // The window column of a position; false before the strip and on the
    // shaded columns.
    bool columnAt(std::int64_t position, int& x) const;
    // A beat's first and last strip column (the end column is the one
    // before the beat's end, unless the beat lies within one column).
    void beatColumns(const TrackBeat& beat, int& c0, int& c1) const;
    void copyImageFrom(const GUIStrip& other);
    // Draws the beats from fromBeat on (and the shade when the last one is
    // reached); the columns before fromBeat stay.
    void renderSong(Songs& songs, TrackInfo& trackInfo, std::int32_t fromBeat);
    void renderBeats(Songs& songs, TrackInfo& trackInfo, std::int32_t fromBeat, std::int32_t count);

    float samplesPerPixel() const { return samplesPerPixel_; }
    std::int32_t samplesInWidth() const { return samplesInWidth_; }
    std::int32_t lastBeatEnd() const { return lastBeatEnd_; }
    std::int32_t usableColumns() const { return usableColumns_; }
    std::int64_t startPosition() const { return startPosition_; }
    std::int32_t startBeat() const { return startBeat_; }
    std::int32_t lastBeat() const { return lastBeat_; }
    int mainPointerColumn() const { return mainPointerColumn_; }
    int secondPointerColumn() const { return secondPointerColumn_; }
    bool secondPointerVisible() const { return secondPointerVisible_; }
    const Image& image() const { return *image_; }
    int deck() const { return deck_; }

    // The tint a strip starts with and the shade over what lies beyond the
    // beats (and over silent beats).
    static constexpr int tint[4] = {255, 0, 0, 15};
    static constexpr int shade[4] = {128, 128, 255, 32};

private:
    // The strip column of a sample offset from the start position.
    int columnOf(std::int64_t offset) const;
    // Resets the columns from `from` to the right edge and shades them.
    void shadeColumnsFrom(int from);

    float samplesPerPixel_;
    GUIStripClient* listener_;
    std::int32_t samplesInWidth_ = 0;
    std::int32_t lastBeatEnd_ = 0;
    std::int32_t usableColumns_ = 0;
    std::int64_t startPosition_ = 0;
    std::int32_t startBeat_ = 0;
    std::int32_t lastBeat_ = -1;
    int mainPointerColumn_;
    int secondPointerColumn_;
    bool secondPointerVisible_ = false;
    std::unique_ptr<Image> image_;
    std::unique_ptr<Image> mainPointerImage_;
    int deck_;
};

#endif
