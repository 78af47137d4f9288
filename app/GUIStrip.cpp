#include "app/GUIStrip.h"

#include "app/DeckLock.h"
#include "app/GUIStripClient.h"
#include "audio/Songs.h"
#include "audio/TrackInfo.h"
#include "framework/Image.h"
#include "framework/Log.h"
#include "framework/Window.h"

#include <algorithm>
#include <cmath>

namespace {

// A float truncated toward zero into an int, held inside the int range.
int truncated(float value) {
    if (!(value > -2147483648.0f)) return -2147483647 - 1;
    if (value >= 2147483647.0f) return 2147483647;
    return static_cast<int>(value);
}

}  // namespace

GUIStrip::GUIStrip(int x, int y, int width, int height, float samplesPerPixel, const std::string& mainPointerKey,
                   int deck, GUIStripClient* listener)
    : samplesPerPixel_(samplesPerPixel), listener_(listener), mainPointerColumn_(x), secondPointerColumn_(x),
      deck_(deck) {
    setOriginSize(x, y, width, height);
    samplesInWidth_ = truncated(static_cast<float>(width) * samplesPerPixel_);
    image_ = std::make_unique<Image>(width, height, tint[0], tint[1], tint[2], tint[3]);
    if (!mainPointerKey.empty()) {
        mainPointerImage_ = std::make_unique<Image>(mainPointerKey, false);
        if (mainPointerImage_->width() != width || mainPointerImage_->height() != height) {
            fatalError("The main pointer image has dimensions different from strip.", __FILE__, __LINE__);
        }
    }
}

GUIStrip::~GUIStrip() = default;

void GUIStrip::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (!isVisible() || target == nullptr) return;
    GUIRectangle part;
    if (!clip.intersect(*this, part)) return;
    target->blendImage(*image_, part.x0, part.y0, part.x0 - x0, part.y0 - y0, part.width, part.height);
    // The played part: the pointer image's columns left of the main pointer.
    if (mainPointerImage_ != nullptr && mainPointerColumn_ > part.x0) {
        const int right = std::min(mainPointerColumn_ - 1, part.x1);
        target->blendImage(*mainPointerImage_, part.x0, part.y0, part.x0 - x0, part.y0 - y0, right - part.x0 + 1,
                           part.height);
    }
    if (secondPointerVisible_ && secondPointerColumn_ >= part.x0 && secondPointerColumn_ <= part.x1) {
        target->blendVerticalLine(0, 0, 0, 255, secondPointerColumn_, part.y0, part.y1);
    }
}

void GUIStrip::mouseDown(const GUIPoint& point, bool /*doubleClick*/) {
    std::int64_t position = 0;
    if (contains(point) && positionAt(point.x, position) && listener_ != nullptr) {
        listener_->stripClicked(this, position);
    }
}

void GUIStrip::mouseUp(const GUIPoint& point) {
    std::int64_t position = 0;
    if (contains(point) && positionAt(point.x, position) && listener_ != nullptr) {
        listener_->stripReleased(this, position);
    }
}

void GUIStrip::setScale(float samplesPerPixel) {
    samplesPerPixel_ = samplesPerPixel;
    samplesInWidth_ = truncated(static_cast<float>(width) * samplesPerPixel_);
}

void GUIStrip::setStartBeat(std::int32_t beat, TrackInfo& trackInfo) {
    DeckLock hold;
    startBeat_ = beat;
    startPosition_ = trackInfo.beatAt(beat).position;
}

int GUIStrip::columnOf(std::int64_t offset) const {
    return truncated(static_cast<float>(offset) / samplesPerPixel_);
}

void GUIStrip::shadeAfterLastBeat(TrackInfo& trackInfo) {
    {
        DeckLock hold;
        std::int32_t b = trackInfo.beatIndexAt(startPosition_ + samplesInWidth_ - 1);
        // That beat runs past the strip: the one before is the last whole one.
        if (trackInfo.beatIndexAt(startPosition_ + samplesInWidth_) == b) --b;
        lastBeat_ = b;
        const TrackBeat last = trackInfo.beatAt(b);
        lastBeatEnd_ = static_cast<std::int32_t>(last.position + last.length - startPosition_);
    }
    usableColumns_ = truncated(static_cast<float>(lastBeatEnd_) / samplesPerPixel_);
    if (usableColumns_ < width) shadeColumnsFrom(std::max(usableColumns_, 0));
}

void GUIStrip::shadeColumnsFrom(int from) {
    if (from >= width) return;
    // From the tint up, so that shading the same columns again gives the
    // same picture rather than a darker one.
    image_->fillRect(tint[0], tint[1], tint[2], tint[3], from, 0, width - 1, height - 1);
    image_->blendFill(shade[0], shade[1], shade[2], shade[3], from, 0, width - from, height);
}

void GUIStrip::setMainPointer(std::int64_t position) {
    const int column = x0 + columnOf(position - startPosition_);
    if (column < x0 || column > x1) fatalError("Strip main pointer off scale.", __FILE__, __LINE__);
    const int old = mainPointerColumn_;
    mainPointerColumn_ = column;
    if (column == old) return;
    redraw(GUIRectangle(std::min(old, column), y0, std::max(old, column), y1));
}

void GUIStrip::setSecondPointer(std::int64_t position) {
    const std::int64_t offset = position - startPosition_;
    const int column = static_cast<int>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(x0) + columnOf(offset), -2147483647 - 1, 2147483647));
    const int old = secondPointerColumn_;
    secondPointerColumn_ = column;
    if (column == old || !secondPointerVisible_) return;
    if (old >= x0 && old <= x1) redraw(GUIRectangle(old, y0, old, y1));
    if (column >= x0 && column <= x1) redraw(GUIRectangle(column, y0, column, y1));
}

