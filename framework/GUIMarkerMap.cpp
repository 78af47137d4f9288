#include "framework/GUIMarkerMap.h"

#include "framework/GUIMarkerMapClient.h"
#include "framework/Image.h"
#include "framework/ImageHolder.h"
#include "framework/Log.h"
#include "framework/Window.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr Color beatLine{255, 255, 0, 255};
}

GUIMarkerMap::GUIMarkerMap(int x, int y, int width, int height, int border, int samplesPerColumn,
                           const std::string& imageKey, GUIMarkerMapClient* client)
    : border_(border),
      samplesPerColumn_(samplesPerColumn),
      client_(client),
      markerImage_(std::make_unique<Image>(imageKey, false)),
      mask_(std::make_unique<ImageHolder>(imageKey + "Mask")),
      pointerImage_(std::make_unique<Image>(imageKey + "Pointer", false)) {
    setOriginSize(x, y, width, height);
    halfWidth_ = markerImage_->width() / 2;
    halfHeight_ = markerImage_->height() / 2;
    if (border < halfWidth_ || border < halfHeight_) fatalError("Border too small.", __FILE__, __LINE__);
    const Image& mask = *mask_->image();
    if (mask.width() != markerImage_->width() || mask.height() != markerImage_->height()) {
        fatalError("Dimensions of marker image and mask don't match.", __FILE__, __LINE__);
    }
    if (pointerImage_->width() != markerImage_->width() || pointerImage_->height() != markerImage_->height()) {
        fatalError("Dimensions of marker image and pointer image don't match.", __FILE__, __LINE__);
    }
    markers_.reserve(64);
}

GUIMarkerMap::~GUIMarkerMap() = default;

void GUIMarkerMap::addMarker(bool on, int position) {
    if (count() >= maximumMarkers) {
        logMessage("Too many markers.", __FILE__, __LINE__);
        return;
    }
    markers_.push_back(Marker{on, position});
}

void GUIMarkerMap::removeMarker(int index) {
    if (index < 0 || index >= count()) fatalError("Invalid marker index.", __FILE__, __LINE__);
    markers_.erase(markers_.begin() + index);
}

void GUIMarkerMap::layout(int rowHeight, float scroll, float tempo, int beatsPerRow, int totalSamples,
                          bool twoValuesPerColumn) {
    if (totalSamples == 0) return;
    // 44100 samples per second, 60 seconds, rounded half up.
    const double perBeat = std::trunc(2646000.0 / tempo + 0.5);
    const double perRow = perBeat * beatsPerRow;
    // A tempo, beat count or row height that gives no rows lays out nothing.
    if (!(perRow >= 1.0 && perRow <= 2147483647.0) || rowHeight <= 0 || samplesPerColumn_ <= 0) return;
    rowHeight_ = rowHeight;
    twoValuesPerColumn_ = twoValuesPerColumn;
    samplesPerRow_ = static_cast<int>(perRow);
    const int rows = totalSamples / samplesPerRow_ + (totalSamples % samplesPerRow_ != 0 ? 1 : 0);
    const int visibleRows = (height - 2 * border_) / rowHeight_;
    const int overflow = std::max(rows - visibleRows, 0);
    const float scrolledRows = std::trunc(static_cast<float>(overflow) * std::clamp(scroll, 0.0f, 1.0f));
    scrollPixels_ = rowHeight_ * static_cast<int>(std::isnan(scrolledRows) ? 0.0f : scrolledRows);
    const int perColumn = twoValuesPerColumn_ ? 2 : 1;
    for (Marker& m : markers_) {
        const int row = m.position / samplesPerRow_;
        const int column = (m.position - row * samplesPerRow_) / samplesPerColumn_;
        m.x = x0 + border_ + column / perColumn;
        m.y = y0 + border_ + row * rowHeight_ - scrollPixels_;
        if (m.on) {
            m.x -= halfWidth_;
            m.y += (rowHeight_ - 1) / 2 - halfHeight_;
        }
        m.placed = true;
    }
    laidOut_ = true;
    redraw();
}

GUIRectangle GUIMarkerMap::imageRectangle(int x, int y) const {
    GUIRectangle r;
    r.setOriginSize(x, y, markerImage_->width(), markerImage_->height());
    return r;
}

bool GUIMarkerMap::pointerArea(GUIRectangle& area) const {
    return imageRectangle(pointer_.x, pointer_.y).intersect(*this, area);
}

void GUIMarkerMap::redrawPointer() {
    GUIRectangle area;
    if (pointerArea(area)) redraw(area);
}

