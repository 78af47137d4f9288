#include "framework/GUINumberHorizontal.h"

#include "framework/GUINumberClient.h"
#include "framework/Image.h"
#include "framework/Log.h"
#include "framework/Window.h"

#include <cmath>
#include <cstdio>

GUINumberHorizontal::GUINumberHorizontal(int x, int y, int width, int height, const std::string& imageKey,
                                         int pointPosition, GUINumberClient* listener)
    : listener_(listener) {
    setOriginSize(x, y, width, height);
    // The point image first: it fixes the cell size for the others.
    static const char* const named[] = {"Point", "Plus", "Minus", "Exp", "Space", "Default"};
    for (int i = 0; i < 6; ++i) images_[static_cast<std::size_t>(point + i)] = std::make_unique<Image>(imageKey + named[i], false);
    for (int digit = 0; digit <= 9; ++digit) {
        images_[static_cast<std::size_t>(digit)] = std::make_unique<Image>(imageKey + std::to_string(digit), false);
    }
    cellWidth_ = images_[point]->width();
    cellHeight_ = images_[point]->height();
    for (const auto& image : images_) {
        if (image->width() != cellWidth_ || image->height() != cellHeight_) {
            fatalError("Not all digit images have the same dimensions.", __FILE__, __LINE__);
        }
    }
    cellCount_ = width / cellWidth_;
    if (cellCount_ > maximumCells) fatalError("Too many digits.", __FILE__, __LINE__);
    // A negative position would print six decimals whatever the cells.
    if (pointPosition < 0 || (pointPosition != 0 && pointPosition > cellCount_ - 1)) {
        fatalError("Illegal position point.", __FILE__, __LINE__);
    }
    decimals_ = pointPosition;
    totalWidth_ = cellWidth_ * cellCount_;
    xOffset_ = 0;
    yOffset_ = (height - cellHeight_) / 2;
    format();
    shown_ = current_;
}

GUINumberHorizontal::~GUINumberHorizontal() = default;

void GUINumberHorizontal::format() {
    // Room for the widest float with 19 decimals; the length is what
    // snprintf says it wrote (or would have written).
    char printed[128];
    const int length = std::snprintf(printed, sizeof printed, "%*.*f", cellCount_, decimals_, static_cast<double>(value_));
    if (length < 0 || length > cellCount_) {
        for (int i = 0; i < cellCount_; ++i) current_[static_cast<std::size_t>(i)] = fallback;
        return;
    }
    for (int i = 0; i < cellCount_; ++i) {
        const char character = printed[i];
        int index = fallback;
        if (character >= '0' && character <= '9') {
            index = character - '0';
        } else if (character == '.') {
            index = point;
        } else if (character == '+') {
            index = plus;
        } else if (character == '-') {
            index = minus;
        } else if (character == 'e') {
            index = exponent;
        } else if (character == ' ') {
            index = space;
        }
        current_[static_cast<std::size_t>(i)] = index;
    }
}

GUIRectangle GUINumberHorizontal::cellRectangle(int index) const {
    GUIRectangle cell;
    cell.setOriginSize(x0 + xOffset_ + index * cellWidth_, y0 + yOffset_, cellWidth_, cellHeight_);
    return cell;
}

void GUINumberHorizontal::redrawChangedCells() {
    for (int i = 0; i < cellCount_; ++i) {
        if (current_[static_cast<std::size_t>(i)] != shown_[static_cast<std::size_t>(i)]) redraw(cellRectangle(i));
    }
    shown_ = current_;
}

void GUINumberHorizontal::draw(const GUIRectangle& clip) {
    if (!isVisible()) return;
    Window* target = window();
    if (target == nullptr) return;
    GUIRectangle part;
    for (int i = 0; i < cellCount_; ++i) {
        const GUIRectangle cell = cellRectangle(i);
        if (!clip.intersect(cell, part)) continue;
        const Image& image = *images_[static_cast<std::size_t>(current_[static_cast<std::size_t>(i)])];
        target->blendImage(image, part.x0, part.y0, part.x0 - cell.x0, part.y0 - cell.y0, part.width, part.height);
    }
}

void GUINumberHorizontal::setValue(float value) {
    if (value == value_) return;
    value_ = value;
    format();
    redrawChangedCells();
}

void GUINumberHorizontal::notifyListener() { listener_->valueChanged(this, value_); }

void GUINumberHorizontal::mouseDown(const GUIPoint& point, bool /*doubleClick*/) {
    if (!isVisible() || listener_ == nullptr) return;
    const int rx = point.x - xOffset_ - x0;
    const int ry = point.y - yOffset_ - y0;
    if (rx < 0 || rx >= totalWidth_ || ry < 0 || ry >= cellHeight_) return;
    dragging_ = true;
    dragStartY_ = point.y;
    dragStartValue_ = value_;
    // The pressed cell's place counted from the right, the right-most 0.
    const int place = cellCount_ - rx / cellWidth_ - 1;
    double power = 0.0;
    if (decimals_ == 0) {
        power = std::pow(10.0, place);
    } else if (place < decimals_) {
        power = std::pow(10.0, place - decimals_);
    } else if (place > decimals_) {
        power = std::pow(10.0, place - decimals_ - 1);
    }
    step_ = static_cast<float>(power);
}

void GUINumberHorizontal::mouseMove(const GUIPoint& point) {
    if (!isVisible() || listener_ == nullptr || !dragging_) return;
    value_ = static_cast<float>(point.y - dragStartY_) * -0.1f * step_ + dragStartValue_;
    format();
    redrawChangedCells();
    listener_->valueChanged(this, value_);
}

void GUINumberHorizontal::mouseUp(const GUIPoint& /*point*/) {
    if (!isVisible() || listener_ == nullptr) return;
    dragging_ = false;
}
