#include "framework/GUIScrollbarVertical.h"

#include "framework/GUIScrollbarClient.h"
#include "framework/Image.h"
#include "framework/ImageHolder.h"
#include "framework/Log.h"
#include "framework/Window.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

GUIScrollbarVertical::GUIScrollbarVertical(int x, int y, int width, int height, const std::string& imageKey, int total,
                                           int visibleItems, int first, GUIScrollbarClient* client)
    : thumb_(std::make_unique<Image>(imageKey + "Slider", false)),
      thumbWidth_(thumb_->width()),
      thumbHeight_(thumb_->height()),
      mask_(std::make_unique<ImageHolder>(imageKey + "Mask")),
      client_(client) {
    setOriginSize(x, y, width, height);
    const Image& mask = *mask_->image();
    if (mask.width() != thumbWidth_ || mask.height() != thumbHeight_) {
        fatalError("Dimensions of slider and mask don't match.", __FILE__, __LINE__);
    }
    if (thumbHeight_ > height) fatalError("Slider knob does not fit the slider.", __FILE__, __LINE__);
    storeRange(total, visibleItems, first);
    drawnTop_ = thumbTop_;
}

GUIScrollbarVertical::~GUIScrollbarVertical() = default;

void GUIScrollbarVertical::storeRange(int total, int visibleItems, int first) {
    if (total <= visibleItems) {
        if (first != 0) {
            fatalError("In this case, the index of the first element in the window should be 0.", __FILE__, __LINE__);
        }
    } else if (first < 0 || first > total - visibleItems) {
        fatalError("Trying to scroll off the end.", __FILE__, __LINE__);
    }
    total_ = total;
    visibleItems_ = visibleItems;
    first_ = first;
    const int room = height - thumbHeight_;
    if (everythingFits()) {
        thumbTop_ = room / 2;
    } else {
        // Exact in 64 bits: first x room / (total - visibleItems), truncated.
        thumbTop_ = static_cast<int>(static_cast<std::int64_t>(first) * room /
                                     (static_cast<std::int64_t>(total) - visibleItems));
    }
}

void GUIScrollbarVertical::setRange(int total, int visibleItems, int first) {
    storeRange(total, visibleItems, first);
    redraw();
    drawnTop_ = thumbTop_;
}

GUIRectangle GUIScrollbarVertical::thumbRectangle() const {
    GUIRectangle r;
    r.setOriginSize(x0, y0 + thumbTop_, thumbWidth_, thumbHeight_);
    return r;
}

void GUIScrollbarVertical::draw(const GUIRectangle& clip) {
    Window* target = window();
    if (!isVisible() || target == nullptr) return;
    const GUIRectangle thumb = thumbRectangle();
    GUIRectangle part;
    if (!clip.intersect(thumb, part)) return;
    target->blendImage(*thumb_, part.x0, part.y0, part.x0 - thumb.x0, part.y0 - thumb.y0, part.width, part.height);
}

void GUIScrollbarVertical::mouseDown(const GUIPoint& point, bool /*doubleClick*/) {
    if (locked_) return;
    const int u = point.x - x0;
    const int v = point.y - y0 - thumbTop_;
    if (u < 0 || u >= thumbWidth_ || v < 0 || v >= thumbHeight_ || mask_->image()->isTransparent(u, v)) return;
    dragging_ = true;
    dragStartY_ = point.y;
    dragStartTop_ = thumbTop_;
}

void GUIScrollbarVertical::mouseUp(const GUIPoint& /*point*/) {
    if (!dragging_) return;
    dragging_ = false;
    if (client_ != nullptr) client_->scrollReleased(this, first_);
}

void GUIScrollbarVertical::mouseMove(const GUIPoint& point) {
    if (!dragging_ || everythingFits()) return;
    const int room = height - thumbHeight_;
    const long long wanted = static_cast<long long>(dragStartTop_) + point.y - dragStartY_;
    const int t = static_cast<int>(std::clamp<long long>(wanted, 0, room));
    if (t == thumbTop_) return;
    thumbTop_ = t;
    GUIRectangle area;
    area.setOriginSize(x0, y0 + std::min(thumbTop_, drawnTop_), thumbWidth_,
                       thumbHeight_ + std::abs(thumbTop_ - drawnTop_));
    redraw(area);
    drawnTop_ = thumbTop_;
    // Exact in 64 bits: thumbTop x (total - visibleItems) / room, truncated.
    first_ = static_cast<int>(static_cast<std::int64_t>(thumbTop_) *
                              (static_cast<std::int64_t>(total_) - visibleItems_) / room);
    if (client_ != nullptr) client_->scrolled(this, first_);
}