void GUIMarkerMap::showPointer() {
    if (pointerVisible_) return;
    pointerVisible_ = true;
    redrawPointer();
}

void GUIMarkerMap::hidePointer() {
    if (!pointerVisible_) return;
    pointerVisible_ = false;
    redrawPointer();
}

void GUIMarkerMap::setPointerPosition(int samplePosition) {
    if (!laidOut_) return;  // no rows to place it on yet
    const int perColumn = twoValuesPerColumn_ ? 2 : 1;
    const GUIPoint old = pointer_;
    pointer_.x = x0 + border_ + ((samplePosition % samplesPerRow_) / samplesPerColumn_) / perColumn - halfWidth_;
    pointer_.y = y0 + border_ + (samplePosition / samplesPerRow_) * rowHeight_ + (rowHeight_ - 1) / 2 - scrollPixels_ -
                 halfHeight_;
    if (!pointerVisible_ || (old.x == pointer_.x && old.y == pointer_.y)) return;
    redrawPointer();
    const GUIPoint now = pointer_;
    pointer_ = old;
    redrawPointer();
    pointer_ = now;
}

void GUIMarkerMap::draw(const GUIRectangle& clip) {
    if (!isVisible() || !laidOut_) return;
    Window* target = window();
    if (target == nullptr) return;
    GUIRectangle lines;
    if (clip.intersect(innerArea(), lines)) {
        for (const Marker& m : markers_) {
            if (m.on || !m.placed) continue;
            for (int j = 0; j < rowHeight_; ++j) {
                if (lines.contains(m.x, m.y + j)) target->blendPixel(beatLine, m.x, m.y + j);
            }
        }
    }
    GUIRectangle part;
    for (const Marker& m : markers_) {
        if (!m.on || !m.placed) continue;
        if (clip.intersect(imageRectangle(m.x, m.y), part)) {
            target->blendImage(*markerImage_, part.x0, part.y0, part.x0 - m.x, part.y0 - m.y, part.width, part.height);
        }
    }
    if (pointerVisible_ && clip.intersect(imageRectangle(pointer_.x, pointer_.y), part)) {
        target->blendImage(*pointerImage_, part.x0, part.y0, part.x0 - pointer_.x, part.y0 - pointer_.y, part.width,
                           part.height);
    }
}

void GUIMarkerMap::mouseDown(const GUIPoint& point, bool /*doubleClick*/) {
    // Only presses on the map: markers of rows scrolled out of view lie
    // outside it, under neighbouring controls.
    if (!laidOut_ || !contains(point)) return;
    const Image& mask = *mask_->image();
    for (int i = count() - 1; i >= 0; --i) {
        const Marker& m = markers_[static_cast<std::size_t>(i)];
        if (!m.on || !m.placed) continue;
        const GUIRectangle r = imageRectangle(m.x, m.y);
        if (!r.contains(point) || mask.isTransparent(point.x - m.x, point.y - m.y)) continue;
        const int position = m.position;
        if (client_->isEditable(this)) {
            removeMarker(i);
            client_->markerEdited(this, position);
            GUIRectangle area;
            if (r.intersect(*this, area)) redraw(area);
        } else {
            client_->markerClicked(this, position);
        }
        return;
    }
    const GUIRectangle inner = innerArea();
    if (!inner.contains(point)) return;
    const int column = point.x - inner.x0;
    const int row = (point.y - inner.y0 + scrollPixels_) / rowHeight_;
    const int position = row * samplesPerRow_ + column * samplesPerColumn_ * (twoValuesPerColumn_ ? 2 : 1);
    if (client_->isEditable(this)) {
        addMarker(true, position);
        client_->markerEdited(this, position);
        redraw(GUIRectangle(point.x, point.y, point.x, point.y));
    } else {
        client_->markerClicked(this, position);
    }
}

void GUIMarkerMap::renderTo(Image& image) {
    if (!laidOut_) return;
    const GUIRectangle bounds(image);
    GUIRectangle part;
    for (const Marker& m : markers_) {
        if (!m.placed) continue;
        const int u = m.x - x0 - border_;
        const int v = m.y - y0 - border_ + scrollPixels_;
        if (!m.on) {
            for (int j = 0; j < rowHeight_; ++j) {
                if (bounds.contains(u, v + j)) image.blendPixel(beatLine, u, v + j);
            }
        } else if (imageRectangle(u, v).intersect(bounds, part)) {
            image.blendRect(*markerImage_, part.x0, part.y0, part.x0 - u, part.y0 - v, part.width, part.height);
        }
    }
}
