#include "framework/GUIMouseArea.h"

#include "framework/GUIMouseAreaClient.h"

GUIMouseArea::GUIMouseArea(int x, int y, int width, int height, GUIMouseAreaClient* client) : client_(client) {
    setOriginSize(x, y, width, height);
}

void GUIMouseArea::mouseDown(const GUIPoint& point, bool doubleClick) {
    if (client_ != nullptr && contains(point)) client_->mouseDown(this, point, doubleClick);
}

void GUIMouseArea::mouseUp(const GUIPoint& point) {
    if (client_ != nullptr) client_->mouseUp(this, point);
}

void GUIMouseArea::mouseMove(const GUIPoint& point) {
    if (client_ != nullptr && contains(point)) client_->mouseMove(this, point);
}

void GUIMouseArea::mouseWheel(const GUIPoint& point, int notches) {
    if (client_ != nullptr && contains(point)) client_->mouseWheel(this, point, notches);
}

void GUIMouseArea::mouseLeave() {
    if (client_ != nullptr) client_->mouseLeave(this);
}
