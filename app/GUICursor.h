// The hover mark over one row of both decks' strips: two ticks, at the top
// of deck 0's strip and at the bottom of deck 1's, at the start of the beat
// under the mouse, white once the play position has reached that beat and
// blue before. The 5-row gap between the two strips shows no mark.
//
// User-interface thread only; grid reads take lock 2.
#ifndef VELKARN_APP_GUICURSOR_H
#define VELKARN_APP_GUICURSOR_H

#include "framework/Color.h"
#include "framework/GUIComponent.h"

#include <cstdint>

class ApplicationInterface;
class GUIStrip;
class TrackInfo;

class GUICursor : public GUIComponent {
public:
    static constexpr Color markWhite{255, 255, 255, 255};
    static constexpr Color markBlue{100, 100, 255, 255};
    static constexpr int gapRows = 5;

    // strip: deck 0's strip of the row; not visible at first.
    GUICursor(int x, int y, int width, int height, int tickLength, GUIStrip* strip, TrackInfo* trackInfo,
              ApplicationInterface* listener);

    void draw(const GUIRectangle& clip) override;
    void mouseMove(const GUIPoint& point) override;
    void mouseLeave() override;
    // The mark again at the last mouse position, after the strips moved;
    // nothing once the mouse has left the window.
    void refresh();
    // Redraws only when the colour changes.
    void updateColour(std::int64_t playPosition);

    bool markVisible() const { return visible_; }
    Color colour() const { return colour_; }
    int column() const { return column_; }
    std::int64_t beatPosition() const { return beatPosition_; }

private:
    void redrawColumn(int column);

    Color colour_ = markBlue;
    bool visible_ = false;
    int tickLength_;
    GUIStrip* strip_;
    TrackInfo* trackInfo_;
    ApplicationInterface* listener_;
    int column_ = 0;
    std::int64_t beatPosition_ = 0;
    GUIPoint lastPoint_;
    bool outside_ = false;
    bool failureLogged_ = false;
};

#endif
