#include "app/GUICursor.h"

#include "app/ApplicationInterface.h"
#include "app/DeckLock.h"
#include "app/GUIStrip.h"
#include "audio/TrackInfo.h"
#include "framework/Log.h"
#include "framework/Window.h"

#include <algorithm>

GUICursor::GUICursor(int x, int y, int width, int height, int tickLength, GUIStrip* strip, TrackInfo* trackInfo,
                     ApplicationInterface* listener)
    : tickLength_(tickLength), strip_(strip), trackInfo_(trackInfo), listener_(listener), column_(x) {
    setOriginSize(x, y, width, height);
}

void GUICursor::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (!visible_ || target == nullptr || column_ < clip.x0 || column_ > clip.x1) return;
    const int topEnd = std::min(y0 + tickLength_ - 1, clip.y1);
    if (clip.y0 <= topEnd) target->blendVerticalLine(colour_.red, colour_.green, colour_.blue, colour_.alpha, column_, clip.y0, topEnd);
    const int bottomStart = std::max(y1 - tickLength_ + 1, clip.y0);
    if (bottomStart <= clip.y1) {
        target->blendVerticalLine(colour_.red, colour_.green, colour_.blue, colour_.alpha, column_, bottomStart, clip.y1);
    }
}

void GUICursor::redrawColumn(int column) {
    if (column >= x0 && column <= x1) redraw(GUIRectangle(column, y0, column, y1));
}

void GUICursor::mouseMove(const GUIPoint& point) {
    lastPoint_ = point;
    outside_ = false;
    const bool wasVisible = visible_;
    const int oldColumn = column_;

    const int gapTop = y0 + tickLength_;
    const bool inGap = point.y >= gapTop && point.y < gapTop + gapRows;
    std::int64_t position = 0;
    bool shown = false;
    if (contains(point) && !inGap && strip_->positionAt(point.x, position)) {
        std::int64_t beatStart = 0;
        {
            DeckLock hold;
            beatStart = trackInfo_->beatAt(trackInfo_->beatIndexAt(position)).position;
        }
        int column = 0;
        if (strip_->columnAt(beatStart, column)) {
            beatPosition_ = beatStart;
            column_ = column;
            colour_ = listener_->currentSampleTime() >= beatPosition_ ? markWhite : markBlue;
            shown = true;
        } else if (!failureLogged_) {
            // Only a grid changed under the strip gets here: the mark hides.
            logMessage("uh ???", __FILE__, __LINE__);
            failureLogged_ = true;
        }
    }
    visible_ = shown;
    if (wasVisible) redrawColumn(oldColumn);
    if (shown && (!wasVisible || column_ != oldColumn)) redrawColumn(column_);
}

void GUICursor::mouseLeave() {
    outside_ = true;
    if (!visible_) return;
    visible_ = false;
    redrawColumn(column_);
}

void GUICursor::refresh() {
    // A mouse that left the window brings no mark back.
    if (!outside_) mouseMove(lastPoint_);
}

void GUICursor::updateColour(std::int64_t playPosition) {
    if (!visible_) return;
    const Color next = playPosition >= beatPosition_ ? markWhite : markBlue;
    if (!next.differs(colour_)) return;
    colour_ = next;
    redrawColumn(column_);
}