void GUIStrip::showSecondPointer() {
    if (secondPointerVisible_) return;
    secondPointerVisible_ = true;
    if (secondPointerColumn_ >= x0 && secondPointerColumn_ <= x1) {
        redraw(GUIRectangle(secondPointerColumn_, y0, secondPointerColumn_, y1));
    }
}

void GUIStrip::hideSecondPointer() {
    if (!secondPointerVisible_) return;
    secondPointerVisible_ = false;
    if (secondPointerColumn_ >= x0 && secondPointerColumn_ <= x1) {
        redraw(GUIRectangle(secondPointerColumn_, y0, secondPointerColumn_, y1));
    }
}

bool GUIStrip::positionAt(int x, std::int64_t& position) const {
    const int offset = x - x0;
    if (offset < 0 || offset >= usableColumns_) return false;
    position = startPosition_ + static_cast<std::int64_t>(static_cast<float>(offset) * samplesPerPixel_);
    return true;
}

bool GUIStrip::columnAt(std::int64_t position, int& x) const {
    const int c = columnOf(position - startPosition_);
    if (c < 0 || c >= usableColumns_) return false;
    x = x0 + c;
    return true;
}

void GUIStrip::beatColumns(const TrackBeat& beat, int& c0, int& c1) const {
    c0 = columnOf(beat.position - startPosition_);
    c1 = columnOf(beat.position + beat.length - startPosition_);
    if (c1 > c0) --c1;
}

void GUIStrip::copyImageFrom(const GUIStrip& other) {
    image_->copyFrom(*other.image_);
    redraw();
}

void GUIStrip::renderSong(Songs& songs, TrackInfo& trackInfo, std::int32_t fromBeat) {
    renderBeats(songs, trackInfo, fromBeat, 1000000);
}

void GUIStrip::renderBeats(Songs& songs, TrackInfo& trackInfo, std::int32_t fromBeat, std::int32_t count) {
    const std::int64_t lastAsked = static_cast<std::int64_t>(fromBeat) + count - 1;
    const std::int32_t first = std::max(fromBeat, startBeat_);
    const std::int32_t last = static_cast<std::int32_t>(std::min<std::int64_t>(lastAsked, lastBeat_));
    if (count < 1 || first > last) return;

    const int h = height;
    int drawnFrom = -1;
    int drawnTo = -1;
    for (std::int32_t i = first; i <= last; ++i) {
        DeckLock hold;
        const TrackBeat record = trackInfo.beatAt(i);
        int c0 = 0;
        int c1 = 0;
        beatColumns(record, c0, c1);
        // A grid changed under the strip could reach past its edges.
        c0 = std::clamp(c0, 0, width - 1);
        c1 = std::clamp(c1, c0, width - 1);
        const int w = c1 - c0 + 1;
        if (drawnFrom < 0) drawnFrom = c0;
        drawnTo = std::max(drawnTo, c1);

        // Every beat is drawn from the tint up, whatever the columns held.
        image_->fillRect(tint[0], tint[1], tint[2], tint[3], c0, 0, c1, h - 1);

        std::int32_t index = 0;
        SongSpan span{};
        SongBeat play;
        std::int32_t firstSource = 0;
        Song* song = songs.findSong(i, &index, &span, &play, &firstSource) ? &songs.song(index) : nullptr;
        if (song != nullptr && !play.paused && (song->overviewImage() != nullptr || song->beatCanvas() != nullptr)) {
            if (const Image* overview = song->overviewImage()) {
                const float perColumn = song->samplesPerPixel();
                const int last = overview->width() - 1;
                const int sx0 = std::clamp(truncated(static_cast<float>(span.position - firstSource) / perColumn), 0,
                                           last);
                int sx1 = truncated(static_cast<float>(span.position + span.length - firstSource) / perColumn) - 1;
                sx1 = std::clamp(sx1, sx0, last);
                image_->stretchFrom(*overview, c0, 0, c1, h - 1, sx0, 0, sx1, overview->height() - 1);
            } else {
                const Image& picture = song->beatImage(i, w, h, deck_ == 1, samplesPerPixel_ < 6000.0f);
                image_->copyRect(picture, c0, 0, 0, 0, w, h);
            }
            if (play.reversed) image_->mirrorRows(c0, 0, c1, h - 1);
            if (play.gainStart != 1.0f || play.gainEnd != 1.0f) {
                for (int k = 0; k < w; ++k) {
                    const float steps = w == 1 ? 1.0f : static_cast<float>(w - 1);
                    const float gain =
                        play.gainStart + (play.gainEnd - play.gainStart) * static_cast<float>(k) / steps;
                    const int top = std::clamp(truncated(static_cast<float>(h - 1) * (1.0f - gain)), 0, h - 1);
                    image_->blendVerticalLine(255, 255, 255, 200, c0 + k, top, h - 1);
                }
            }
        } else {
            image_->blendFill(shade[0], shade[1], shade[2], shade[3], c0, 0, w, h);
        }

        // The tempo weight: deck 0's band sinks and deck 1's rises as the
        // grid leans to deck 1.
        const float weight = record.weight;
        const int band = deck_ == 0 ? truncated(static_cast<float>(h - 2) * weight)
                                    : truncated((1.0f - weight) * static_cast<float>(h - 2));
        const int row = std::clamp(band, 0, h - 2);
        image_->fillRect(0, 0, 0, 255, c0, row, c1, row + 1);
    }
    if (last == lastBeat_ && usableColumns_ < width) {
        shadeColumnsFrom(std::max(usableColumns_, 0));
        drawnTo = width - 1;
    }
    redraw(GUIRectangle(x0 + drawnFrom, y0, x0 + drawnTo, y1));
}
